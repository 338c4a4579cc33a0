// The reasons a connect and a reconnect fail for, as a server gives them, in
// Chinese with the library's text kept.
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::ThrowawayServer;

class ConnectReasons : public ::testing::Test {
protected:
    void SetUp() override
    {
        VARNEL_REQUIRE_MARIADB();
        ASSERT_EQ(server.error(), "");
        ASSERT_TRUE(root.connect(server.address(), "root", "")) << root.connectError();
        ASSERT_TRUE(root.execute("create database d"));
        ASSERT_TRUE(root.execute("create user u@localhost identified by 'pw'"));
        ASSERT_TRUE(root.execute("grant all on *.* to u@localhost"));
    }
    // Ends the session of `db` from outside: its next statement finds it lost.
    void endSession(MySqlConnection &db)
    {
        ASSERT_TRUE(root.execute("kill connection " + std::to_string(db.threadId())));
        EXPECT_FALSE(db.execute("select 1"));
        EXPECT_TRUE(db.connectionLost());
    }

    ThrowawayServer server;
    MySqlConnection root;
};

TEST_F(ConnectReasons, ALoginTheServerRefuses)
{
    MySqlConnection db;
    EXPECT_FALSE(db.connect(server.address(), "u", "wrong"));
    EXPECT_EQ(db.connectError(), "用户名或密码不对（Access denied for user 'u'@'localhost' (using password: YES)）");
    EXPECT_EQ(db.connectErrorNumber(), 1045u);

    // The local socket an option file names, which is not there.
    test::TempDir dir;
    ConnectOptions options;
    options.readOptionFiles = true;
    options.optionFile = dir.file("client.cnf").string();
    const std::string socket = dir.file("no.sock").string();
    test::writeBytes(options.optionFile, "[client]\nsocket=" + socket + "\n");
    db.setConnectOptions(options);
    EXPECT_FALSE(db.connect("", "u", "pw"));
    EXPECT_EQ(db.connectError(),
        "无法通过套接字 " + socket
            + " 连接到本机的 MySQL 服务器（没有那个文件或目录）（Can't connect to local server through socket '"
            + socket + "' (2)）");
    EXPECT_EQ(db.connectErrorNumber(), 2002u);
}

TEST_F(ConnectReasons, AReconnectToALockedAccountOrAGoneDatabase)
{
    MySqlConnection db;
    ASSERT_TRUE(db.connect(server.address(), "u", "pw")) << db.connectError();
    ASSERT_TRUE(db.selectDatabase("d"));
    ASSERT_TRUE(root.execute("alter user u@localhost account lock"));
    endSession(db);
    EXPECT_FALSE(db.reopen());
    EXPECT_EQ(db.connectError(), "此帐号已被锁定（Access denied, this account is locked）");
    EXPECT_EQ(db.connectErrorNumber(), 4151u);

    // Unlocked, but its database is gone meanwhile.
    ASSERT_TRUE(root.execute("alter user u@localhost account unlock"));
    ASSERT_TRUE(db.reopen()) << db.connectError();
    ASSERT_TRUE(root.execute("drop database d"));
    endSession(db);
    EXPECT_FALSE(db.reopen());
    // The session asked for the server's messages in Chinese.
    EXPECT_TRUE(db.connectError().starts_with("数据库不存在（")) << db.connectError();
    EXPECT_TRUE(db.connectError().ends_with("'d'）")) << db.connectError();
    EXPECT_EQ(db.connectErrorNumber(), 1049u);
}

} // namespace
} // namespace varnel
