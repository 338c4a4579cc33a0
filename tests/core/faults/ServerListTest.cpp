// A list of servers in the server field: connect takes the first that lets
// us in, and a lost connection moves on to the next one.
#include "mysql/ConnectErrors.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"
#include "support/TestSupport.h"
#include "support/ThrowawayServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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

// The session ended from outside while both servers live: the next server
// of the list takes over, not the one the connection was lost to.
TEST(ServerList, ASessionEndedFromOutsideMovesOnToTheNextServer)
{
    VARNEL_REQUIRE_MARIADB();
    ThrowawayServer first, second;
    ASSERT_EQ(first.error(), "");
    ASSERT_EQ(second.error(), "");
    MySqlConnection db;
    ASSERT_TRUE(db.connect(first.address() + "," + second.address(), "root", "")) << db.connectError();
    ASSERT_EQ(db.server(), first.address());
    MySqlConnection admin;
    ASSERT_TRUE(admin.connect(first.address(), "root", ""));
    ASSERT_TRUE(admin.execute("kill connection " + std::to_string(db.identity().id)));
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_TRUE(db.connectionLost());
    ASSERT_TRUE(db.reopen()) << db.connectError();
    EXPECT_EQ(db.server(), second.address());
    EXPECT_EQ(db.identity().server, second.address());
}

// The port of the server a connection reached; empty without one.
std::string portOf(MySqlConnection &db)
{
    std::string v;
    if (!db.isOpen() || !db.execute("select @@port"))
        return v;
    const auto rows = db.storeResult();
    if (rows && rows->rowCount() == 1) {
        rows->seekRow(0);
        rows->readField(0.0, v);
    }
    return v;
}

// A list that is not one, or an option file's socket= or protocol=, never
// takes a connection to a server that was not named.
TEST(ServerList, OnlyTheServersNamedAreConnectedTo)
{
    VARNEL_REQUIRE_MARIADB();
    ThrowawayServer named, other;
    ASSERT_EQ(named.error(), "");
    ASSERT_EQ(other.error(), "");
    test::TempDir dir;
    const auto optionFile = [&](const std::string &text) {
        ConnectOptions o;
        o.readOptionFiles = true;
        o.optionFile = dir.file("client.cnf").string();
        test::writeBytes(o.optionFile, "[client]\n" + text);
        return o;
    };
    const std::string namedPort = std::to_string(named.port()), otherPort = std::to_string(other.port());
    const std::string toOther = "socket=" + other.socket().string() + "\n";

    // Typos of a list: refused, naming the text, and nothing connected,
    // not even the socket the option file names.
    MySqlConnection db;
    db.setConnectOptions(optionFile(toOther));
    const std::string semicolon = named.address() + ";" + other.address();
    for (const std::string &field : {semicolon, std::string(",,,"), named.address() + ",", "," + named.address()}) {
        EXPECT_FALSE(db.connect(field, "root", "")) << field;
        EXPECT_EQ(db.connectError(), "服务器地址无效：" + field);
        EXPECT_EQ(db.connectErrorNumber(), 0u);
        EXPECT_FALSE(db.isOpen()) << field;
    }

    // A host with or without a port is reached over TCP, whatever socket
    // the option file names.
    ASSERT_TRUE(db.connect(named.address(), "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), namedPort);
    db.setConnectOptions(optionFile(toOther + "port=" + namedPort + "\n"));
    ASSERT_TRUE(db.connect("127.0.0.1", "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), namedPort);
    // So is localhost with a port; localhost alone is the local socket,
    // the option file's.
    ASSERT_TRUE(db.connect("localhost:" + namedPort, "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), namedPort);
    ASSERT_TRUE(db.connect("localhost", "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), otherPort);
    // An empty field leaves the server to the option file.
    db.setConnectOptions(optionFile("host=127.0.0.1\nport=" + namedPort + "\n"));
    ASSERT_TRUE(db.connect("", "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), namedPort);

    // Nor does its protocol=.
    db.setConnectOptions(optionFile(toOther + "protocol=socket\n"));
    ASSERT_TRUE(db.connect(named.address(), "root", "")) << db.connectError();
    EXPECT_EQ(portOf(db), namedPort);
    // A list reopened after a loss keeps to its servers as well.
    db.setConnectOptions(optionFile(toOther));
    ASSERT_TRUE(db.connect(named.address(), "root", "")) << db.connectError();
    named.kill();
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_FALSE(db.reopen());
    EXPECT_FALSE(db.isOpen());
}

TEST(ServerList, OneServerFailsWithItsReasonAlone)
{
    MySqlConnection db;
    EXPECT_FALSE(db.connect(kNobody, "root", ""));
    // The library's text tells EINPROGRESS; the reason is the refusal.
    EXPECT_EQ(
        db.connectError(), "无法连接到服务器 127.0.0.1:1（拒绝连接）（Can't connect to server on '127.0.0.1' (115)）");
    EXPECT_EQ(db.connectErrorNumber(), 2002u);
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
    EXPECT_TRUE(isTlsRefusal(db.connectErrorNumber())) << db.connectErrorNumber();
    EXPECT_FALSE(db.isOpen());
    // No encryption asked for, though a CA is given (which such a mode
    // does not use): no option file is read, none is blamed.
    options.sslMode = SslMode::Disabled;
    options.sslCa = "/nonexistent/ca.pem";
    db.setConnectOptions(options);
    ASSERT_TRUE(db.connect(plain.address(), "root", "")) << db.connectError();
    EXPECT_EQ(db.sslCipher(), "");
}

// A server with the sandbox's certificate, made out to 127.0.0.1 and
// localhost, reached also as 127.0.0.2: the CA checks out there, the name
// does not. An option file may not undo what the mode asks for.
TEST(ServerList, HostNamesAndOptionFilesUnderVerifyingModes)
{
    VARNEL_REQUIRE_MARIADB();
    const char *caEnv = std::getenv("VARNEL_DB_SSL_CA");
    const char *otherEnv = std::getenv("VARNEL_DB_SSL_OTHER_CA");
    if (!caEnv || !otherEnv) {
        if (test::inCi())
            FAIL() << "no TLS files of the sandbox";
        GTEST_SKIP() << "no TLS files of the sandbox (eval \"$(scripts/mysql-sandbox env)\")";
    }
    const std::filesystem::path ca = caEnv, folder = ca.parent_path();
    ThrowawayServer server("--ssl-ca=" + ca.string() + " --ssl-cert=" + (folder / "server-cert.pem").string()
        + " --ssl-key=" + (folder / "server-key.pem").string() + " --bind-address=127.0.0.1,127.0.0.2");
    ASSERT_EQ(server.error(), "");
    const std::string named = server.address(), unnamed = "127.0.0.2:" + std::to_string(server.port());
    auto connect = [](const std::string &address, ConnectOptions options, std::string &error) {
        MySqlConnection db;
        db.setConnectOptions(std::move(options));
        const bool ok = db.connect(address, "root", "");
        error = db.connectError();
        return ok && !db.sslCipher().empty();
    };
    ConnectOptions verify;
    verify.sslMode = SslMode::VerifyCa;
    verify.sslCa = ca.string();
    std::string error;
    EXPECT_TRUE(connect(unnamed, verify, error)) << error;
    verify.sslMode = SslMode::VerifyIdentity;
    EXPECT_TRUE(connect(named, verify, error)) << error;
    EXPECT_FALSE(connect(unnamed, verify, error));
    EXPECT_TRUE(error.starts_with("加密连接失败（")) << error;
    EXPECT_NE(error.find("主机名"), std::string::npos) << error;

    test::TempDir dir;
    const auto options = [&](const std::string &text) {
        ConnectOptions o = verify;
        o.readOptionFiles = true;
        o.optionFile = dir.file("client.cnf").string();
        test::writeBytes(o.optionFile, "[client]\n" + text);
        return o;
    };
    // The file turns the name check off: refused all the same.
    EXPECT_FALSE(connect(unnamed, options("ssl-verify-server-cert=0\n"), error));
    EXPECT_NE(error.find("ssl-verify-server-cert"), std::string::npos) << error;
    // The file names another CA than the one given: the one given counts.
    ConnectOptions other = options("ssl-ca=" + ca.string() + "\n");
    other.sslCa = otherEnv;
    EXPECT_FALSE(connect(named, other, error));
    EXPECT_NE(error.find("ssl-ca"), std::string::npos) << error;
    // Settings of the file that agree, or that the mode leaves open, stay.
    EXPECT_TRUE(connect(named, options("ssl-ca=" + ca.string() + "\nconnect-timeout=3\n"), error)) << error;
    // Without encryption asked for, the file may not turn it on; the CA
    // given, which that mode does not use, is no change of the file's.
    ConnectOptions plain = options("connect-timeout=3\n");
    plain.sslMode = SslMode::Disabled;
    MySqlConnection db;
    db.setConnectOptions(plain);
    ASSERT_TRUE(db.connect(named, "root", "")) << db.connectError();
    EXPECT_EQ(db.sslCipher(), "");
    plain = options("ssl\nssl-ca=" + ca.string() + "\n");
    plain.sslMode = SslMode::Disabled;
    db.setConnectOptions(plain);
    EXPECT_FALSE(db.connect(named, "root", ""));
    EXPECT_EQ(db.connectError(), "客户端选项文件改变了加密设置（ssl），与所要求的不符；请修改选项文件或不读取它");
    EXPECT_TRUE(isTlsRefusal(db.connectErrorNumber()));
}

} // namespace
} // namespace varnel
