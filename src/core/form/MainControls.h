#pragma once

#include <string_view>

// The names of the main window's controls that the engines and varnel-cli
// read. Each is a control of the main form's design table (a test holds them
// to it), so a misspelt name cannot compile into a control that is never
// found and reads as empty.
namespace varnel::ctl {

inline constexpr std::string_view kServer = "编辑框服务器";
inline constexpr std::string_view kUser = "编辑框用户名";
inline constexpr std::string_view kPassword = "编辑框密码";
inline constexpr std::string_view kDatabase = "编辑框库名";
inline constexpr std::string_view kTable = "编辑框表名";
inline constexpr std::string_view kFolder = "编辑框文章目录";
inline constexpr std::string_view kFileTypes = "编辑框文件类型";
inline constexpr std::string_view kEncoding = "组合框文件编码";
inline constexpr std::string_view kRecurse = "选择框遍历子目录";
inline constexpr std::string_view kRandomOrder = "选择框乱序导入";
inline constexpr std::string_view kImportButton = "按钮导入";
inline constexpr std::string_view kExportButton = "按钮导出";
inline constexpr std::string_view kConditionsOn = "选择框启用导出条件";
inline constexpr std::string_view kConditionNames = "编辑框条件字段名";
inline constexpr std::string_view kConditionValues = "编辑框条件字段值";
inline constexpr std::string_view kConditionSeparator = "编辑框字段分隔符";
inline constexpr std::string_view kEqual = "单选框相等";
inline constexpr std::string_view kNotEqual = "单选框不相等";
inline constexpr std::string_view kContains = "单选框包含";
inline constexpr std::string_view kNotContains = "单选框不包含";
inline constexpr std::string_view kAndLogic = "单选框且逻辑";
inline constexpr std::string_view kFileTimeFormat = "组合框类型";
inline constexpr std::string_view kFileTimeCreated = "单选框创建";
inline constexpr std::string_view kFileTimeModified = "单选框修改";
inline constexpr std::string_view kFileTimeAccessed = "单选框访问";
inline constexpr std::string_view kConnectButton = "按钮建立连接";
inline constexpr std::string_view kDatabaseListButton = "按钮库列表";
inline constexpr std::string_view kTableListButton = "按钮表列表";
inline constexpr std::string_view kReadFieldsButton = "按钮读表字段";
inline constexpr std::string_view kSourceBox = "组合框数据来源";
// The import's key column: a mapping target that identifies an article.
inline constexpr std::string_view kKeyColumn = "编辑框唯一键";
inline constexpr std::string_view kConditionButton = "按钮导出条件";
// The connection's encryption: a mode (DISABLED … VERIFY_IDENTITY, empty for
// none given) and the CA, certificate and key files.
inline constexpr std::string_view kSslMode = "编辑框加密方式";
inline constexpr std::string_view kSslCa = "编辑框CA证书";
inline constexpr std::string_view kSslCert = "编辑框客户端证书";
inline constexpr std::string_view kSslKey = "编辑框客户端私钥";
// Checked: the settings and configuration files keep no password.
inline constexpr std::string_view kPasswordNotStored = "选择框不保存密码";

// Every name above, for the test that holds them to the design table.
inline constexpr std::string_view kAll[] = {kServer, kUser, kPassword, kDatabase, kTable, kFolder, kFileTypes,
    kEncoding, kRecurse, kRandomOrder, kImportButton, kExportButton, kConditionsOn, kConditionNames, kConditionValues,
    kConditionSeparator, kEqual, kNotEqual, kContains, kNotContains, kAndLogic, kFileTimeFormat, kFileTimeCreated,
    kFileTimeModified, kFileTimeAccessed, kConnectButton, kDatabaseListButton, kTableListButton, kReadFieldsButton,
    kSourceBox, kConditionButton, kSslMode, kSslCa, kSslCert, kSslKey, kPasswordNotStored};

} // namespace varnel::ctl
