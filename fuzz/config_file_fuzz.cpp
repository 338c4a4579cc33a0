// A configuration file of arbitrary bytes imported into both windows, as the
// import button and a dropped file do; then exported and imported again.
//
// Properties: no crash or hang, at most the capped number of rows, and a
// window exported and imported again comes back the same (every control's
// state and every cell).
#include "FuzzSupport.h"
#include "settings/ConfigFile.h"
#include "settings/MemoryForm.h"
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const auto path = varnel::fuzz::scratchDir() / "config.ini";
    varnel::fuzz::removeStoreFiles(path);
    varnel::fuzz::writeFile(path, bytes);
    importExportImport(ConfigWindow::Main, varnel::mainFormSpec(), path);
    importExportImport(ConfigWindow::CreateTable, varnel::tableFormSpec(), path);
    varnel::fuzz::removeStoreFiles(path);
    return 0;
}
