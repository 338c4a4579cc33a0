// An import with a key column: an article is stored once, however the column
// changes the value as it stores it, in one run as across runs.
#include "mapping/FieldRule.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "transfer/ArticleImporter.h"
#include "transfer/KeyLookup.h"

#include <gtest/gtest.h>

#include <set>

namespace varnel {
namespace {

using test::TempDir;

class KeyTest : public test::TransferFixture {
protected:
    KeyTest()
        : TransferFixture("t")
    {
    }
    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        rule("k", "文件主名");
        rule("v", "文件内容");
    }
    // Files named by their main names, each holding its own name.
    std::vector<std::string> files(const std::vector<std::string> &mainNames)
    {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < mainNames.size(); ++i) {
            // A folder each: names may repeat, and may be anything.
            const auto folder = dir.file(std::to_string(m_folders++));
            std::filesystem::create_directories(folder);
            const auto p = folder / (mainNames[i] + ".txt");
            test::writeBytes(p, "text of " + mainNames[i]);
            paths.push_back(p.string());
        }
        return paths;
    }
    ImportResult import(const std::vector<std::string> &paths, std::size_t batch = 500)
    {
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(batch);
        importer.setKeyColumn("k");
        return importer.runImport(paths);
    }
    static std::set<std::string> names(const std::vector<KeyedFile> &list)
    {
        std::set<std::string> out;
        for (const KeyedFile &f : list)
            out.insert(std::filesystem::path(f.item).stem().string());
        return out;
    }
    void table(const std::string &keyType, bool unique)
    {
        db.execute("drop table if exists t");
        ASSERT_TRUE(db.execute("create table t (ID bigint auto_increment primary key, k " + keyType
            + ", v text) character set utf8mb4 collate utf8mb4_general_ci engine=InnoDB"));
        if (unique) {
            ASSERT_TRUE(
                db.execute("alter table t add unique key (k" + std::string(keyType == "text" ? "(50)" : "") + ")"));
        }
    }

    std::string error()
    {
        std::string e;
        db.lastError(e);
        return e;
    }

    TempDir dir;

private:
    int m_folders = 0;
};

// What the column makes of a key decides, not the bytes of the file's name:
// each row holds one key that two more files give in other ways.
TEST_F(KeyTest, KeysCompareAsTheColumnHoldsThem)
{
    struct Case {
        std::string type;
        std::vector<std::string> first; // stored by the first run
        std::vector<std::string> same; // the same keys, written otherwise
        std::vector<std::string> stored; // what the table holds
    };
    const std::vector<Case> cases = {
        {"int", {"007", "12.0", " 5", "1e1"}, {"7", "12", "5", "10"}, {"5", "7", "10", "12"}},
        {"char(10)", {"sp "}, {"sp"}, {"sp"}},
        // Strict mode trims the spaces past the length with only a note.
        {"varchar(5)", {"abcde   "}, {"abcde"}, {"abcde"}},
        {"varchar(20)", {"Abc"}, {"abc", "ABC"}, {"Abc"}},
        {"text", {"Abc"}, {"abc", "ABC"}, {"Abc"}},
    };
    for (const Case &c : cases) {
        for (const bool unique : {false, true}) {
            SCOPED_TRACE(c.type + (unique ? " unique" : " no index"));
            table(c.type, unique);
            const ImportResult first = import(files(c.first));
            EXPECT_TRUE(first.failures.empty()) << first.failures.front().reason;
            EXPECT_EQ(first.transferred, static_cast<std::int64_t>(c.first.size()));
            // Across runs: the first files again, then the other writings.
            const ImportResult again = import(files(c.first));
            EXPECT_EQ(again.transferred, 0);
            EXPECT_EQ(again.exists.size(), c.first.size());
            const ImportResult other = import(files(c.same));
            EXPECT_EQ(other.transferred, 0);
            EXPECT_EQ(other.exists.size(), c.same.size());
            EXPECT_EQ(column("select k from t order by k"), c.stored);
        }
    }
    // In one run, in one batch or one file at a time.
    for (const std::size_t batch : {std::size_t{500}, std::size_t{1}}) {
        SCOPED_TRACE(batch);
        table("varchar(20)", false);
        const ImportResult one = import(files({"Abc", "abc", "x", "ABC", "y", "x"}), batch);
        EXPECT_EQ(names(one.stored), (std::set<std::string>{"Abc", "x", "y"}));
        EXPECT_EQ(names(one.exists), (std::set<std::string>{"abc", "ABC", "x"}));
        EXPECT_EQ(column("select count(*) from t"), std::vector<std::string>{"3"});
        table("int", false);
        const ImportResult numbers = import(files({"007", "7", "1e1", "10", "8"}), batch);
        EXPECT_EQ(numbers.transferred, 3);
        EXPECT_EQ(numbers.exists.size(), 2u);
        EXPECT_EQ(column("select k from t order by k"), (std::vector<std::string>{"7", "8", "10"}));
    }
}

// A key that identifies nothing is no article's: a blank name, or a name
// whose bytes read as neither UTF-8 nor GBK, which would read alike.
TEST_F(KeyTest, FilesWithoutAKeyOfTheirOwnFailWithTheReason)
{
    table("varchar(50)", false);
    const std::string bad1 = "\xFF\xFE", bad2 = "\xFF\xFD", gbk = "\xC4\xE3\xBA\xC3"; // 你好 in GBK
    const auto paths = files({"", " ", bad1, bad2, gbk, "ok"});
    const ImportResult result = import(paths);
    EXPECT_EQ(result.transferred, 2);
    ASSERT_EQ(result.failures.size(), 4u);
    EXPECT_EQ(result.failures[0].item, paths[0]);
    EXPECT_EQ(result.failures[0].reason, kBlankKey);
    EXPECT_EQ(result.failures[1].reason, kBlankKey);
    EXPECT_EQ(result.failures[2].item, paths[2]);
    EXPECT_EQ(result.failures[2].reason, kLossyKey);
    EXPECT_EQ(result.failures[3].reason, kLossyKey);
    EXPECT_EQ(column("select k from t order by k"), (std::vector<std::string>{"ok", "你好"}));
    EXPECT_EQ(host.recorder.lastText(), "导入完成，已导入 2 篇文章，当前表有 2 条记录！\r\n未能导入 4 篇");

    // Without a key they are articles like any other.
    ArticleImporter plain(form, db, host, random);
    EXPECT_EQ(plain.runImport(paths).transferred, 6);
}

// A file found stored already takes no counter value, so a run that stores
// nothing leaves the counter where it was; a file that fails takes its
// number, as every file processed does.
TEST_F(KeyTest, FilesThatExistTakeNoCounterValue)
{
    table("varchar(50)", false);
    ASSERT_TRUE(db.execute("alter table t add `序号` bigint, add short varchar(3)"));
    rule("序号", "递进数字", joinOptions({"1", "1", "真"}));
    rule("short", "文件主名");
    for (const std::size_t batch : {std::size_t{500}, std::size_t{1}}) {
        SCOPED_TRACE(batch);
        db.execute("delete from t");
        form.setCell(2, 2, joinOptions({"1", "1", "真"}));
        const auto old = files({"a", "b", "c"});
        ASSERT_EQ(import(old, batch).transferred, 3);
        EXPECT_EQ(form.cell(2, 2), joinOptions({"4", "1", "真"}));
        // Nothing new: the counter stays.
        EXPECT_EQ(import(old, batch).exists.size(), 3u);
        EXPECT_EQ(form.cell(2, 2), joinOptions({"4", "1", "真"}));
        // New ones among them take the next numbers in their order; the one
        // the column refuses (too long for short) takes its own.
        const auto mixed = files({"a", "d", "b", "toolong", "e", "c"});
        const ImportResult result = import(mixed, batch);
        EXPECT_EQ(result.transferred, 2);
        EXPECT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(column("select concat(k, '=', `序号`) from t order by `序号`"),
            (std::vector<std::string>{"a=1", "b=2", "c=3", "d=4", "e=6"}));
        EXPECT_EQ(form.cell(2, 2), joinOptions({"7", "1", "真"}));
    }
}

// The lookup itself, on a column the table leaves without an index: keys the
// column cannot hold are not found, and repeats within one lookup are told.
TEST_F(KeyTest, LookupTellsTableKeysRepeatsAndKeysTheColumnCannotHold)
{
    table("int", false);
    ASSERT_TRUE(db.execute("insert into t (k) values (7), (10)"));
    const auto key = describeKeyColumn(db, name, Identifier("t"), Identifier("k"));
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->indexed);
    ASSERT_TRUE(db.execute("set session sql_mode = concat_ws(',', @@session.sql_mode, 'STRICT_ALL_TABLES')"));
    KeyLookup lookup(*key, 1 << 20);
    const auto found = lookup.lookUp(db, {"007", "x", "3", "1e1", "03", "not a number"});
    ASSERT_TRUE(found) << error();
    EXPECT_EQ(*found,
        (std::vector<KeyFound>{
            KeyFound::InTable, KeyFound::No, KeyFound::No, KeyFound::InTable, KeyFound::Repeated, KeyFound::No}));
    // Another connection, another session: the lookup makes its table again.
    db.disconnect();
    ASSERT_TRUE(db.connect(settings.server, settings.user, settings.password));
    const auto later = lookup.lookUp(db, {"10"});
    ASSERT_TRUE(later) << error();
    EXPECT_EQ(*later, std::vector<KeyFound>{KeyFound::InTable});
    lookup.release(db);
    EXPECT_FALSE(db.execute("select * from `" + name + "`.varnel_key_probe"));
}

} // namespace
} // namespace varnel
