// Proves the path from a test to the sandbox server: Connector/C connects over
// TCP with the settings that scripts/mysql-sandbox prints, and reads a value.
#include <gtest/gtest.h>
#include <mysql.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string env(const char *name, const char *fallback = "")
{
    const char *v = std::getenv(name);
    return v ? v : fallback;
}

bool inCi()
{
    return env("CI") == "true";
}

struct MysqlCloser {
    void operator()(MYSQL *m) const { mysql_close(m); }
};
struct ResultFreer {
    void operator()(MYSQL_RES *r) const { mysql_free_result(r); }
};

TEST(SandboxServer, AnswersSelectVersionInUtf8mb4)
{
    const std::string host = env("VARNEL_DB_HOST");
    if (host.empty()) {
        if (inCi())
            FAIL() << "VARNEL_DB_HOST is not set: scripts/test starts the sandbox and exports it";
        GTEST_SKIP() << "no sandbox settings; run through scripts/test";
    }
    std::unique_ptr<MYSQL, MysqlCloser> db(mysql_init(nullptr));
    ASSERT_NE(db, nullptr);
    const unsigned port = static_cast<unsigned>(std::stoul(env("VARNEL_DB_PORT", "3406")));
    unsigned timeout = 10;
    mysql_optionsv(db.get(), MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    ASSERT_NE(mysql_real_connect(db.get(), host.c_str(), env("VARNEL_DB_USER", "root").c_str(),
                  env("VARNEL_DB_PASSWORD").c_str(), nullptr, port, nullptr, 0),
        nullptr)
        << mysql_error(db.get());
    ASSERT_EQ(mysql_set_character_set(db.get(), "utf8mb4"), 0) << mysql_error(db.get());

    ASSERT_EQ(mysql_query(db.get(), "select version(), '中文𠮷'"), 0) << mysql_error(db.get());
    std::unique_ptr<MYSQL_RES, ResultFreer> result(mysql_store_result(db.get()));
    ASSERT_NE(result, nullptr);
    MYSQL_ROW row = mysql_fetch_row(result.get());
    ASSERT_NE(row, nullptr);
    EXPECT_NE(std::string(row[0]).find("MariaDB"), std::string::npos) << row[0];
    EXPECT_EQ(std::string(row[1]), "中文𠮷");
}

} // namespace
