#pragma once

#include <string>

namespace varnel {

class Form;
class MessageHost;
class MySqlConnection;

// What reading a table's fields did: whether the mapping was replaced, and
// the control to focus after a message ("" for none).
struct TableFieldsResult {
    bool replaced = false;
    std::string focus;
};

// The main window's 读入当前表的字段设置: replaces the field mapping by one row
// per column of the table named on the window (its auto-increment column
// left out), each to be given a data source. When the database cannot be
// selected, nothing is read: a same-named table of whatever database was
// current must never replace the mapping.
TableFieldsResult readTableFieldsIntoMapping(Form &form, MySqlConnection &db, MessageHost &host);

} // namespace varnel
