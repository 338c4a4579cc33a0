#include "design/Counters.h"

#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "mapping/FieldRule.h"
#include "settings/SettingsStore.h"
#include "util/SystemError.h"

#include <cerrno>

namespace varnel {
namespace {

// The columns of a mapping row: field name, data source, its options.
constexpr int kFieldColumn = 0, kSourceColumn = 1, kOptionsColumn = 2;

bool optionsChanged(const MappingRows &before, const Form &after, int row)
{
    return row < static_cast<int>(before.size())
        && after.cell(row, kOptionsColumn) != before[static_cast<std::size_t>(row)][kOptionsColumn];
}

} // namespace

MappingRows mappingRows(const Form &form)
{
    MappingRows rows(static_cast<std::size_t>(form.rowCount()));
    for (int r = 0; r < form.rowCount(); ++r) {
        for (int c = 0; c < form.columnCount(); ++c)
            rows[static_cast<std::size_t>(r)].push_back(form.cell(r, c));
    }
    return rows;
}

std::vector<AdvancedCounter> advancedCounters(const MappingRows &before, const Form &after)
{
    std::vector<AdvancedCounter> out;
    for (int r = 0; r < after.rowCount(); ++r) {
        if (optionsChanged(before, after, r) && after.cell(r, kSourceColumn) == "递进数字")
            out.push_back({r, after.cell(r, kFieldColumn), splitOptions(after.cell(r, kOptionsColumn), 1)[0]});
    }
    return out;
}

std::optional<std::string> saveCounters(
    const std::filesystem::path &config, bool lineFeeds, const MappingRows &before, const Form &after)
{
    if (lineFeeds)
        return std::string("配置文件的行尾是 LF；只有行尾是 CR LF 的配置文件才能就地修改");
    SettingsStore store;
    if (!store.open(config)) {
        const int error = store.openError();
        if (error == EWOULDBLOCK)
            return "配置文件正被另一个实例使用（" + config.string() + "）";
        return systemErrorText(error ? error : EIO);
    }
    store.setSection(mainFormSpec().section);
    for (int r = 0; r < after.rowCount(); ++r) {
        if (optionsChanged(before, after, r))
            store.writeText(rowKey(mainFormSpec().columns[kOptionsColumn], r + 1), after.cell(r, kOptionsColumn));
    }
    if (store.writeError() != 0)
        return systemErrorText(store.writeError());
    return std::nullopt;
}

} // namespace varnel
