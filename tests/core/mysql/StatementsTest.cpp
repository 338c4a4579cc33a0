#include "mysql/Statements.h"
#include "mysql/ColumnTypes.h"
#include "mysql/MySqlConnection.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

ColumnSpec column(std::string name, ColumnTypeCode type, bool allowNull = true, bool autoIncrement = false)
{
    ColumnSpec c;
    c.name = std::move(name);
    c.typeCode = type;
    c.allowNull = allowNull;
    c.autoIncrement = autoIncrement;
    return c;
}

ColumnSpec primaryKey(std::string columns)
{
    ColumnSpec c;
    c.kind = 2;
    c.primaryKey = std::move(columns);
    return c;
}

TEST(CreateTableText, BlanksExactlyAsSpecified)
{
    EXPECT_EQ(
        sql::createTable(Identifier("t"), {column("ID", 8, false, true), primaryKey("ID"), column("title", 25208)}),
        "create table `t` (`ID` bigint  NOT NULL AUTO_INCREMENT, PRIMARY KEY  (ID) , `title` longtext )");
    // AUTO_INCREMENT on the first such column only.
    EXPECT_EQ(sql::createTable(Identifier("t"), {column("a", 3, false, true), column("b", 3, false, true)}),
        "create table `t` (`a` int  NOT NULL AUTO_INCREMENT,`b` int  NOT NULL )");
    // A code missing from the type list: no statement.
    EXPECT_FALSE(sql::createTable(Identifier("t"), {column("a", 999)}).has_value());
    ColumnSpec v = column("name", 253);
    v.attributes = 1 | 2 | 4;
    v.lengthOrValues = "255";
    v.defaultValue = "x";
    EXPECT_EQ(sql::createTable(Identifier("t"), {v}), "create table `t` (`name` varchar  (255)  DEFAULT  'x' )");
    // A name is one identifier and a default one literal, whatever they hold.
    ColumnSpec odd = column("a`b.c", 253);
    odd.defaultValue = "it's \\";
    EXPECT_EQ(
        sql::createTable(Identifier("x.y"), {odd}), "create table `x.y` (`a``b.c` varchar  DEFAULT  'it\\'s \\\\' )");
    ColumnSpec e = column("kind", 25401);
    e.lengthOrValues = "'a','b'";
    ColumnSpec u = column("n", 3);
    u.attributes = 1 | 2 | 4;
    u.lengthOrValues = "11";
    ColumnSpec index;
    index.kind = 2;
    index.lengthOrValues = "idx";
    index.indexColumns = "n";
    EXPECT_EQ(sql::createTable(Identifier("表"), {e, u, index}),
        "create table `表` (`kind` enum ('a','b'),`n` int  (11)  UNSIGNED  ZEROFILL , INDEX  idx  (n) )");
}

TEST(StatementText, RowsDatabasesTables)
{
    EXPECT_EQ(sql::dropColumn(Identifier("t"), Identifier("c")), "ALTER TABLE `t`  DROP `c`");
    EXPECT_EQ(sql::deleteRows(Identifier("t"), ""), "delete from `t`");
    EXPECT_EQ(sql::deleteRows(Identifier("t"), "id=1"), "delete from `t` where id=1");
    EXPECT_EQ(sql::insertRow(Identifier("t"), "`a`='1'"), "insert into `t` set `a`='1'");
    EXPECT_EQ(sql::createDatabase(Identifier("库")), "create database `库`");
    EXPECT_EQ(sql::dropDatabase(Identifier("d")), "drop database `d`");
    EXPECT_EQ(sql::dropTable(Identifier("a.b")), "drop table `a.b`");
}

TEST(AccountText, ClassicStatements)
{
    EXPECT_EQ(sql::grantStatement("", "u", "", "d", "", 3), "GRANT select,insert ON d.* TO 'u'@'%'");
    EXPECT_EQ(sql::grantStatement("h", "u", "pw", "", "", 0), "GRANT USAGE ON *.* TO 'u'@'h' IDENTIFIED BY 'pw'");
    EXPECT_EQ(sql::grantStatement("h", "u", "", "*", "t", 8192 | 1), "GRANT ALL PRIVILEGES ON *.* TO 'u'@'h'");
    EXPECT_EQ(sql::grantStatement("h", "u", "", "d", "t", 4096 | 512), "GRANT reload,file ON d.t TO 'u'@'h'");
    EXPECT_EQ(sql::grantStatement("h", "u", "", "d", "*x", 4), "GRANT update ON d.* TO 'u'@'h'");
    EXPECT_EQ(sql::userExistsQuery("%", "u"), "select * from mysql.user where host='%' and user='u'");
    const auto deletes = sql::deleteUserStatements("u", "");
    ASSERT_EQ(deletes.size(), 4u);
    EXPECT_EQ(deletes[0], "delete from mysql.user where host='%' and user='u'");
    EXPECT_EQ(deletes[3], "delete from mysql.columns_priv where host='%' and user='u'");

    const std::string yn = "Select_priv='Y',Insert_priv='N',Update_priv='Y',Delete_priv='N',Index_priv='N',"
                           "Alter_priv='N',Create_priv='N',Drop_priv='N',References_priv='N' ";
    auto global = sql::setPrivilegesStatements("u", "", "", "", 5);
    ASSERT_TRUE(global);
    EXPECT_EQ(global->check, "");
    EXPECT_EQ(global->ifExists, "update mysql.user set " + yn + " where host='%' and user='u'");
    auto db = sql::setPrivilegesStatements("u", "h", "d", "", 5);
    EXPECT_EQ(db->check, "select * from mysql.db where host='h' and user='u' and db='d'");
    EXPECT_EQ(db->ifExists, "update mysql.db set " + yn + ", db='d', host='h' where host='h' and user='u' and db='d'");
    EXPECT_EQ(db->otherwise, "insert into mysql.db set " + yn + ", user='u', host='h', db='d'");
    auto table = sql::setPrivilegesStatements("u", "h", "d", "t", 5);
    EXPECT_EQ(
        table->check, "select * from mysql.tables_priv where host='h' and user='u' and db='d' and table_name='t'");
    EXPECT_EQ(table->ifExists,
        "UPDATE mysql.tables_priv SET Table_priv='select,update ' where host='h' and "
        "user='u' and db='d' and table_name='t'");
    EXPECT_EQ(table->otherwise,
        "insert into mysql.tables_priv set Table_priv='select,update ' ,user='u', "
        "host='h', db='d', table_name='t'");
    EXPECT_FALSE(sql::setPrivilegesStatements("u", "h", "d", "t", 0).has_value());
    EXPECT_EQ(sql::flushPrivileges(), "FLUSH PRIVILEGES");
}

// Values that need escaping stay inside their literals in every classic
// statement, and the table check names the database as the update does.
TEST(AccountText, ClassicStatementsEscapeTheirValues)
{
    EXPECT_EQ(sql::grantStatement("h'", "o'q", "p\\w", "d", "", 1),
        "GRANT select ON d.* TO 'o\\'q'@'h\\'' IDENTIFIED BY 'p\\\\w'");
    EXPECT_EQ(sql::deleteUserStatements("o'q", "h")[1], "delete from mysql.db where host='h' and user='o\\'q'");
    auto table = sql::setPrivilegesStatements("u", "", "d'b", "t", sql::PrivInsert);
    ASSERT_TRUE(table);
    EXPECT_EQ(
        table->check, "select * from mysql.tables_priv where host='%' and user='u' and db='d\\'b' and table_name='t'");
    EXPECT_EQ(table->otherwise,
        "insert into mysql.tables_priv set Table_priv='insert ' ,user='u', host='%', db='d\\'b', table_name='t'");
}

// The privileges box: its leading digits, 0 without any.
TEST(AccountText, PrivilegeMaskFromText)
{
    EXPECT_EQ(sql::privilegeMaskFromText("100"), 100);
    EXPECT_EQ(sql::privilegeMaskFromText("3abc"), 3);
    EXPECT_EQ(sql::privilegeMaskFromText("abc"), 0);
    EXPECT_EQ(sql::privilegeMaskFromText(""), 0);
    EXPECT_EQ(sql::privilegeMaskFromText(" 5"), 0);
    EXPECT_EQ(sql::privilegeMaskFromText("99999999999999"), 0x7fffffff);
}

// The privileges by mask: all thirteen for grants, and the nine that have a
// column of their own, set and unset, for the statements that set them
// exactly.
TEST(AccountText, PrivilegeNamesByMask)
{
    const std::vector<std::string> nine = {
        "select", "insert", "update", "delete", "index", "alter", "create", "drop", "references"};
    std::vector<std::string> thirteen = nine;
    thirteen.insert(thirteen.end(), {"reload", "shutdown", "process", "file"});
    EXPECT_EQ(sql::privilegeNames(8191), thirteen);
    EXPECT_EQ(sql::privilegeNames(sql::PrivSelect), std::vector<std::string>{"select"});
    EXPECT_EQ(sql::privilegeNames(sql::PrivFile | sql::PrivDrop), (std::vector<std::string>{"drop", "file"}));
    EXPECT_TRUE(sql::privilegeNames(0).empty());

    EXPECT_EQ(sql::columnPrivilegeNames(8191, true), nine);
    EXPECT_TRUE(sql::columnPrivilegeNames(8191, false).empty());
    EXPECT_EQ(sql::columnPrivilegeNames(0, false), nine);
    EXPECT_TRUE(sql::columnPrivilegeNames(0, true).empty());
    EXPECT_EQ(sql::columnPrivilegeNames(sql::PrivSelect, true), std::vector<std::string>{"select"});
    EXPECT_EQ(sql::columnPrivilegeNames(sql::PrivSelect | sql::PrivUpdate | sql::PrivReload, true),
        (std::vector<std::string>{"select", "update"}));
    EXPECT_EQ(sql::columnPrivilegeNames(sql::PrivSelect | sql::PrivUpdate | sql::PrivReload, false),
        (std::vector<std::string>{"insert", "delete", "index", "alter", "create", "drop", "references"}));
    EXPECT_EQ(
        sql::columnPrivilegeNames(sql::PrivReferences | sql::PrivFile, true), std::vector<std::string>{"references"});
    EXPECT_EQ(sql::columnPrivilegeNames(~sql::PrivSelect & 8191, false), std::vector<std::string>{"select"});
}

TEST(ColumnTypes, ListAndLookups)
{
    EXPECT_TRUE(kColumnTypeList.starts_with("\r\n[0]小数(decimal)\r\n[101]字节(tinyint)\r\n"));
    EXPECT_TRUE(kColumnTypeList.ends_with("[25401]枚举(enum)\r\n[25402]集合(set)\r\n"));
    const auto labels = columnTypeLabels();
    ASSERT_EQ(labels.size(), 26u);
    EXPECT_EQ(labels[7], "单精度小数(float)");
    EXPECT_EQ(sqlNameOfLabel("变长字符串(varchar)"), "varchar");
    EXPECT_EQ(typeCodeOfSqlName("varchar"), 253);
    EXPECT_EQ(typeCodeOfSqlName("int"), 3);
    EXPECT_EQ(typeCodeOfSqlName("time"), 11);
    EXPECT_EQ(typeCodeOfSqlName("mediumtext"), 25206);
    EXPECT_EQ(typeCodeOfSqlName("nosuch"), 0);
    EXPECT_EQ(typeLabelOfCode(253), "变长字符串(varchar)");
    EXPECT_EQ(typeLabelOfCode(2), "短整数(smallint)");
    EXPECT_EQ(typeLabelOfCode(77), "");
    EXPECT_TRUE(takesLengthOrValues("集合(set)"));
    EXPECT_TRUE(takesLengthOrValues("变长字符串(varchar)"));
    EXPECT_FALSE(takesLengthOrValues("字符串(char)"));
    for (const std::string &label : labels)
        EXPECT_EQ(typeLabelOfCode(typeCodeOfSqlName(sqlNameOfLabel(label))), label);
}

TEST(ServerAddress, HostPortAndIpv6)
{
    const struct {
        const char *text;
        const char *host;
        unsigned port;
    } rows[] = {
        {"127.0.0.1", "127.0.0.1", 0},
        {"db.example:3307", "db.example", 3307},
        {"[::1]:3406", "::1", 3406},
        {"[fe80::1]", "fe80::1", 0},
        {"::1", "::1", 0},
        {"", "", 0},
        {"host:notaport", "host:notaport", 0},
        {"host:70000", "host:70000", 0},
    };
    for (const auto &row : rows) {
        const auto a = parseServerAddress(row.text);
        EXPECT_EQ(a.host, row.host) << row.text;
        EXPECT_EQ(a.port, row.port) << row.text;
    }
}

TEST(ServerAddress, ListsOfServers)
{
    using List = std::vector<std::string>;
    const struct {
        const char *field;
        List entries;
    } good[] = {
        {"127.0.0.1", {"127.0.0.1"}},
        {" a , b:3307,[::1]:3308 ", {"a", "b:3307", "[::1]:3308"}},
        {"localhost", {"localhost"}},
        {"localhost:3307,db_1.example", {"localhost:3307", "db_1.example"}},
        {"::1,fe80::1%eth0,[fe80::2%eth0]", {"::1", "fe80::1%eth0", "[fe80::2%eth0]"}},
        // No entry at all is the one default server, as an empty field always was.
        {"", {""}},
        {" \t ", {""}},
    };
    for (const auto &row : good) {
        const ServerList list = splitServerList(row.field);
        EXPECT_EQ(list.entries, row.entries) << row.field;
        EXPECT_EQ(list.invalid, std::nullopt) << row.field;
    }
    // What is refused, and the text the refusal names: the entry, or the
    // whole field when an entry is empty.
    const struct {
        const char *field;
        const char *invalid;
    } bad[] = {
        {"127.0.0.1:3560;127.0.0.1:3569", "127.0.0.1:3560;127.0.0.1:3569"},
        {",,,", ",,,"},
        {" , ,", ", ,"},
        {"a,,b", "a,,b"},
        {"a,b,", "a,b,"},
        {"a, b c", "b c"},
        {"host:notaport", "host:notaport"},
        {"host:70000", "host:70000"},
        {"host:", "host:"},
        {":3306", ":3306"},
        {"[::1]x", "[::1]x"},
        {"[db.example]:3306", "[db.example]:3306"},
        {"a:1:b", "a:1:b"},
        {"/run/mysqld/mysqld.sock", "/run/mysqld/mysqld.sock"},
    };
    for (const auto &row : bad) {
        const ServerList list = splitServerList(row.field);
        EXPECT_EQ(list.invalid, std::optional<std::string>(row.invalid)) << row.field;
        EXPECT_EQ(list.entries, List{}) << row.field;
    }
    EXPECT_EQ(invalidServerText(",,,"), "服务器地址无效：,,,");
}

TEST(AdminStatementText, ExactTexts)
{
    EXPECT_EQ(sql::renameTable(Identifier("a"), Identifier("b")), "ALTER TABLE `a` RENAME TO `b`;");
    EXPECT_EQ(sql::describeTable(Identifier("news")), "describe `news`;");
    EXPECT_EQ(sql::selectAll(Identifier("news")), "select * from `news`;");
    EXPECT_EQ(sql::countRows(Identifier("news")), "select count(*) from `news`;");
    EXPECT_EQ(sql::selectNoRows(Identifier("news")), "select * from `news` limit 0;");
    EXPECT_EQ(sql::showKeys(Identifier::typedTableName("d.t")), "show keys from `d`.`t`;");
    EXPECT_EQ(sql::databaseCharset(Identifier("d")),
        "ALTER DATABASE `d` DEFAULT CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;");
}

TEST(AdminStatementText, NamesAreQuotedAsOneName)
{
    EXPECT_EQ(sql::renameTable(Identifier("a`b"), Identifier("文章")), "ALTER TABLE `a``b` RENAME TO `文章`;");
    EXPECT_EQ(sql::selectAll(Identifier("a.b")), "select * from `a.b`;");
    EXPECT_EQ(sql::selectAll(Identifier::typedTableName("d.t")), "select * from `d`.`t`;");
    EXPECT_EQ(sql::describeTable(Identifier("x y")), "describe `x y`;");
}

TEST(AdminStatementText, ChunksFollowTheKeyInIndexOrder)
{
    const std::vector<Identifier> one{Identifier("ID")}, three{Identifier("b"), Identifier("a`"), Identifier("c")};
    EXPECT_EQ(sql::selectAfterKey(Identifier("t"), one, {}, 64), "select * from `t` order by `ID` limit 64;");
    EXPECT_EQ(sql::selectAfterKey(Identifier("t"), one, {"17"}, 2),
        "select * from `t` where `ID` > 17 order by `ID` limit 2;");
    EXPECT_EQ(sql::selectAfterKey(Identifier::typedTableName("d.t"), three, {"'x'", "2", "X'00'"}, 5),
        "select * from `d`.`t` where `b` > 'x' or (`b` = 'x' and `a``` > 2) or (`b` = 'x' and `a``` = 2 and `c` > "
        "X'00') order by `b`, `a```, `c` limit 5;");
}

} // namespace
} // namespace varnel
