// varnel-cli: the import and export of the Varnel window, headless.
#include "cli/CliHost.h"
#include "cli/CliOptions.h"

#include "mapping/FieldRule.h"
#include "mysql/MySqlConnection.h"
#include "settings/ConfigFile.h"
#include "settings/MemoryForm.h"
#include "settings/SettingsStore.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/Preview.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace {

using namespace varnel;
using namespace varnel::cli;

enum Exit { kOk = 0, kOther = 1, kInvalid = 2, kPartial = 3 };

std::filesystem::path executableDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

std::string json(std::string_view s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Puts a value into a control of the form, the way its kind takes it.
bool applySetting(MemoryForm &form, const std::string &name, const std::string &value, std::string &error)
{
    Control *c = form.control(name);
    if (!c) {
        error = "no control named " + name;
        return false;
    }
    switch (controlKindOfName(name)) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        c->setChecked(value == "真" || value == "1" || value == "true" || value == "yes");
        return true;
    case ControlKind::ComboBox: {
        const auto items = c->items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == value) {
                c->setCurrentIndex(static_cast<int>(i));
                return true;
            }
        }
        const std::int64_t index = optionInteger(value);
        if (value.empty() || std::to_string(index) != value || index < 0
            || static_cast<std::size_t>(index) >= items.size()) {
            error = name + " has no item " + value;
            return false;
        }
        c->setCurrentIndex(static_cast<int>(index));
        return true;
    }
    case ControlKind::Button:
        c->setTag(value);
        return true;
    default:
        c->setText(value);
        return true;
    }
}

void printFailures(const CliHost &host)
{
    if (host.failures.empty())
        return;
    std::fprintf(stderr, "%s (%zu):\n", host.failureTitle.c_str(), host.failures.size());
    for (const TransferFailure &f : host.failures)
        std::fprintf(stderr, "  %s: %s\n", f.item.c_str(), f.reason.c_str());
}

int finish(CliHost &host, TransferOutcome outcome)
{
    host.endProgress();
    if (outcome != TransferOutcome::Completed) {
        for (const std::string &m : host.messages)
            std::fprintf(stderr, "%s\n", m.c_str());
        return outcome == TransferOutcome::Invalid ? kInvalid : kOther;
    }
    for (const std::string &m : host.messages)
        std::printf("%s\n", m.c_str());
    printFailures(host);
    return host.failures.empty() ? kOk : kPartial;
}

// Writes the counters' new start values back into the configuration file.
bool saveCounters(const std::filesystem::path &config, MemoryForm &before, MemoryForm &after)
{
    SettingsStore store;
    if (!store.open(config)) {
        std::fprintf(stderr, "cannot write %s (in use by another instance?)\n", config.c_str());
        return false;
    }
    store.setSection(mainFormSpec().section);
    for (int r = 0; r < after.rowCount() && r < before.rowCount(); ++r) {
        if (after.cell(r, 2) != before.cell(r, 2))
            store.writeText(rowKey(mainFormSpec().columns[2], r + 1), after.cell(r, 2));
    }
    return true;
}

int run(const CliOptions &options)
{
    const std::filesystem::path config =
        options.config ? std::filesystem::path(*options.config) : settingsFilePath(executableDir());
    MemoryForm form(mainFormSpec());
    {
        std::error_code ec;
        if (options.config && !std::filesystem::is_regular_file(config, ec)) {
            std::fprintf(stderr, "cannot read the configuration %s\n", config.c_str());
            return kOther;
        }
        SettingsStore store;
        store.openReadOnly(config);
        restoreMainConfig(store, form);
    }
    // The import button starts idle whatever the file remembers.
    form.control("按钮导入")->setText(kImportIdle);
    form.control("按钮导出")->setText(kExportIdle);
    for (const auto &[name, value] : options.settings) {
        std::string error;
        if (!applySetting(form, name, value, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kOther;
        }
    }

    if (options.command == Command::Preview) {
        for (const PreviewRow &row : previewImport(form, options.files)) {
            if (options.json) {
                std::string line = "{\"file\": " + json(row.file) + ", \"encoding\": " + std::to_string(row.encoding)
                    + ", \"values\": [";
                for (std::size_t i = 0; i < row.values.size(); ++i) {
                    const auto &v = row.values[i];
                    line += (i ? ", [" : "[") + json(v.target) + ", " + json(v.source) + ", " + json(v.value) + "]";
                }
                std::printf("%s]}\n", line.c_str());
            } else {
                std::printf("== %s (encoding %d)\n", row.file.c_str(), row.encoding);
                for (const auto &v : row.values)
                    std::printf("  %s [%s]: %s\n", v.target.c_str(), v.source.c_str(), v.value.c_str());
            }
        }
        return kOk;
    }

    MySqlConnection &db = MySqlConnection::shared();
    if (!db.connect(form.control("编辑框服务器")->text(), form.control("编辑框用户名")->text(),
            form.control("编辑框密码")->text())) {
        std::fprintf(stderr, "连接到MySQL失败：%s\n", db.connectError().c_str());
        return kOther;
    }

    CliHost host(options.clear);
    if (options.command == Command::Export) {
        ArticleExporter exporter(form, db, host);
        host.onInterrupt([&] { exporter.requestStop(); });
        return finish(host, exporter.runExport().outcome);
    }

    MemoryForm before(mainFormSpec());
    for (int r = 0; r < form.rowCount(); ++r) {
        before.appendRow();
        for (int c = 0; c < form.columnCount(); ++c)
            before.setCell(r, c, form.cell(r, c));
    }
    ArticleImporter importer(form, db, host);
    importer.setBatchSize(options.batch);
    host.onInterrupt([&] { importer.requestStop(); });
    const ImportResult result = options.files.empty() ? importer.startImport(false) : importer.runImport(options.files);
    const int code = finish(host, result.outcome);

    if (result.outcome == TransferOutcome::Completed) {
        for (int r = 0; r < form.rowCount() && r < before.rowCount(); ++r) {
            if (form.cell(r, 2) != before.cell(r, 2) && form.cell(r, 1) == "递进数字")
                std::fprintf(stderr, "计数器 %s 下次从 %s 开始%s\n", form.cell(r, 0).c_str(),
                    splitOptions(form.cell(r, 2), 1)[0].c_str(),
                    options.saveCounters ? "（已保存）" : "（未保存，使用 --save-counters 保存）");
        }
        if (options.saveCounters && !saveCounters(config, before, form))
            return kOther;
    }
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = parseCommandLine(args, error);
    if (!options) {
        std::fprintf(stderr, "varnel-cli: %s\n\n%s", error.c_str(), kUsage);
        return kOther;
    }
    if (options->command == Command::Help) {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    try {
        return run(*options);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "varnel-cli: %s\n", e.what());
        return kOther;
    }
}
