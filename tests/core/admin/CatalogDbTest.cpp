// The services the windows call instead of sending statements: the catalog of
// databases and tables, the viewer's rows and their deletion, statements as
// typed, and the account list.
#include "admin/DatabaseCatalog.h"
#include "admin/QueryRows.h"
#include "admin/RowDeletion.h"
#include "mysql/Accounts.h"
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnel {
namespace {

using Names = std::vector<std::string>;

class CatalogTest : public test::SandboxDatabase {
protected:
    DatabaseCatalog catalog{db};
};

TEST_F(CatalogTest, EachTableCallActsOnTheDatabaseItNames)
{
    const std::string other = name + "_other";
    ASSERT_TRUE(catalog.createDatabase(other));
    EXPECT_EQ(column("select default_character_set_name from information_schema.schemata where schema_name = '" + other
                  + "'"),
        Names{"utf8mb4"});
    ASSERT_TRUE(db.execute("create table " + name + ".t (id int primary key)"));
    ASSERT_TRUE(db.execute("insert into " + name + ".t values (1), (2), (3)"));
    ASSERT_TRUE(db.execute("create table `" + other + "`.t (id int primary key)"));

    // Another window made the other database current meanwhile.
    ASSERT_TRUE(db.selectDatabase(other));
    EXPECT_EQ(catalog.countRows(name, "t"), std::optional<std::string>("3"));
    ASSERT_TRUE(catalog.renameTable(name, "t", "renamed"));
    EXPECT_EQ(catalog.tables(name), std::optional<Names>(Names{"renamed"}));
    EXPECT_EQ(catalog.tables(other), std::optional<Names>(Names{"t"}));

    ASSERT_TRUE(db.selectDatabase(other));
    ASSERT_TRUE(catalog.emptyTable(name, "renamed"));
    EXPECT_EQ(catalog.countRows(name, "renamed"), std::optional<std::string>("0"));
    ASSERT_TRUE(db.selectDatabase(other));
    ASSERT_TRUE(catalog.dropTable(name, "renamed"));
    EXPECT_EQ(catalog.tables(name), std::optional<Names>(Names{}));
    EXPECT_EQ(catalog.tables(other), std::optional<Names>(Names{"t"}));

    const auto databases = catalog.databases();
    ASSERT_TRUE(databases);
    EXPECT_NE(std::find(databases->begin(), databases->end(), other), databases->end());
    ASSERT_TRUE(catalog.dropDatabase(other));
    const auto after = catalog.databases();
    ASSERT_TRUE(after);
    EXPECT_EQ(std::count(after->begin(), after->end(), other), 0);
}

TEST_F(CatalogTest, FailuresListNothingAndSayWhy)
{
    ASSERT_TRUE(db.execute("create table t (id int)"));
    // A database that cannot be selected never lists the tables of the one
    // that was current.
    EXPECT_FALSE(catalog.tables(name + "_missing"));
    EXPECT_FALSE(catalog.tables(""));
    EXPECT_FALSE(catalog.countRows(name, "missing"));
    EXPECT_NE(catalog.failure().find("1146"), std::string::npos) << catalog.failure();
    EXPECT_FALSE(catalog.renameTable(name, "missing", "other"));
    EXPECT_FALSE(catalog.dropTable("", "t"));
    EXPECT_FALSE(catalog.createDatabase(name)); // exists
    EXPECT_NE(catalog.failure().find("1007"), std::string::npos) << catalog.failure();
    int pumped = 0;
    EXPECT_EQ(catalog.tables(name, [&pumped] { ++pumped; }), std::optional<Names>(Names{"t"}));
    EXPECT_EQ(pumped, 1);
}

TEST_F(CatalogTest, StatementsAsTyped)
{
    const StatementRun created = runStatement(db, "create table t (id int primary key, title varchar(20))");
    EXPECT_TRUE(created.ok);
    EXPECT_FALSE(created.rows);
    ASSERT_TRUE(runStatement(db, "insert into t values (1, '甲'), (2, NULL)").ok);
    const StatementRun selected = runStatement(db, "select * from t order by id");
    ASSERT_TRUE(selected.ok && selected.rows);
    EXPECT_EQ(selected.rows->rowCount(), 2u);
    EXPECT_EQ(selected.rows->columns()[1].name, "title");
    EXPECT_EQ(selected.rows->cell(0, 1), "甲");
    EXPECT_TRUE(selected.rows->cellIsNull(1, 1));
    const StatementRun failed = runStatement(db, "select * from missing");
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.failure.find("1146"), std::string::npos) << failed.failure;
}

TEST_F(CatalogTest, ViewerRowsAreDeletedOneAtATimeOrNotAtAll)
{
    ASSERT_TRUE(db.execute("create table t (title varchar(20), body text)"));
    ASSERT_TRUE(db.execute("insert into t values ('a', 'x'), ('a', 'x'), ('b', 'y')"));
    const std::string other = name + "_other";
    ASSERT_TRUE(db.execute("create database `" + other + "`"));

    ASSERT_TRUE(db.selectDatabase(other));
    const auto fields = readTableView(db, name, "t", TableView::Fields);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->rowCount(), 2u);
    EXPECT_EQ(fields->cell(1, 0), "body");
    const auto rows = readTableView(db, name, "t", TableView::Records);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->rowCount(), 3u);
    EXPECT_FALSE(readTableView(db, name, "missing", TableView::Records));

    // Two equal rows without a key: one goes, the other stays.
    ASSERT_TRUE(db.selectDatabase(other));
    EXPECT_TRUE(deleteShownRow(db, name, "t", *rows, 0));
    EXPECT_EQ(column("select count(*) from `" + name + "`.t"), Names{"2"});
    // Another client changed the row the list shows: nothing is deleted.
    ASSERT_TRUE(db.execute("update `" + name + "`.t set body = 'z' where title = 'b'"));
    EXPECT_FALSE(deleteShownRow(db, name, "t", *rows, 2));
    EXPECT_EQ(column("select count(*) from `" + name + "`.t"), Names{"2"});

    EXPECT_TRUE(dropShownField(db, name, "t", fields->cell(1, 0)));
    EXPECT_EQ(column("select count(*) from information_schema.columns where table_schema = '" + name
                  + "' and table_name = 't'"),
        Names{"1"});
}

TEST_F(CatalogTest, AccountsByName)
{
    const auto accounts = listAccounts(db);
    ASSERT_TRUE(accounts);
    const std::string user = settings.user.empty() ? "root" : settings.user;
    EXPECT_TRUE(std::any_of(
        accounts->begin(), accounts->end(), [&user](const Account &a) { return a.user == user && !a.host.empty(); }));

    MySqlConnection closed;
    EXPECT_FALSE(listAccounts(closed));
}

} // namespace
} // namespace varnel
