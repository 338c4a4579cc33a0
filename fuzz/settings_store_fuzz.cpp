// A settings file of arbitrary bytes (and, after a line
// "VARNEL-SETTINGS-JOURNAL 1", a journal left beside it), read and then edited
// in place the way the program does.
//
// Properties: no crash or hang; reading never changes the text; after every
// write the file holds exactly the store's text, and the value written reads
// back; the journal is gone after opening; reopening gives the same text.
#include "FuzzSupport.h"
#include "settings/SettingsStore.h"
#include "text/Charset.h"
#include "text/TextUtil.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using varnel::SettingsStore;

constexpr std::string_view kJournalLine = "VARNEL-SETTINGS-JOURNAL 1\n";

// Section names and keys as the file spells them, as program text: the names
// between "[" and "]" at line starts and the keys before "=" in the lines
// after them. Names with line breaks are left out: the program's never have
// them.
void namesInText(std::string_view text, std::vector<std::string> &sections, std::vector<std::string> &keys)
{
    std::size_t at = 0;
    while (at < text.size() && sections.size() + keys.size() < 16) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 2;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = varnel::fromGb18030(line.substr(1, line.size() - 2));
            if (name.find_first_of("\r\n") == std::string::npos)
                sections.push_back(name);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && eq > 0 && line.front() != '[') {
            const std::string key = varnel::fromGb18030(line.substr(0, eq));
            if (key.find_first_of("\r\n") == std::string::npos && !key.starts_with('['))
                keys.push_back(key);
        }
    }
}

void checkFile(SettingsStore &store, const std::filesystem::path &path, const char *what)
{
    VARNEL_FUZZ_CHECK(varnel::fuzz::readFile(path) == store.rawText(), what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::string_view text = input;
    std::string_view journal;
    if (const std::size_t j = input.find(kJournalLine); j != std::string_view::npos) {
        text = input.substr(0, j);
        journal = input.substr(j);
    }

    const auto path = varnel::fuzz::scratchDir() / "settings.ini";
    varnel::fuzz::removeStoreFiles(path);
    varnel::fuzz::writeFile(path, text);

    std::vector<std::string> sections = {"主界面", "新建表", "s"};
    std::vector<std::string> keys = {"编辑框库名", "字段数", "选择框同步", "k"};
    namesInText(text, sections, keys);

    // Reading, without binding: from the file, and from the text handed over.
    {
        SettingsStore fromFile;
        fromFile.openReadOnly(path);
        SettingsStore fromText;
        fromText.openReadOnly(path, std::string(text));
        VARNEL_FUZZ_CHECK(fromFile.rawText() == text, "openReadOnly did not load the file as it is");
        for (const auto &section : sections) {
            fromFile.setSection(section);
            fromText.setSection(section);
            VARNEL_FUZZ_CHECK(fromFile.hasSection(section) == fromText.hasSection(section), "hasSection differs");
            for (const auto &key : keys) {
                VARNEL_FUZZ_CHECK(fromFile.readText(key, "默认") == fromText.readText(key, "默认"), "readText differs");
                const double a = fromFile.readNumber(key, 1.5);
                const double b = fromText.readNumber(key, 1.5);
                VARNEL_FUZZ_CHECK(a == b || (a != a && b != b), "readNumber differs");
                VARNEL_FUZZ_CHECK(fromFile.readBool(key, true) == fromText.readBool(key, true), "readBool differs");
            }
        }
        VARNEL_FUZZ_CHECK(fromFile.rawText() == text, "reading changed the text");
    }

    // Editing in place, after a journal (if any) has been replayed.
    if (!journal.empty()) {
        std::filesystem::path jpath = path;
        jpath += ".journal";
        varnel::fuzz::writeFile(jpath, journal);
    }
    std::string afterEdits;
    {
        SettingsStore store;
        VARNEL_FUZZ_CHECK(store.open(path), "open did not bind to the file");
        std::filesystem::path jpath = path;
        jpath += ".journal";
        VARNEL_FUZZ_CHECK(!std::filesystem::exists(jpath), "the journal is still there after open");
        checkFile(store, path, "the file differs from the store after open");

        // Texts are stored with each CR LF as the mark "┊*┊" and read back with
        // each mark as CR LF, so a text that meets a mark (one holding "┊*┊",
        // or "┊*" just before a CR LF) comes back with that change.
        const std::string value = std::string(input.substr(0, 12));
        const bool checkValue = varnel::isValidUtf8(value) && value.find('\0') == std::string::npos;
        const std::string expected = varnel::replaceAll(varnel::replaceAll(value, "\r\n", "┊*┊"), "┊*┊", "\r\n");
        int n = 0;
        for (const auto &section : sections) {
            store.setSection(section);
            for (const auto &key : keys) {
                switch (n++ % 3) {
                case 0:
                    store.writeText(key, value);
                    checkFile(store, path, "the file differs from the store after writeText");
                    if (checkValue && !value.empty())
                        VARNEL_FUZZ_CHECK(store.readText(key) == expected, "a written text does not read back");
                    break;
                case 1:
                    store.writeNumber(key, 12.5);
                    checkFile(store, path, "the file differs from the store after writeNumber");
                    VARNEL_FUZZ_CHECK(store.readNumber(key) == 12.5, "a written number does not read back");
                    break;
                default:
                    store.writeBool(key, n % 2 == 0);
                    checkFile(store, path, "the file differs from the store after writeBool");
                    VARNEL_FUZZ_CHECK(store.readBool(key, n % 2 != 0) == (n % 2 == 0), "a bool does not read back");
                    break;
                }
            }
        }
        afterEdits = store.rawText();
    }
    {
        SettingsStore store;
        store.open(path);
        VARNEL_FUZZ_CHECK(store.rawText() == afterEdits, "reopening gives another text");
    }
    varnel::fuzz::removeStoreFiles(path);
    return 0;
}
