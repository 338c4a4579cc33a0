#include "transfer/TableFields.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/ColumnTypes.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Quoting.h"
#include "mysql/Statements.h"
#include "util/AsciiCase.h"
#include "util/MessageHost.h"

#include <array>
#include <vector>

namespace varnel {
namespace {

constexpr std::string_view kOpenTableFailed = "打开表失败，请检查表是否存在或是否可读！";

} // namespace

TableFieldsResult readTableFieldsIntoMapping(Form &form, MySqlConnection &db, MessageHost &host)
{
    const std::string database = controlText(form, ctl::kDatabase);
    const std::string table = controlText(form, ctl::kTable);
    if (database.empty()) {
        host.showMessage("请输入库名！");
        return {false, std::string(ctl::kDatabase)};
    }
    if (table.empty()) {
        host.showMessage("请输入表名！");
        return {false, std::string(ctl::kTable)};
    }
    if (!db.selectDatabase(database)) {
        host.showMessage(kOpenTableFailed);
        return {false, std::string(ctl::kDatabase)};
    }
    std::unique_ptr<ResultSet> result;
    if (db.execute(sql::describeTable(Identifier(table))))
        result = db.storeResult();
    if (!result) {
        host.showMessage(kOpenTableFailed);
        return {false, std::string(ctl::kTable)};
    }

    std::vector<std::array<std::string, 3>> rows;
    for (std::uint64_t r = 0; r < result->rowCount(); ++r) {
        result->seekRow(r);
        std::string name, type, extra;
        result->readField("Field", name);
        result->readField("Type", type);
        result->readField("Extra", extra);
        if (asciiLowered(extra).find("auto_increment") != std::string::npos)
            continue;
        type = type.substr(0, type.find('('));
        rows.push_back({name, "请设置", typeLabelOfCode(typeCodeOfSqlName(type))});
    }
    form.clearRows();
    for (const auto &cells : rows) {
        const int row = form.appendRow();
        for (int c = 0; c < 3; ++c)
            form.setCell(row, c, cells[static_cast<std::size_t>(c)]);
    }
    if (rows.empty())
        host.showMessage("该数据库中的表[" + table + "]字段数量为0");
    return {true, {}};
}

} // namespace varnel
