// Test databases are named by testDatabaseName(): short and unique, so that a
// long test name, a seven-digit pid and a suffix a test adds stay within the
// server's 64 characters.
#include "support/Sandbox.h"

#include <gtest/gtest.h>

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

class SandboxNaming : public test::SandboxDatabase { };

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
