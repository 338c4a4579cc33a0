// Changing an account's privileges on the sandbox server: nothing is taken
// away before the new privileges are known to be given.
#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnel {
namespace {

class AccountPrivilegesTest : public test::SandboxDatabase {
protected:
    void SetUp() override
    {
        SandboxDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        static int counter = 0;
        user = "varnel_p" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        account = "'" + user + "'@'127.0.0.1'";
        ASSERT_TRUE(db.execute("create table t (v int)"));
        ASSERT_TRUE(db.execute("CREATE USER " + account));
    }
    void TearDown() override
    {
        if (!user.empty())
            db.execute("DROP USER IF EXISTS " + account);
        SandboxDatabase::TearDown();
    }

    // SHOW GRANTS of the account, sorted.
    std::vector<std::string> grants()
    {
        auto lines = column("SHOW GRANTS FOR " + account);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    // A line of SHOW GRANTS; the target "db", "table" or "*.*".
    std::string grantLine(const std::string &privileges, const std::string &target)
    {
        const std::string on = target == "db" ? "`" + name + "`.*" : target == "table" ? "`" + name + "`.`t`" : target;
        return "GRANT " + privileges + " ON " + on + " TO `" + user + "`@`127.0.0.1`";
    }
    // setUserPrivileges on the account, with every statement it sent.
    struct Outcome {
        bool ok = false;
        std::vector<std::string> sent;
        // The first word of each statement that changes privileges.
        std::vector<std::string> changes() const
        {
            std::vector<std::string> out;
            for (const std::string &s : sent) {
                if (s.starts_with("GRANT ") || s.starts_with("REVOKE "))
                    out.push_back(s.substr(0, s.find(' ')));
            }
            return out;
        }
    };
    Outcome setPrivileges(const std::string &database, const std::string &table, int mask)
    {
        Outcome o;
        db.setStatementObserver([&](std::string_view s) { o.sent.emplace_back(s); });
        o.ok = db.setUserPrivileges(user, "127.0.0.1", database, table, mask);
        db.setStatementObserver({});
        return o;
    }

    std::string user, account;
};

// Reload, shutdown, process and file exist only globally, ALL PRIVILEGES and
// unknown bits nowhere here: such a mask is refused before any statement, and
// the account keeps what it had.
TEST_F(AccountPrivilegesTest, AMaskTheLevelCannotHoldIsRefusedAndChangesNothing)
{
    ASSERT_TRUE(db.execute("GRANT SELECT ON *.* TO " + account));
    ASSERT_TRUE(db.execute("GRANT SELECT, INSERT ON `" + name + "`.* TO " + account));
    ASSERT_TRUE(db.execute("GRANT SELECT, INSERT ON `" + name + "`.t TO " + account));
    const auto before = grants();
    ASSERT_EQ(before.size(), 3u);

    struct Case {
        std::string database, table;
        int mask;
    };
    const Case cases[] = {
        {name, "t", sql::PrivSelect | sql::PrivReload},
        {name, "t", sql::PrivShutdown},
        {name, "t", sql::PrivProcess | sql::PrivUpdate},
        {name, "t", sql::PrivFile},
        {name, "t", sql::PrivAll},
        {name, "", sql::PrivInsert | sql::PrivProcess},
        {name, "*", sql::PrivFile},
        {name, "", sql::PrivAll},
        {"", "", sql::PrivAll},
        {"*", "", sql::PrivAll | sql::PrivSelect},
        {"", "", sql::PrivSelect | 16384},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.database + "." + c.table + " mask " + std::to_string(c.mask));
        const Outcome o = setPrivileges(c.database, c.table, c.mask);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.sent, std::vector<std::string>{});
        EXPECT_EQ(grants(), before);
    }
}

// Per table the privileges are replaced as a whole, granted before the old
// ones are revoked: a GRANT the server refuses (here: the table is gone)
// leaves the account as it was.
TEST_F(AccountPrivilegesTest, ATableChangeEndsWithTheNewSetAndARefusedOneTakesNothing)
{
    ASSERT_TRUE(db.execute("GRANT SELECT, INSERT, SHOW VIEW, TRIGGER ON `" + name + "`.t TO " + account));
    const Outcome o = setPrivileges(name, "t", sql::PrivUpdate | sql::PrivDelete);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.changes(), (std::vector<std::string>{"GRANT", "REVOKE"}));
    const std::vector<std::string> changed = {grantLine("UPDATE, DELETE", "table"), grantLine("USAGE", "*.*")};
    EXPECT_EQ(grants(), changed);

    // The same set again changes nothing.
    ASSERT_TRUE(setPrivileges(name, "t", sql::PrivUpdate | sql::PrivDelete).ok);
    EXPECT_EQ(grants(), changed);

    ASSERT_TRUE(db.execute("drop table t"));
    EXPECT_FALSE(setPrivileges(name, "t", sql::PrivSelect).ok);
    EXPECT_EQ(grants(), changed);
}

// Globally and per database the nine privileges with a mask bit are set
// exactly, the new ones granted first; others are left alone.
TEST_F(AccountPrivilegesTest, DatabaseAndGlobalChangesGrantFirstAndSetTheNineExactly)
{
    ASSERT_TRUE(db.execute("GRANT SELECT, INSERT, TRIGGER ON `" + name + "`.* TO " + account));
    for (const Outcome &o : {setPrivileges(name, "", sql::PrivInsert | sql::PrivUpdate),
             setPrivileges("", "", sql::PrivSelect | sql::PrivDrop)}) {
        EXPECT_TRUE(o.ok);
        EXPECT_EQ(o.changes(), (std::vector<std::string>{"GRANT", "REVOKE"}));
    }
    EXPECT_EQ(grants(),
        (std::vector<std::string>{grantLine("INSERT, UPDATE, TRIGGER", "db"), grantLine("SELECT, DROP", "*.*")}));

    // None of the nine: everything of theirs revoked, the rest kept.
    EXPECT_TRUE(setPrivileges(name, "", 0).ok);
    EXPECT_TRUE(setPrivileges("", "", 0).ok);
    EXPECT_EQ(grants(), (std::vector<std::string>{grantLine("TRIGGER", "db"), grantLine("USAGE", "*.*")}));
}

} // namespace
} // namespace varnel
