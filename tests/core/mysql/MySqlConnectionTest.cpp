#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace varnel {
namespace {

using test::SandboxDatabase;

TEST(MySqlConnectionConnect, FailsFastAndClearly)
{
    const auto settings = test::sandboxSettings();
    VARNEL_REQUIRE_SANDBOX(settings);
    MySqlConnection db;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(db.connect("127.0.0.1:1", "root", "x"));
    EXPECT_FALSE(db.connectError().empty());
    EXPECT_FALSE(db.connect("no-such-host.invalid", "root", "x"));
    EXPECT_FALSE(db.connect(settings.server, settings.user, settings.password + "wrong"));
    EXPECT_NE(db.connectError().find("Access denied"), std::string::npos) << db.connectError();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(db.isOpen());
    ASSERT_TRUE(db.connect(settings.server, settings.user, settings.password));
    EXPECT_NE(db.serverVersion().find("MariaDB"), std::string::npos);
    db.disconnect();
    EXPECT_FALSE(db.execute("select 1"));
}

class MySqlConnectionTest : public SandboxDatabase { };

TEST_F(MySqlConnectionTest, ChineseNamesAndValuesRoundTripExactly)
{
    ASSERT_TRUE(db.execute("create table `文章` (`标题` text, `内容` mediumtext) character set utf8mb4"));
    EXPECT_TRUE(db.tableExists("文章"));
    EXPECT_FALSE(db.tableExists("文"));
    const std::string value = "中文 𠮷 😀 ｶﾀｶﾅ €";
    ASSERT_TRUE(db.insertRow(Identifier("文章"), "`标题`='" + escapeString(value) + "',`内容`='正文'"));
    ASSERT_TRUE(db.execute("select `标题`, `内容` from `文章`"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    std::string got;
    std::string field;
    ASSERT_TRUE(r->fieldName(0, field));
    EXPECT_EQ(field, "标题");
    ASSERT_TRUE(r->readField("标题", got));
    EXPECT_EQ(got, value);
    ASSERT_TRUE(r->readField(1.9, got)); // fraction dropped
    EXPECT_EQ(got, "正文");
}

TEST_F(MySqlConnectionTest, EscapingStoresEveryAwkwardValueIntact)
{
    ASSERT_TRUE(db.execute("create table t (id int primary key, v longtext) character set utf8mb4"));
    const std::string values[] = {
        "x'y",
        "\\'",
        "C:\\new\\table\\",
        "ends with backslash\\",
        std::string("nul\0inside", 10),
        "cr\rlf\n",
        "ctrl-z\x1a",
        "\"double\"",
        "中'",
        "'; drop table t; --",
        "\\\\''\\",
    };
    int id = 0;
    for (const std::string &v : values) {
        ASSERT_TRUE(db.insertRow(Identifier("t"), "id=" + std::to_string(++id) + ",v='" + escapeString(v) + "'"))
            << test::sandboxSettings().server;
    }
    ASSERT_TRUE(db.execute("select v from t order by id"));
    auto r = db.storeResult();
    ASSERT_EQ(r->rowCount(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        r->seekRow(i);
        std::string got;
        ASSERT_TRUE(r->readField(0.0, got));
        // readField stops at a NUL byte, as text does.
        EXPECT_EQ(got, values[i].substr(0, values[i].find('\0'))) << i;
    }
    EXPECT_TRUE(db.tableExists("t")); // nothing injected ran
    // A stray GBK lead byte before a quote is no valid UTF-8: the server
    // refuses the value, and nothing after the quote runs.
    EXPECT_FALSE(db.insertRow(Identifier("t"), "id=99,v='" + escapeString("\xbf'; drop table t; --") + "'"));
    EXPECT_TRUE(db.tableExists("t"));
    // The examples of the old escape still hold.
    EXPECT_EQ(escapeString("x'y"), "x\\'y");
    EXPECT_EQ(escapeString("\\'"), "\\\\\\'");
}

TEST_F(MySqlConnectionTest, CursorRules)
{
    ASSERT_TRUE(db.execute("create table t (id int, v text)"));
    ASSERT_TRUE(db.execute("insert into t values (1,'a'),(2,NULL),(3,'c')"));
    ASSERT_TRUE(db.execute("select id, v from t order by id"));
    auto r = db.storeResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->rowCount(), 3u);
    EXPECT_EQ(r->fieldCount(), 2u);
    std::string v;
    ASSERT_TRUE(r->readField("v", v));
    EXPECT_EQ(v, "a");
    EXPECT_FALSE(r->readField("V", v)); // names are case-sensitive
    EXPECT_FALSE(r->readField(2.0, v));
    EXPECT_FALSE(r->readField(-1.0, v));
    ASSERT_TRUE(r->seekRow(1));
    ASSERT_TRUE(r->readField("v", v));
    EXPECT_EQ(v, ""); // NULL
    EXPECT_TRUE(r->isNull(1));
    EXPECT_FALSE(r->seekRow(3)); // == rowCount: refused, cursor stays
    EXPECT_EQ(r->cursor(), 1u);
    // Walking with nextRow past the end reads the last row again.
    EXPECT_TRUE(r->nextRow());
    EXPECT_TRUE(r->nextRow());
    EXPECT_FALSE(r->nextRow());
    ASSERT_TRUE(r->readField("id", v));
    EXPECT_EQ(v, "3");
    std::string field;
    EXPECT_FALSE(r->fieldName(2, field));
    r->free();
    EXPECT_EQ(r->rowCount(), 0u);
    EXPECT_FALSE(r->readField(0.0, v));

    ASSERT_TRUE(db.execute("select id from t where id > 99"));
    auto empty = db.storeResult();
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->readField(0.0, v));
    // A statement without a result set has nothing to store.
    ASSERT_TRUE(db.execute("do 1"));
    EXPECT_EQ(db.storeResult(), nullptr);
}

TEST_F(MySqlConnectionTest, RowsLeftPendingAreOutOfSync)
{
    ASSERT_TRUE(db.execute("select 1"));
    EXPECT_FALSE(db.execute("select 2"));
    std::string message;
    ASSERT_TRUE(db.lastError(message));
    EXPECT_NE(message.find("Commands out of sync"), std::string::npos) << message;
    db.storeResult();
    EXPECT_TRUE(db.execute("do 1"));
    EXPECT_FALSE(db.lastError(message));
}

TEST_F(MySqlConnectionTest, BuildersAgainstTheServer)
{
    std::vector<std::string> sent;
    db.setStatementObserver([&](std::string_view s) { sent.emplace_back(s); });
    ColumnSpec id;
    id.name = "ID";
    id.typeCode = 8;
    id.allowNull = false;
    id.autoIncrement = true;
    ColumnSpec key;
    key.kind = 2;
    key.primaryKey = "ID";
    ColumnSpec title;
    title.name = "标题";
    title.typeCode = 25202;
    ColumnSpec nameColumn;
    nameColumn.name = "name";
    nameColumn.typeCode = 253;
    nameColumn.attributes = 1;
    nameColumn.lengthOrValues = "40";
    ASSERT_TRUE(db.createTable(Identifier("t"), {id, key, title, nameColumn}));
    EXPECT_EQ(test::lastOf(sent),
        "create table `t` (`ID` bigint  NOT NULL AUTO_INCREMENT, PRIMARY KEY  (ID) , `标题` tinytext ,`name` varchar  "
        "(40) )");
    ASSERT_TRUE(db.execute("describe t"));
    auto r = db.storeResult();
    ASSERT_EQ(r->rowCount(), 3u);
    std::string type, extra;
    r->seekRow(0);
    r->readField("Type", type);
    r->readField("Extra", extra);
    EXPECT_EQ(type, "bigint(20)");
    EXPECT_EQ(extra, "auto_increment");
    r->seekRow(2);
    r->readField("Type", type);
    EXPECT_EQ(type, "varchar(40)");

    sent.clear();
    ColumnSpec bad;
    bad.name = "x";
    bad.typeCode = 4242;
    EXPECT_FALSE(db.createTable(Identifier("u"), {bad}));
    EXPECT_TRUE(sent.empty());

    EXPECT_TRUE(db.insertRow(Identifier("t"), "标题='a'"));
    EXPECT_TRUE(db.beginTransaction());
    EXPECT_TRUE(db.deleteRows(Identifier("t"), ""));
    EXPECT_TRUE(db.rollbackTransaction());
    EXPECT_TRUE(db.dropColumn(Identifier("t"), Identifier("name")));
    EXPECT_EQ(test::lastOf(sent), "ALTER TABLE `t`  DROP `name`");
    EXPECT_TRUE(db.showTables());
    EXPECT_EQ(db.storeResult()->rowCount(), 1u);
    EXPECT_TRUE(db.dropTable(Identifier("t")));
    EXPECT_FALSE(db.tableExists("t"));
    EXPECT_TRUE(db.showDatabases());
    EXPECT_GE(db.storeResult()->rowCount(), 2u);
}

TEST_F(MySqlConnectionTest, OddStatementsAndBigValues)
{
    // A NUL ends the statement.
    ASSERT_TRUE(db.execute(std::string("select 1\0 garbage", 17)));
    EXPECT_EQ(db.storeResult()->rowCount(), 1u);
    EXPECT_FALSE(db.execute("this is not sql"));
    EXPECT_FALSE(db.selectDatabase("no_such_database_here"));
    EXPECT_TRUE(db.selectDatabase(name));

    ASSERT_TRUE(db.execute("create table big (v longtext) character set utf8mb4"));
    std::string value;
    while (value.size() < (20u << 20))
        value += "二十兆的值 ";
    ASSERT_TRUE(db.insertRow(Identifier("big"), "v='" + escapeString(value) + "'"));
    ASSERT_TRUE(db.execute("select length(v), v from big"));
    auto r = db.storeResult();
    std::string length, got;
    r->readField(0.0, length);
    r->readField(1.0, got);
    EXPECT_EQ(length, std::to_string(value.size()));
    EXPECT_EQ(got.size(), value.size());
}

TEST_F(MySqlConnectionTest, AccountsDoWhatTheyMean)
{
    const std::string user = "varnel_u" + std::to_string(::getpid());
    ASSERT_TRUE(db.execute("create table t (v int)"));
    ASSERT_TRUE(db.execute("create database if not exists `" + name + "_other`"));
    ASSERT_TRUE(db.execute("create table `" + name + "_other`.o (v int)"));

    EXPECT_FALSE(db.classicAccounts()); // MariaDB 10.11: mysql.user is a view
    ASSERT_TRUE(db.grantUser("127.0.0.1", user, "pw1", name, "", 3)) << [&] {
        std::string e;
        db.lastError(e);
        return e;
    }();
    EXPECT_FALSE(db.grantUser("127.0.0.1", user, "pw1", name, "", 3)); // exists already

    MySqlConnection as;
    const auto address = parseServerAddress(settings.server);
    ASSERT_TRUE(as.connect("127.0.0.1:" + std::to_string(address.port), user, "pw1")) << as.connectError();
    ASSERT_TRUE(as.selectDatabase(name));
    EXPECT_TRUE(as.execute("insert into t values (1)"));
    EXPECT_TRUE(as.execute("select * from t"));
    as.storeResult();
    EXPECT_FALSE(as.execute("insert into `" + name + "_other`.o values (1)"));
    EXPECT_FALSE(as.execute("delete from t"));

    // Privileges changed in place: insert only on the database, then select
    // only, each taking away what the other gives.
    ASSERT_TRUE(db.setUserPrivileges(user, "127.0.0.1", name, "", 2));
    as.disconnect();
    ASSERT_TRUE(as.connect("127.0.0.1:" + std::to_string(address.port), user, "pw1"));
    as.selectDatabase(name);
    EXPECT_FALSE(as.execute("select * from t"));
    EXPECT_TRUE(as.execute("insert into t values (3)"));
    ASSERT_TRUE(db.setUserPrivileges(user, "127.0.0.1", name, "", 1));
    as.disconnect();
    ASSERT_TRUE(as.connect("127.0.0.1:" + std::to_string(address.port), user, "pw1"));
    as.selectDatabase(name);
    EXPECT_TRUE(as.execute("select * from t"));
    as.storeResult();
    EXPECT_FALSE(as.execute("insert into t values (2)"));
    // Table level: insert on t only.
    ASSERT_TRUE(db.setUserPrivileges(user, "127.0.0.1", name, "t", 2));
    EXPECT_FALSE(db.setUserPrivileges(user, "127.0.0.1", name, "t", 0));
    as.disconnect();

    ASSERT_TRUE(db.deleteUser(user, "127.0.0.1"));
    EXPECT_FALSE(db.deleteUser(user, "127.0.0.1")); // gone
    EXPECT_FALSE(as.connect("127.0.0.1:" + std::to_string(address.port), user, "pw1"));
    // A user on "%" through the empty host.
    ASSERT_TRUE(db.grantUser("", user, "", "", "", 0));
    EXPECT_TRUE(db.deleteUser(user, ""));
    db.execute("drop database if exists `" + name + "_other`");
}

// Privileges are changed only for an account that is there: a missing one
// gets no statement beyond the check, and is not made by a GRANT.
TEST_F(MySqlConnectionTest, PrivilegesOfAMissingAccountAreRefused)
{
    const std::string user = "varnel_m" + std::to_string(::getpid());
    std::vector<std::string> sent;
    db.setStatementObserver([&](std::string_view s) { sent.emplace_back(s); });
    EXPECT_FALSE(db.setUserPrivileges(user, "127.0.0.1", name, "", sql::PrivSelect));
    EXPECT_FALSE(db.setUserPrivileges(user, "", "", "", sql::PrivSelect));
    EXPECT_FALSE(db.setUserPrivileges(user, "127.0.0.1", name, "t", sql::PrivSelect));
    db.setStatementObserver({});
    for (const std::string &s : sent)
        EXPECT_TRUE(s.starts_with("select * from mysql.user where ")) << s;
    EXPECT_EQ(test::firstColumn(db, "select count(*) from mysql.user where user='" + user + "'"),
        std::vector<std::string>{"0"});
}

// Quotes and backslashes in a user name or password are values, not SQL; a
// database name outside [A-Za-z0-9_$] is quoted in the grant's target.
TEST_F(MySqlConnectionTest, AccountsWithAwkwardNamesAndPasswords)
{
    const std::string user = "o'q\\" + std::to_string(::getpid());
    const std::string password = "p'w\\\"x";
    const std::string other = name + "-库";
    ASSERT_TRUE(db.execute("create database `" + other + "`"));
    ASSERT_TRUE(db.execute("create table `" + other + "`.o (v int)"));
    ASSERT_TRUE(db.execute("insert into `" + other + "`.o values (7)"));

    ASSERT_TRUE(db.grantUser("127.0.0.1", user, password, other, "", sql::PrivSelect)) << [&] {
        std::string e;
        db.lastError(e);
        return e;
    }();
    MySqlConnection as;
    const auto address = parseServerAddress(settings.server);
    ASSERT_TRUE(as.connect("127.0.0.1:" + std::to_string(address.port), user, password)) << as.connectError();
    ASSERT_TRUE(as.selectDatabase(other));
    EXPECT_EQ(test::firstColumn(as, "select v from o"), std::vector<std::string>{"7"});
    EXPECT_FALSE(as.execute("insert into o values (8)"));
    as.disconnect();

    ASSERT_TRUE(db.setUserPrivileges(user, "127.0.0.1", other, "", sql::PrivSelect | sql::PrivInsert));
    ASSERT_TRUE(as.connect("127.0.0.1:" + std::to_string(address.port), user, password));
    ASSERT_TRUE(as.selectDatabase(other));
    EXPECT_TRUE(as.execute("insert into o values (8)"));
    as.disconnect();

    ASSERT_TRUE(db.deleteUser(user, "127.0.0.1"));
    EXPECT_FALSE(as.connect("127.0.0.1:" + std::to_string(address.port), user, password));
    db.execute("drop database if exists `" + other + "`");
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

TEST(MySqlConnectionConnect, APortMeansTcpEvenForLocalhostAndReopenUsesTheSameLogin)
{
    const auto settings = test::sandboxSettings();
    VARNEL_REQUIRE_SANDBOX(settings);
    const std::string port = settings.server.substr(settings.server.rfind(':') + 1);
    MySqlConnection db;
    // "localhost" alone would be the local socket of some other server.
    ASSERT_TRUE(db.connect("localhost:" + port, settings.user, settings.password)) << db.connectError();
    ASSERT_TRUE(db.execute("select @@port"));
    std::string answered;
    auto r = db.storeResult();
    ASSERT_TRUE(r && r->readField(0.0, answered));
    EXPECT_EQ(answered, port);

    // A connection killed by the server is lost; reopen comes back to the
    // same server and database.
    ASSERT_TRUE(db.selectDatabase("mysql"));
    ASSERT_TRUE(db.execute("select connection_id()"));
    std::string id;
    r = db.storeResult();
    ASSERT_TRUE(r && r->readField(0.0, id));
    MySqlConnection other;
    ASSERT_TRUE(other.connect(settings.server, settings.user, settings.password));
    ASSERT_TRUE(other.execute("kill " + id));
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_TRUE(db.connectionLost());
    ASSERT_TRUE(db.reopen()) << db.connectError();
    ASSERT_TRUE(db.execute("select database()"));
    std::string database;
    r = db.storeResult();
    ASSERT_TRUE(r && r->readField(0.0, database));
    EXPECT_EQ(database, "mysql");
    EXPECT_FALSE(db.connectionLost());
}

} // namespace
} // namespace varnel
