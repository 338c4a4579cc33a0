// Test databases are named by testDatabaseName(): short and unique, so that a
// long test name, a seven-digit pid and a suffix a test adds stay within the
// server's 64 characters.
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace varnel {
namespace {

TEST(TestDatabaseName, ShortUniqueAndPlain)
{
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i) {
        const std::string name = test::testDatabaseName();
        EXPECT_LE(name.size(), test::kTestDatabaseNameMax) << name;
        EXPECT_TRUE(name.starts_with("vt" + std::to_string(::getpid()) + "_")) << name;
        for (char c : name)
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '_') << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 100u);
}

TEST(TestDatabaseName, ThePidIsReadBackOnlyFromNamesTheTestsMake)
{
    EXPECT_EQ(test::testDatabasePid(test::testDatabaseName()), ::getpid());
    EXPECT_EQ(test::testDatabasePid("vt12_3_0a0b0c0d_other"), 12);
    EXPECT_EQ(test::testDatabasePid("vt999999999_1_"), 999999999);
    for (const char *other : {"vt_1_2", "vt12_x_3", "vt12__3", "vt12_3", "vtx12_3_4", "xvt12_3_4", "VT12_3_4", "vt",
             "vt1234567890_1_2", "varnel_bench", "mysql"})
        EXPECT_EQ(test::testDatabasePid(other), std::nullopt) << other;
}

class SandboxNaming : public test::SandboxDatabase {
protected:
    bool exists(const std::string &database)
    {
        MySqlConnection fresh;
        EXPECT_TRUE(fresh.connect(settings.server, settings.user, settings.password));
        const auto names = test::databaseNames(fresh);
        return names && std::find(names->begin(), names->end(), database) != names->end();
    }
};

// What a killed run left behind goes; what a living process or anyone else
// made stays.
TEST_F(SandboxNaming, StaleDatabasesOfGoneProcessesAreDroppedAndNothingElse)
{
    // Unique to this process, as the tests' own names are.
    const std::string own = std::to_string(::getpid()) + "_" + name.substr(name.rfind('_') + 1);
    const std::string gone = "vt999999999_" + own; // beyond any pid_max
    const std::string living = "vt" + std::to_string(::getppid()) + "_" + own;
    const std::vector<std::string> stale = {gone, gone + "_o"};
    const std::vector<std::string> kept = {
        name, living, "vt999999999_x" + own, "vt999999999_1-" + own, "vt_999999999_" + own, "xvt999999999_" + own};
    struct Cleanup {
        MySqlConnection &db;
        std::vector<std::string> names;
        ~Cleanup()
        {
            for (const std::string &n : names)
                db.execute("drop database if exists " + quoteIdentifier(n));
        }
    } cleanup{db, {kept.begin() + 1, kept.end()}};
    for (const auto *list : {&stale, &kept}) {
        for (const std::string &n : *list)
            ASSERT_TRUE(db.execute("create database if not exists " + quoteIdentifier(n))) << n;
    }

    const std::vector<std::string> dropped = test::dropStaleTestDatabases(db);
    for (const std::string &n : stale)
        EXPECT_FALSE(exists(n)) << n;
    for (const std::string &n : kept) {
        EXPECT_TRUE(exists(n)) << n;
        EXPECT_EQ(std::count(dropped.begin(), dropped.end(), n), 0) << n;
    }
}

// A test whose connection was killed still leaves no database behind.
TEST_F(SandboxNaming, ATestsDatabasesAreDroppedAfterItsConnectionWasKilled)
{
    ASSERT_TRUE(db.execute("create database " + quoteIdentifier(name + "_k")));
    ASSERT_TRUE(db.execute("create table " + quoteIdentifier(name + "_k") + ".t (v int)"));
    ASSERT_TRUE(db.execute("create table t (v int)"));
    const std::vector<std::string> id = column("select connection_id()");
    ASSERT_EQ(id.size(), 1u);
    MySqlConnection other;
    ASSERT_TRUE(other.connect(settings.server, settings.user, settings.password));
    ASSERT_TRUE(other.execute("kill " + id[0]));
    EXPECT_FALSE(db.execute("select 1"));

    EXPECT_TRUE(test::dropTestDatabases(db, settings.server, settings.user, settings.password, name));
    EXPECT_FALSE(exists(name));
    EXPECT_FALSE(exists(name + "_k"));
}

TEST_F(SandboxNaming, ALongTestNameGivesADatabaseNameWithinTheServersLimitEvenWithAPidOfSevenDigitsAndASuffix)
{
    EXPECT_LE(name.size(), test::kTestDatabaseNameMax);
    EXPECT_EQ(column("select database()"), std::vector<std::string>{name});
    // Room for a suffix of the test's own: up to 64 characters in all.
    const std::string other = name + "_" + std::string(63 - name.size(), 'x');
    ASSERT_EQ(other.size(), 64u);
    EXPECT_TRUE(db.execute("create database `" + other + "`"));
    EXPECT_TRUE(db.execute("drop database `" + other + "`"));
    EXPECT_FALSE(db.execute("create database `" + other + "x`")); // 65: refused
}

} // namespace
} // namespace varnel
