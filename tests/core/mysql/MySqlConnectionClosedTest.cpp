// A connection that was never opened: no server is needed to see that it
// refuses everything and sends nothing.
#include "mysql/MySqlConnection.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(MySqlConnectionClosed, EveryOperationFailsAndSendsNothing)
{
    MySqlConnection db;
    int sent = 0;
    db.setStatementObserver([&](std::string_view) { ++sent; });
    std::string text;
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(db.execute("select 1"));
    EXPECT_EQ(db.storeResult(), nullptr);
    EXPECT_FALSE(db.selectDatabase("mysql"));
    EXPECT_FALSE(db.lastError(text));
    EXPECT_FALSE(db.createDatabase(Identifier("d")));
    EXPECT_FALSE(db.dropDatabase(Identifier("d")));
    EXPECT_FALSE(db.showDatabases());
    EXPECT_FALSE(db.showTables());
    EXPECT_FALSE(db.tableExists("t"));
    EXPECT_FALSE(db.createTable(Identifier("t"), {}));
    EXPECT_FALSE(db.dropColumn(Identifier("t"), Identifier("c")));
    EXPECT_FALSE(db.dropTable(Identifier("t")));
    EXPECT_FALSE(db.insertRow(Identifier("t"), "a=1"));
    EXPECT_FALSE(db.deleteRows(Identifier("t"), ""));
    EXPECT_FALSE(db.beginTransaction());
    EXPECT_FALSE(db.commitTransaction());
    EXPECT_FALSE(db.rollbackTransaction());
    EXPECT_FALSE(db.selectUsers());
    EXPECT_FALSE(db.grantUser("", "u", "", "", "", 1));
    EXPECT_FALSE(db.deleteUser("u", ""));
    EXPECT_FALSE(db.setUserPrivileges("u", "", "", "", 1));
    EXPECT_EQ(sent, 0);
    // Escaping still works without a connection.
    EXPECT_EQ(escapeString("x'y\\"), "x\\'y\\\\");
}

} // namespace
} // namespace varnel
