#pragma once

#include "mysql/MySqlConnection.h"
#include "mysql/Quoting.h"
#include "support/TestDatabases.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::test {

// Connection settings of the sandbox server, from scripts/mysql-sandbox env.
struct SandboxSettings {
    std::string server; // host:port
    std::string user;
    std::string password;
    bool available = false;
};

inline SandboxSettings sandboxSettings()
{
    auto env = [](const char *name) {
        const char *v = std::getenv(name);
        return std::string(v ? v : "");
    };
    SandboxSettings s;
    const std::string host = env("VARNEL_DB_HOST");
    s.available = !host.empty();
    s.server = host + ":" + (env("VARNEL_DB_PORT").empty() ? std::string("3406") : env("VARNEL_DB_PORT"));
    s.user = env("VARNEL_DB_USER").empty() ? "root" : env("VARNEL_DB_USER");
    s.password = env("VARNEL_DB_PASSWORD");
    return s;
}

inline bool inCi()
{
    const char *ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Skips a database test outside CI when no sandbox is configured; in CI a
// missing server is a failure.
#define VARNEL_REQUIRE_SANDBOX(settings)                                                                               \
    do {                                                                                                               \
        if (!(settings).available) {                                                                                   \
            if (::varnel::test::inCi())                                                                                \
                FAIL() << "no sandbox database: run the tests through scripts/test";                                   \
            GTEST_SKIP() << "no sandbox database; run through scripts/test";                                           \
        }                                                                                                              \
    } while (0)

// The name of a test database: "vt" + pid + "_" + a counter of the process +
// "_" + a hash of the running test's full name, so names are unique on one
// server however many test processes run, and stay short whatever the test is
// called. At most kTestDatabaseNameMax characters, which leaves a test room
// for suffixes of its own ("_other", "_new") within the server's 64.
inline constexpr std::size_t kTestDatabaseNameMax = 32;

inline std::string testDatabaseName()
{
    static unsigned counter = 0;
    std::string full = "-";
    if (const auto *info = ::testing::UnitTest::GetInstance()->current_test_info())
        full = std::string(info->test_suite_name()) + "." + info->name();
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (unsigned char c : full)
        hash = (hash ^ c) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash));
    return "vt" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_" + hex;
}

// The first column of every row of a query; a failing query fails the test.
inline std::vector<std::string> firstColumn(MySqlConnection &db, const std::string &sql)
{
    std::vector<std::string> out;
    EXPECT_TRUE(db.execute(sql)) << sql;
    auto r = db.storeResult();
    for (std::uint64_t i = 0; r && i < r->rowCount(); ++i) {
        r->seekRow(i);
        std::string v;
        r->readField(0.0, v);
        out.push_back(v);
    }
    return out;
}

// A test database of its own, dropped afterwards.
class SandboxDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = sandboxSettings();
        VARNEL_REQUIRE_SANDBOX(settings);
        ASSERT_TRUE(db.connect(settings.server, settings.user, settings.password)) << db.connectError();
        name = testDatabaseName();
        db.execute("drop database if exists `" + name + "`");
        ASSERT_TRUE(db.execute("create database `" + name + "` character set utf8mb4"));
        ASSERT_TRUE(db.selectDatabase(name));
    }
    void TearDown() override
    {
        // A test's statement observer may hold references to the test body's
        // locals, which are gone by now; the fixture's own statements are
        // not the test's to observe.
        db.setStatementObserver({});
        if (!name.empty()) {
            EXPECT_TRUE(dropTestDatabases(db, settings.server, settings.user, settings.password, name))
                << "test database " << name << " left behind";
        }
    }

    // The first column of every row of a query.
    std::vector<std::string> column(const std::string &sql) { return firstColumn(db, sql); }

    SandboxSettings settings;
    MySqlConnection db;
    std::string name;
};

} // namespace varnel::test
