#include "admin/TableCreation.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/ColumnTypes.h"
#include "mysql/MySqlConnection.h"
#include "text/TextUtil.h"
#include "util/MessageHost.h"

#include <algorithm>
#include <limits>

namespace varnel {
namespace {

constexpr int kNameColumn = 0;
constexpr int kTypeColumn = 1;
constexpr int kLengthColumn = 2;
constexpr std::string_view kIdColumn = "ID";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isVarchar(std::string_view label)
{
    return sqlNameOfLabel(label) == "varchar";
}

// A varchar length the server takes: the cell when it is a whole number
// above 0 and nothing else (blanks around it allowed), in plain decimal.
std::string varcharLength(std::string_view cell)
{
    std::size_t i = 0;
    while (i < cell.size() && isBlank(cell[i]))
        ++i;
    std::size_t end = cell.size();
    while (end > i && isBlank(cell[end - 1]))
        --end;
    if (i < end && cell[i] == '+')
        ++i;
    if (i == end)
        return std::string(kDefaultVarcharLength);
    for (std::size_t k = i; k < end; ++k) {
        if (!isDigit(cell[k]))
            return std::string(kDefaultVarcharLength);
    }
    while (i + 1 < end && cell[i] == '0')
        ++i;
    const std::string digits(cell.substr(i, end - i));
    if (digits == "0")
        return std::string(kDefaultVarcharLength);
    return digits;
}

std::string selectedLabel(Form &form)
{
    const Control *box = form.control(kFieldTypeBox);
    if (!box)
        return {};
    const int index = box->currentIndex();
    const auto items = box->items();
    return index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)]
                                                                        : std::string();
}

} // namespace

std::int64_t leadingWholeNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (limit + 1 - digit) / 10 ? limit + 1 : magnitude * 10 + digit;
    }
    if (negative)
        return magnitude > limit ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(magnitude);
    return magnitude > limit ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(magnitude);
}

std::string storedValueFromAnswer(std::string_view label, std::string_view answer)
{
    if (isVarchar(label))
        return std::to_string(leadingWholeNumber(answer));
    return std::string(answer);
}

std::string storedValueFromCell(std::string_view label, std::string_view cell)
{
    if (cell == kNoLength)
        return "0";
    if (isVarchar(label))
        return std::to_string(leadingWholeNumber(cell));
    return std::string(cell);
}

std::string lengthCellText(std::string_view label, std::string_view storedValue)
{
    if (!takesLengthOrValues(label))
        return std::string(kNoLength);
    if (isVarchar(label))
        return std::to_string(leadingWholeNumber(storedValue));
    return std::string(storedValue);
}

int typeIndexOfRowType(const std::vector<std::string> &labels, std::string_view rowType)
{
    const std::string wanted = sqlNameOfLabel(rowType);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (sqlNameOfLabel(labels[i]) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

FieldEditResult addOrModifyField(
    Form &form, int currentRow, bool modify, std::string_view storedValue, MessageHost &host)
{
    const std::string name(trimSpaces(controlText(form, kFieldNameBox)));
    if (name.empty()) {
        host.showMessage("请输入字段名！");
        return {-1, std::string(kFieldNameBox)};
    }
    int row = currentRow;
    if (!modify) {
        for (int r = 0; r < form.rowCount(); ++r) {
            if (form.cell(r, kNameColumn) == name) {
                host.showMessage("字段名不能重复：" + name);
                return {r, std::string(kFieldList)};
            }
        }
        row = form.appendRow();
    } else if (row < 0 || row >= form.rowCount()) {
        host.showMessage("请选中一个字段再修改！");
        return {};
    }
    const std::string label = selectedLabel(form);
    form.setCell(row, kNameColumn, name);
    form.setCell(row, kTypeColumn, label);
    form.setCell(row, kLengthColumn, lengthCellText(label, storedValue));
    return {row, {}, true};
}

FieldEditResult deleteField(Form &form, int currentRow, MessageHost &host)
{
    if (currentRow < 0 || currentRow >= form.rowCount()) {
        host.showMessage("请选中一个字段再删除！右击按钮将全部清空！");
        return {};
    }
    form.removeRow(currentRow);
    const int next = std::min(currentRow, form.rowCount() - 1);
    return {next, std::string(kFieldList), true};
}

FieldEditResult clearAllFields(Form &form, MessageHost &host)
{
    if (!host.askOkCancel("确定要删除所有字段吗？"))
        return {};
    form.clearRows();
    return {-1, {}, true};
}

std::vector<ColumnSpec> columnSpecsFromRows(const Form &fields)
{
    std::vector<ColumnSpec> columns;
    ColumnSpec id;
    id.name = std::string(kIdColumn);
    id.typeCode = kTypeBigint;
    id.allowNull = false;
    id.autoIncrement = true;
    columns.push_back(id);
    ColumnSpec key;
    key.kind = 2;
    key.primaryKey = std::string(kIdColumn);
    columns.push_back(key);
    for (int r = 0; r < fields.rowCount(); ++r) {
        ColumnSpec c;
        c.name = fields.cell(r, kNameColumn);
        c.typeCode = typeCodeOfSqlName(sqlNameOfLabel(fields.cell(r, kTypeColumn)));
        const std::string cell = fields.cell(r, kLengthColumn);
        if (c.typeCode == kTypeVarchar) {
            c.attributes = 1;
            c.lengthOrValues = varcharLength(cell);
        } else if (sqlNameOfCode(c.typeCode) == "enum" || sqlNameOfCode(c.typeCode) == "set") {
            c.lengthOrValues = cell;
        }
        columns.push_back(std::move(c));
    }
    return columns;
}

CreationResult createDatabaseAndTable(
    MySqlConnection &db, const CreationRequest &request, const Form &fields, MessageHost &host)
{
    CreationResult result;
    if (request.database.empty()) {
        host.showMessage("请输入库名！");
        result.focus = std::string(ctl::kDatabase);
        return result;
    }
    if (request.table.empty() && !request.databaseOnly) {
        host.showMessage("请输入表名！");
        result.focus = std::string(ctl::kTable);
        return result;
    }

    bool selected = db.selectDatabase(request.database);
    if (selected) {
        if (request.databaseOnly) {
            host.showMessage("库已存在！");
            result.focus = std::string(ctl::kDatabase);
            return result;
        }
    } else {
        const Identifier database(request.database);
        if (!db.createDatabase(database)) {
            host.showMessage(request.databaseOnly ? "创建库失败！" : "指定库不存在，且创建失败！");
            return result;
        }
        result.databaseCreated = true;
        // The connection speaks utf8mb4 only; the new database takes it as
        // its default. What the server says to this is not needed.
        db.execute(sql::databaseCharset(database));
        selected = db.selectDatabase(request.database);
        if (request.databaseOnly) {
            host.showMessage("创建库成功！");
            return result;
        }
    }

    if (fields.rowCount() == 0) {
        host.showMessage("请添加至少一个字段！");
        return result;
    }
    // A table goes into no other database than the one named, whichever
    // was current before.
    result.tableCreated =
        selected && db.createTable(Identifier(request.table), columnSpecsFromRows(fields), sql::kUtf8mb4TableOptions);
    host.showMessage(result.tableCreated ? "创建表成功" : "创建表失败");
    return result;
}

} // namespace varnel
