#pragma once

#include "mysql/Statements.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class Form;
class MessageHost;
class MySqlConnection;

// The table creation window ("新建表"): its field list editor, the column list
// it sends and the sequence that creates the database and the table. The
// window adds only the type box's stored values, focus and scrolling.

inline constexpr std::string_view kCreateTableCaption = "新建表 - 请在主界面连接到MySQL，设置好库名和表名";
inline constexpr std::string_view kFieldList = "超级列表框";
inline constexpr std::string_view kFieldNameBox = "编辑框字段名";
inline constexpr std::string_view kFieldTypeBox = "组合框类型";
inline constexpr std::string_view kDatabaseOnlyBox = "选择框仅新建库";
// The third cell of a field whose type carries no length or value list.
inline constexpr std::string_view kNoLength = "无";
// The type selected when the window starts with none: 单精度小数(float).
inline constexpr int kDefaultFieldType = 7;
inline constexpr std::string_view kLengthPrompt =
    "如果类型为 变长字符串(varchar) 本参数指定最大长度，如果类型为 枚举(enum) 或 集合(set) "
    "本参数指定枚举或集合的取值范围：";
// The length of a varchar field given none that the server takes.
inline constexpr std::string_view kDefaultVarcharLength = "255";

// A text read as a whole number: blanks, an optional sign and the leading
// digits, the rest ignored; no digits gives 0. Stops at the 64-bit limits.
std::int64_t leadingWholeNumber(std::string_view text);

// Each item of the type box keeps a value of its own: for varchar the length
// last entered (a whole number in decimal), for enum and set the value list
// as typed; "0" when nothing was entered.
//
// The value an item keeps after the length dialog was answered.
std::string storedValueFromAnswer(std::string_view label, std::string_view answer);
// The value an item takes from a selected row's third cell ("无" is "0").
std::string storedValueFromCell(std::string_view label, std::string_view cell);
// The third cell of a row of that type: the stored value for the types that
// carry a length or value list, "无" for the others.
std::string lengthCellText(std::string_view label, std::string_view storedValue);
// The type box item of a row's type: the one with the same SQL type name;
// -1 when none has it.
int typeIndexOfRowType(const std::vector<std::string> &labels, std::string_view rowType);

// What a button of the field editor did: the row to make current (-1: leave
// it) and the control to focus (empty: none).
struct FieldEditResult {
    int currentRow = -1;
    std::string focus;
    bool changed = false;
};

// 添加字段 (modify false) and 修改字段 (modify true, on `currentRow`): the
// name from 编辑框字段名, the type selected in 组合框类型, and as third cell
// the selected item's `storedValue` or "无".
FieldEditResult addOrModifyField(
    Form &form, int currentRow, bool modify, std::string_view storedValue, MessageHost &host);
// 删除字段 clicked.
FieldEditResult deleteField(Form &form, int currentRow, MessageHost &host);
// 删除字段 pressed with the right button: empties the list after asking.
FieldEditResult clearAllFields(Form &form, MessageHost &host);

// The column list sent for the rows: ID (bigint, NOT NULL, AUTO_INCREMENT),
// the primary key on ID, then one column per row in list order. A varchar
// gets its length, "255" when the cell is no whole number above 0; enum and
// set get the cell as their value list.
std::vector<ColumnSpec> columnSpecsFromRows(const Form &fields);

// 执行创建: the database and table named on the main window.
struct CreationRequest {
    std::string database;
    std::string table;
    bool databaseOnly = false; // 仅新建库
};
struct CreationResult {
    // A control of the main window to focus (empty: none).
    std::string focus;
    bool databaseCreated = false;
    bool tableCreated = false;
};
CreationResult createDatabaseAndTable(
    MySqlConnection &db, const CreationRequest &request, const Form &fields, MessageHost &host);

} // namespace varnel
