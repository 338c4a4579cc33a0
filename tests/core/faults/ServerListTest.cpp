// A list of servers in the server field: connect takes the first that lets
// us in, and a lost connection moves on to the next one.
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::ThrowawayServer;

// Nothing listens there.
constexpr const char *kNobody = "127.0.0.1:1";

TEST(ServerList, ConnectTakesTheFirstThatAnswersAndALossMovesOn)
{
    VARNEL_REQUIRE_MARIADB();
    ThrowawayServer first, second;
    ASSERT_EQ(first.error(), "");
    ASSERT_EQ(second.error(), "");
    for (ThrowawayServer *server : {&first, &second}) {
        MySqlConnection setup;
        ASSERT_TRUE(setup.connect(server->address(), "root", "")) << setup.connectError();
        ASSERT_TRUE(setup.execute("create database d"));
        ASSERT_TRUE(setup.execute("create table d.which (port int)"));
        ASSERT_TRUE(setup.execute("insert into d.which values (" + std::to_string(server->port()) + ")"));
    }
    auto port = [](MySqlConnection &db) {
        EXPECT_TRUE(db.execute("select port from which"));
        const auto rows = db.storeResult();
        std::string v;
        if (rows && rows->rowCount() == 1) {
            rows->seekRow(0);
            rows->readField(0.0, v);
        }
        return v;
    };

    MySqlConnection db;
    const std::string list = std::string(kNobody) + ", " + first.address() + "," + second.address();
    ASSERT_TRUE(db.connect(list, "root", "")) << db.connectError();
    EXPECT_EQ(db.server(), first.address());
    EXPECT_FALSE(db.clusterNode());
    ASSERT_TRUE(db.selectDatabase("d"));
    EXPECT_EQ(port(db), std::to_string(first.port()));

    // The server in use dies: the next one of the list takes over, on the
    // same database.
    first.kill();
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_TRUE(db.connectionLost());
    ASSERT_TRUE(db.reopen()) << db.connectError();
    EXPECT_EQ(db.server(), second.address());
    EXPECT_EQ(port(db), std::to_string(second.port()));

    // From the last one the list starts again from its beginning, the one
    // lost last.
    ASSERT_TRUE(first.start());
    second.kill();
    EXPECT_FALSE(db.execute("select 1"));
    ASSERT_TRUE(db.reopen()) << db.connectError();
    EXPECT_EQ(db.server(), first.address());
    EXPECT_EQ(port(db), std::to_string(first.port()));

    // None answers: each one's reason is told, and a later reopen still
    // knows the list.
    first.kill();
    EXPECT_FALSE(db.reopen());
    EXPECT_NE(db.connectError().find(std::string(kNobody) + "："), std::string::npos) << db.connectError();
    EXPECT_NE(db.connectError().find(first.address() + "："), std::string::npos) << db.connectError();
    EXPECT_NE(db.connectError().find(second.address() + "："), std::string::npos) << db.connectError();
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(db.reopen()) << db.connectError();
    EXPECT_EQ(db.server(), second.address());
}

TEST(ServerList, OneServerFailsWithTheLibrarysReasonAlone)
{
    MySqlConnection db;
    EXPECT_FALSE(db.connect(kNobody, "root", ""));
    EXPECT_EQ(db.connectError().find(kNobody), std::string::npos) << db.connectError();
    EXPECT_FALSE(db.connectError().empty());
}

// A server that offers no encryption: PREFERRED goes on without it, a mode
// that requires it refuses the connection.
TEST(ServerList, EncryptionRequiredOfAServerWithoutIt)
{
    VARNEL_REQUIRE_MARIADB();
    ThrowawayServer plain;
    ASSERT_EQ(plain.error(), "");
    MySqlConnection db;
    ConnectOptions options;
    options.sslMode = SslMode::Preferred;
    db.setConnectOptions(options);
    ASSERT_TRUE(db.connect(plain.address(), "root", "")) << db.connectError();
    EXPECT_EQ(db.sslCipher(), "");
    options.sslMode = SslMode::Required;
    db.setConnectOptions(options);
    EXPECT_FALSE(db.connect(plain.address(), "root", ""));
    EXPECT_EQ(db.connectError(), "服务器没有提供加密连接（SSL 模式 REQUIRED 要求加密）");
    EXPECT_FALSE(db.isOpen());
}

} // namespace
} // namespace varnel
