// A configuration file of arbitrary bytes read by the command line's checked
// reader, and imported into both windows as the import button and a dropped
// file do; then exported and imported again.
//
// Properties: no crash or hang; a file the checked reader accepts has the
// section and is held with CR LF line ends; at most the capped number of
// rows; a window exported and imported again comes back the same (every
// control's state and every cell).
#include "FuzzSupport.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using varnel::ConfigWindow;
using varnel::MemoryForm;

// Everything of a form that a configuration carries.
std::string state(MemoryForm &form)
{
    std::string out;
    auto add = [&](std::string_view s) {
        out += std::to_string(s.size());
        out += ':';
        out += s;
    };
    for (varnel::Control *c : form.controls()) {
        add(c->name());
        add(c->text());
        add(c->editText());
        out += c->isChecked() ? 'y' : 'n';
        out += std::to_string(c->currentIndex()) + ',' + std::to_string(c->colour()) + ';';
        for (const auto &item : c->items())
            add(item);
        for (int i : c->selectedIndices())
            out += std::to_string(i) + ',';
        out += ';';
        for (int i : c->tickedIndices())
            out += std::to_string(i) + ',';
        out += '|';
    }
    for (const auto &row : form.rows()) {
        for (const auto &cell : row)
            add(cell);
        out += '\n';
    }
    return out;
}

// The row count a file asks for. Counts are capped at 100000 rows, and each row
// is several lookups: such files take seconds each, so the fuzzer leaves the
// cap to the tests and keeps to files of up to 1000 rows.
double rowsAsked(const std::filesystem::path &path, const varnel::FormSpec &spec)
{
    varnel::SettingsStore store;
    store.openReadOnly(path);
    store.setSection(spec.section);
    return store.readNumber(varnel::kRowCountKey, 0);
}

void importExportImport(ConfigWindow window, const varnel::FormSpec &spec, const std::filesystem::path &path)
{
    if (rowsAsked(path, spec) > 1000)
        return;
    varnel::fuzz::CountingHost host;
    MemoryForm form(spec);
    VARNEL_FUZZ_CHECK(varnel::importConfigFrom(window, form, path, host), "an existing file was not imported");
    VARNEL_FUZZ_CHECK(form.rowCount() <= 100000 + 4, "more rows than the cap");

    MemoryForm dropped(spec);
    varnel::importDroppedConfig(window, dropped, path, host);
    VARNEL_FUZZ_CHECK(dropped.rows() == form.rows(), "a dropped file gives other rows than an imported one");

    // Export and import again: small forms only, every cell is one write.
    if (form.rowCount() > 64)
        return;
    const auto again = varnel::fuzz::scratchDir() / "again.ini";
    varnel::fuzz::removeStoreFiles(again);
    varnel::exportConfigTo(window, form, again, host);
    MemoryForm second(spec);
    VARNEL_FUZZ_CHECK(varnel::importConfigFrom(window, second, again, host), "the exported file was not imported");
    VARNEL_FUZZ_CHECK(state(form) == state(second), "a configuration exported and imported again differs");
    varnel::fuzz::removeStoreFiles(again);
}

} // namespace

// The command line's reader: a file it accepts is GBK text with the section,
// held with CR LF line ends, and restores as the window's import would.
void readChecked(std::string_view bytes, const std::filesystem::path &path)
{
    varnel::SettingsStore store;
    bool lineFeeds = true;
    const varnel::Result<void> taken =
        varnel::readConfigChecked(store, path, varnel::mainFormSpec().section, &lineFeeds);
    if (!taken) {
        VARNEL_FUZZ_CHECK(!taken.error().message.empty(), "a refusal without a reason");
        VARNEL_FUZZ_CHECK(!lineFeeds, "line feeds reported for a refused file");
        return;
    }
    VARNEL_FUZZ_CHECK(store.hasSection(varnel::mainFormSpec().section), "accepted without the section");
    const std::string &text = store.rawText();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            VARNEL_FUZZ_CHECK(i > 0 && text[i - 1] == '\r', "a line feed without CR after the checked read");
    }
    bool lone = false;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        lone = lone || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'));
    VARNEL_FUZZ_CHECK(lineFeeds == lone, "lineFeeds does not tell whether the file had LF line ends");
    store.setSection(varnel::mainFormSpec().section);
    if (store.readNumber(varnel::kRowCountKey, 0) <= 1000) {
        MemoryForm form(varnel::mainFormSpec());
        varnel::restoreMainConfig(store, form);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const auto path = varnel::fuzz::scratchDir() / "config.ini";
    varnel::fuzz::removeStoreFiles(path);
    varnel::fuzz::writeFile(path, bytes);
    readChecked(bytes, path);
    importExportImport(ConfigWindow::Main, varnel::mainFormSpec(), path);
    importExportImport(ConfigWindow::CreateTable, varnel::tableFormSpec(), path);
    varnel::fuzz::removeStoreFiles(path);
    return 0;
}
