#pragma once

#include "form/FormSpec.h"

#include <string_view>

namespace varnel {

// MainWindow ("主界面") and CreateTableWindow ("新建表").
const FormSpec &mainFormSpec();
const FormSpec &tableFormSpec();
// ManagerWindow ("管理器"): its buttons; the lists are filled from the server
// and not kept.
const FormSpec &managerFormSpec();

// Where SqlQueryWindow keeps the text of its statement editor from run to run.
inline constexpr std::string_view kSqlSection = "SQL查询";
inline constexpr std::string_view kSqlStatementKey = "语句";

} // namespace varnel
