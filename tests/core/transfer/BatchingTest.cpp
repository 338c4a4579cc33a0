#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "support/ArticleFixtures.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "text/Charset.h"
#include "transfer/ArticleImporter.h"
#include "transfer/RowInserter.h"

#include <gtest/gtest.h>

#include <mysql.h>

#include <random>

namespace varnel {
namespace {

using test::ScriptedHost;
using test::TempDir;

class BatchingTest : public test::TransferFixture {
protected:
    BatchingTest()
        : TransferFixture("t")
    {
    }

    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        db.setStatementObserver([this](std::string_view s) {
            if (s.starts_with("insert into"))
                inserts.emplace_back(s.substr(0, 80));
        });
    }
    std::string file(const std::string &fileName, const std::string &text)
    {
        const auto p = dir.file(fileName);
        test::writeBytes(p, text);
        return p.string();
    }
    ImportResult import(const std::vector<std::string> &files, std::size_t batch)
    {
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(batch);
        return importer.runImport(files);
    }

    TempDir dir;
    std::vector<std::string> inserts;
    std::vector<std::size_t> rowsPerInsert;
};

TEST_F(BatchingTest, ARefusedFileInTheMiddleIsTheOnlyOneSkipped)
{
    for (const char *engine : {"InnoDB", "MyISAM"}) {
        SCOPED_TRACE(engine);
        db.execute("drop table if exists t");
        ASSERT_TRUE(db.execute(std::string("create table t (ID bigint auto_increment primary key, `标题` tinytext, "
                                           "`内容` varchar(10)) character set utf8mb4 engine=")
            + engine));
        form.clearRows();
        rule("标题", "文件主名");
        rule("内容", "文件内容");
        std::vector<std::string> files;
        for (int i = 0; i < 12; ++i)
            files.push_back(file("f" + std::to_string(i) + ".txt", i == 6 ? "这一篇太长了，放不进十个字的列" : "短文"));
        inserts.clear();
        const ImportResult result = import(files, 5);
        EXPECT_EQ(result.transferred, 11);
        ASSERT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.failures[0].item, files[6]);
        EXPECT_NE(result.failures[0].reason.find("数据太长"), std::string::npos) << result.failures[0].reason;
        auto titles = column("select `标题` from t order by `标题`");
        EXPECT_EQ(titles.size(), 11u); // every other file exactly once
        EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), 11u);
        EXPECT_EQ(host.recorder.lastText(), "导入完成，已导入 11 篇文章，当前表有 11 条记录！\r\n未能导入 1 篇");
        // InnoDB takes batches; MyISAM, which cannot take a failed batch
        // back, one statement per file.
        const bool batched = std::any_of(inserts.begin(), inserts.end(),
            [](const std::string &s) { return s.find("(`标题`,`内容`)") != std::string::npos; });
        EXPECT_EQ(batched, std::string(engine) == "InnoDB");
    }
}

// No INSERT holds more rows than the batch size, and batches are full: the
// rows of a run go in statements of exactly that many, the rest in one.
TEST_F(BatchingTest, EveryStatementHoldsAtMostTheBatchSize)
{
    ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, `标题` text) engine=InnoDB"));
    rule("标题", "文件主名");
    for (std::size_t batch : {2, 3, 7}) {
        SCOPED_TRACE(batch);
        std::vector<std::string> files;
        for (std::size_t i = 0; i < 2 * batch + 1; ++i)
            files.push_back(file("row" + std::to_string(i) + ".txt", "x"));
        rowsPerInsert.clear();
        // A batch binds its values to one placeholder tuple per row; a row
        // alone goes as its assignments.
        db.setStatementObserver([this](std::string_view s) {
            if (!s.starts_with("insert into"))
                return;
            std::size_t rows = s.find(" set ") == std::string_view::npos ? 0 : 1;
            for (auto at = s.find("(?"); at != std::string_view::npos; at = s.find("(?", at + 1))
                ++rows;
            rowsPerInsert.push_back(rows);
        });
        const ImportResult result = import(files, batch);
        db.setStatementObserver({});
        EXPECT_EQ(result.transferred, static_cast<std::int64_t>(files.size()));
        EXPECT_EQ(rowsPerInsert, (std::vector<std::size_t>{batch, batch, 1}));
        EXPECT_EQ(column("select count(*) from t"), std::vector<std::string>{std::to_string(files.size())});
        ASSERT_TRUE(db.execute("delete from t"));
    }
}

TEST_F(BatchingTest, BigFilesGoAloneAndCountersAndPositionsHold)
{
    ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, a text, b longtext, n text) "
                           "character set utf8mb4 engine=InnoDB"));
    rule("2", "文件主名");
    rule("3", "文件内容");
    rule("n", "递进数字", joinOptions({"10", "5", "真"}));
    std::vector<std::string> files;
    for (int i = 0; i < 7; ++i) {
        // The fourth is larger than any batch may be.
        files.push_back(file("f" + std::to_string(i) + ".txt", i == 3 ? std::string(20u << 20, 'x') : "文"));
    }
    const ImportResult result = import(files, 3);
    EXPECT_EQ(result.transferred, 7);
    EXPECT_EQ(form.cell(0, 0), "a");
    EXPECT_EQ(form.cell(1, 0), "b");
    EXPECT_EQ(form.cell(2, 2), joinOptions({"45", "5", "真"}));
    EXPECT_EQ(column("select concat(a, ':', n) from t order by ID"),
        (std::vector<std::string>{"f0:10", "f1:15", "f2:20", "f3:25", "f4:30", "f5:35", "f6:40"}));
    EXPECT_EQ(column("select length(b) from t where a='f3'"), std::vector<std::string>{std::to_string(20u << 20)});
    EXPECT_TRUE(std::any_of(inserts.begin(), inserts.end(),
        [](const std::string &s) { return s.starts_with("insert into `t` set `a`='f3'"); }));
}

TEST_F(BatchingTest, SameTableContentsAsOneStatementPerFile)
{
    for (const auto &f : test::articleFixtures())
        file(f.name + ".htm", f.bytes);
    rule("标题", "文件主名");
    rule("内容", "文件内容");
    rule("摘要", "内容摘要", joinOptions({"20", "20"}));
    rule("序号", "递进数字", joinOptions({"1", "1", "假"}));
    std::vector<std::string> files;
    for (const auto &f : test::articleFixtures())
        files.push_back(dir.file(f.name + ".htm").string());
    const std::string sql = "select concat_ws('|', `标题`, `内容`, `摘要`, `序号`) from t order by ID";
    import(files, 1);
    const auto one = column(sql);
    db.execute("delete from t");
    import(files, ArticleImporter::kDefaultBatchRows);
    EXPECT_EQ(column(sql), one);
    EXPECT_EQ(one.size(), files.size());
}

TEST_F(BatchingTest, OtherWindowsMayQueryWhileABatchIsOnItsWay)
{
    ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, `标题` text) engine=InnoDB"));
    rule("标题", "文件主名");
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(file("f" + std::to_string(i) + ".txt", "x"));
    int queries = 0, answered = 0;
    host.onEvents = [&] {
        // Another window lists the tables between two files.
        if (++queries % 7 == 0 && db.showTables()) {
            if (auto r = db.storeResult(); r && r->rowCount() == 1)
                ++answered;
        }
    };
    const ImportResult result = import(files, 8);
    EXPECT_EQ(result.transferred, 40);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_GT(answered, 5);
    EXPECT_EQ(answered, queries / 7);
    EXPECT_EQ(column("select count(distinct `标题`) from t"), std::vector<std::string>{"40"});
}

// A batch binds its values; a row alone sends them as escaped literals. Both
// must store the same bytes and refuse the same values, in a strict session:
// each odd value goes in a batch with a plain row, and the table and the
// failures must be those of one statement per row.
TEST_F(BatchingTest, BoundValuesAreStoredAndRefusedAsTheirLiterals)
{
    ASSERT_TRUE(db.execute("set session sql_mode=concat_ws(',',@@session.sql_mode,'STRICT_ALL_TABLES')"));
    const std::string columns[] = {"s", "n", "d", "b", "u"};
    const std::vector<std::string> plain = {"ok", "1", "2024-01-02 03:04:05", "b", "文"};
    const std::vector<std::pair<int, std::string>> odd = {
        {0, "abcdefg"}, // longer than varchar(5)
        {0, "中文𠮷"},
        {1, "x"},
        {1, " "},
        {1, "3.7"},
        {1, "99999999999"},
        {1, "-0"},
        {2, "2024-02-30"},
        {2, "2024-01-02"},
        {3, std::string("\\0'\"\x1a\xff\xfe\0z", 9)},
        {4, "\xff\xfe"}, // not UTF-8
        {4, "\xed\xa0\x80"}, // a surrogate
        {4, std::string("a\0b", 3)},
        {4, "C:\\new\\table O'Reilly"},
        {4, "𠮷😀"},
    };
    auto run = [&](std::size_t batchRows) {
        db.execute("drop table if exists t");
        EXPECT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, s varchar(5), n int, d datetime, "
                               "b blob, u text) character set utf8mb4 engine=InnoDB"));
        RowInserter::Limits limits;
        limits.batchRows = batchRows;
        limits.batchBytes = 1 << 20;
        limits.maxStatementBytes = 16 << 20;
        std::vector<std::string> failed;
        {
            RowInserter inserter(db, name, Identifier("t"), limits);
            for (std::size_t k = 0; k < odd.size(); ++k) {
                for (int one = 0; one < 2; ++one) {
                    InsertRow row;
                    row.path = std::to_string(k) + (one ? "odd" : "plain");
                    for (int c = 0; c < 5; ++c)
                        row.add(quoteIdentifier(columns[c]), one && c == odd[k].first ? odd[k].second : plain[c]);
                    inserter.add(std::move(row));
                }
            }
            inserter.complete();
            for (const TransferFailure &f : inserter.failures())
                failed.push_back(f.item + ": " + f.reason);
            EXPECT_TRUE(inserter.unknown().empty());
        }
        return std::make_pair(column("select concat_ws('|', hex(s), n, d, hex(b), hex(u)) from t order by ID"), failed);
    };
    const auto alone = run(1);
    const auto batched = run(2);
    EXPECT_EQ(batched.first, alone.first);
    EXPECT_EQ(batched.second, alone.second);
    EXPECT_GE(alone.second.size(), 5u); // the strict session refuses some
}

// Two files of one key in a batch: the first is refused, so the key is
// free and the second is stored, not counted as existing.
TEST_F(BatchingTest, AKeyWhoseFirstFileFailedIsStoredByTheNext)
{
    ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, `标题` varchar(100), "
                           "`内容` varchar(5)) character set utf8mb4 engine=InnoDB"));
    rule("标题", "文件主名");
    rule("内容", "文件内容");
    std::filesystem::create_directories(dir.file("one"));
    std::filesystem::create_directories(dir.file("two"));
    const std::vector<std::string> files = {
        file("one/a.txt", "太长了，放不进五个字"), file("two/a.txt", "短的"), file("b.txt", "也短")};
    ArticleImporter importer(form, db, host, random);
    importer.setBatchSize(10);
    importer.setKeyColumn("标题");
    const ImportResult result = importer.runImport(files);
    EXPECT_EQ(result.transferred, 2);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].item, files[0]);
    EXPECT_EQ(result.failures[0].key, "a");
    EXPECT_TRUE(result.exists.empty());
    EXPECT_EQ(
        column("select concat(`标题`, `内容`) from t order by `标题`"), (std::vector<std::string>{"a短的", "b也短"}));
}

TEST_F(BatchingTest, EscapingMatchesTheClientLibrary)
{
    // Our byte-wise escape against the library's, on every special byte
    // next to multibyte characters.
    MYSQL *raw = mysql_init(nullptr);
    const auto address = parseServerAddress(settings.server);
    ASSERT_NE(mysql_real_connect(raw, address.host.c_str(), settings.user.c_str(), settings.password.c_str(), nullptr,
                  address.port, nullptr, 0),
        nullptr);
    mysql_set_character_set(raw, "utf8mb4");
    std::mt19937 gen(1);
    const std::string pieces[] = {"'", "\\", "\"", std::string(1, '\0'), "\r", "\n", "\x1a", "中", "𠮷", "a", "%_"};
    for (int round = 0; round < 500; ++round) {
        std::string value;
        for (int i = 0; i < 12; ++i)
            value += pieces[gen() % std::size(pieces)];
        std::string expected(value.size() * 2 + 1, '\0');
        expected.resize(mysql_real_escape_string(raw, expected.data(), value.data(), value.size()));
        ASSERT_EQ(escapeString(value), expected) << test::toHex(value);
    }
    mysql_close(raw);
}

} // namespace
} // namespace varnel
