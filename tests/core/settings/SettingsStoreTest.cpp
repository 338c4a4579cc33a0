#include "settings/SettingsStore.h"

#include "settings/IniText.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

namespace varnel {
namespace {

using test::readBytes;
using test::TempDir;
using test::toHex;
using test::writeBytes;

// The file as program text, with CR LF shown as "|" so layouts read as lines.
std::string fileLines(const std::filesystem::path &path)
{
    std::string text = fromGb18030(readBytes(path));
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            out += '|';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Up to maxLines - 1 lines drawn from the pieces, joined by CR LF.
std::string randomLines(std::mt19937 &random, const std::vector<std::string> &pieces, unsigned maxLines)
{
    std::string text;
    const unsigned lines = random() % maxLines;
    for (unsigned i = 0; i < lines; ++i) {
        if (i)
            text += "\r\n";
        text += pieces[random() % pieces.size()];
    }
    return text;
}

TEST(SettingsStore, WorkedLayouts)
{
    TempDir dir;
    const auto path = dir.file("s.ini");
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    EXPECT_TRUE(std::filesystem::exists(path)); // created at once
    store.setSection("s");
    EXPECT_TRUE(store.writeText("a", "1"));
    EXPECT_EQ(readBytes(path), "[s]\r\na=1");
    store.writeText("b", "2");
    EXPECT_EQ(fileLines(path), "[s]|b=2|a=1");
    store.writeText("a", "");
    EXPECT_EQ(fileLines(path), "[s]|b=2|a=");
    EXPECT_EQ(store.readText("a", "dflt"), "dflt"); // empty reads as the default

    store.setSection("t");
    store.writeText("c", "3");
    EXPECT_EQ(fileLines(path), "[s]|b=2|a=|[t]|c=3");

    // A value holding a section's bracketed name is no header.
    store.setSection("s");
    store.writeText("b", "[t]");
    store.setSection("t");
    store.writeText("d", "4");
    EXPECT_EQ(fileLines(path), "[s]|b=[t]|a=|[t]|d=4|c=3");
    EXPECT_EQ(store.rawText(), readBytes(path));

    // A key of a later section is not this section's.
    store.setSection("s");
    EXPECT_EQ(store.readText("c", "none"), "none");
    store.writeText("c", "s-c");
    EXPECT_EQ(fileLines(path), "[s]|c=s-c|b=[t]|a=|[t]|d=4|c=3");
    store.setSection("t");
    EXPECT_EQ(store.readText("c"), "3");
}

TEST(SettingsStore, TypedValues)
{
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("s.ini"));
    store.setSection("主界面");

    store.writeText("多行", "x\r\ny\r\n中文");
    EXPECT_EQ(store.readText("多行"), "x\r\ny\r\n中文");
    EXPECT_NE(store.rawText().find(toGb18030("x┊*┊y┊*┊中文")), std::string::npos);
    // GBK on disk: "┊*┊" is A9 AE 2A A9 AE.
    EXPECT_NE(toHex(store.rawText()).find("a9 ae 2a a9 ae"), std::string::npos);

    store.writeNumber("三", 3);
    store.writeNumber("半", 0.5);
    store.writeNumber("大", 1e20);
    store.writeNumber("负", -1);
    EXPECT_NE(store.rawText().find(toGb18030("三=3\r\n")), std::string::npos);
    EXPECT_NE(store.rawText().find(toGb18030("半=0.5")), std::string::npos);
    EXPECT_NE(store.rawText().find(toGb18030("大=1e+20")), std::string::npos);
    EXPECT_EQ(store.readNumber("三"), 3);
    EXPECT_EQ(store.readNumber("负"), -1);
    EXPECT_EQ(store.readNumber("缺", 7), 7);

    store.writeBool("真值", true);
    store.writeBool("假值", false);
    EXPECT_TRUE(store.readBool("真值"));
    EXPECT_FALSE(store.readBool("假值", true));
    EXPECT_TRUE(store.readBool("缺", true));
    store.writeText("one", "1");
    store.writeText("true", "true");
    store.writeText("abc", "abc");
    EXPECT_FALSE(store.readBool("one", true));
    EXPECT_FALSE(store.readBool("true", true));
    EXPECT_EQ(store.readNumber("abc", 5), 0);
}

TEST(SettingsStore, NumberText)
{
    EXPECT_EQ(SettingsStore::formatNumber(3), "3");
    EXPECT_EQ(SettingsStore::formatNumber(0.5), "0.5");
    EXPECT_EQ(SettingsStore::formatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(SettingsStore::formatNumber(1234567890123456.0), "1.234567890123e+15");
    const struct {
        const char *text;
        double value;
    } rows[] = {
        {"12abc", 12},
        {"-3.5e2x", -350},
        {"+.5", 0.5},
        {"1e", 1},
        {"1e+", 1},
        {".", 0},
        {"", 0},
        {"abc", 0},
        {"0x10", 0},
        {" 5", 0},
        {"7.", 7},
        {"1e999", HUGE_VAL},
        {"1e-999", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(SettingsStore::parseNumber(row.text), row.value) << row.text;
}

TEST(SettingsStore, LookupRules)
{
    TempDir dir;
    const auto path = dir.file("s.ini");
    // Entries before the first header and on the first line are never found;
    // a header inside a value does not count; a section can be found after
    // an occurrence that does not stand at a line start.
    writeBytes(path, "a=first\r\n[s]x\r\nz=[s]\r\n[s]\r\na=1\r\nb=\r\n[t]\r\nc=2");
    SettingsStore store;
    store.open(path);
    store.setSection("s");
    EXPECT_EQ(store.readText("a"), ""); // the header line "[s]" before "a=1" starts another section
    EXPECT_EQ(store.readText("z"), "[s]");
    EXPECT_EQ(store.readText("c", "d"), "d");
    store.setSection("t");
    EXPECT_EQ(store.readText("c"), "2");
    store.setSection("a=first");
    EXPECT_EQ(store.readText("x", "d"), "d");
}

// Reads go through an index of the section's keys; on any text, it finds
// exactly what a scan of the section finds, and it follows every write.
TEST(SettingsStore, IndexedReadsAgreeWithTheSectionScan)
{
    std::mt19937 random(20261209);
    const std::vector<std::string> pieces = {
        "[s]", "[t]", "[s]x", "[]", "a=1", "a=2", "b=", "b=[s]", "c", "a=b=3", "=4", "[s", "x=y", "\r", "A=5"};
    const std::vector<std::string> keys = {"a", "b", "c", "x", "A", "a=b", "", "z"};
    for (int round = 0; round < 400; ++round) {
        const std::string text = randomLines(random, pieces, 12);
        SettingsStore store;
        store.openReadOnly("unused.ini", text);
        for (const char *section : {"s", "t"}) {
            store.setSection(section);
            const std::string header = std::string("[") + section + "]";
            for (const std::string &key : keys) {
                std::string expected = "-";
                const std::size_t h = findSectionHeader(text, header);
                if (h != std::string::npos) {
                    const std::size_t e = findEntry(text, h + header.size() - 1, key);
                    if (e != std::string::npos) {
                        const ValueSpan v = entryValue(text, e, key);
                        if (v.end > v.start)
                            expected = text.substr(v.start, v.end - v.start);
                    }
                }
                ASSERT_EQ(store.readText(key, "-"), expected) << "text: " << test::toHex(text) << " key " << key;
            }
        }
    }
    // A write changes what the next read sees.
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("w.ini"));
    store.setSection("s");
    store.writeText("a", "1");
    EXPECT_EQ(store.readText("a"), "1");
    store.writeText("b", "2");
    store.writeText("a", "3");
    EXPECT_EQ(store.readText("a"), "3");
    EXPECT_EQ(store.readText("b"), "2");
}

// A batch must leave exactly the bytes the writes one by one leave, in the
// text and in the file, on plain and on odd files alike (odd header lines,
// keys holding "=", values with CR or LF, sections that are missing), and a
// read inside the batch sees the writes before it.
TEST(SettingsStore, ABatchWritesWhatTheWritesOneByOneWrite)
{
    std::mt19937 random(20261210);
    const std::vector<std::string> pieces = {"[s]", "[t]", "[s]x", "[]", "a=1", "a=2", "b=", "b=[s]", "c", "a=b=3",
        "=4", "[s", "x=y", "\r", "A=5", "", "[中]", "中=文", "[a]=x]", "[a=1"};
    const std::vector<std::string> sections = {"s", "t", "中", "new"};
    const std::vector<std::string> keys = {"a", "b", "c", "x", "A", "a=b", "", "z", "中", "新", "[a]", "[a"};
    const std::vector<std::string> values = {"", "1", "值", "x=y", "\r", "a\nb", "[s]", "┊", "]"};
    TempDir dir;
    // Most rounds on the text alone; every tenth through files as well.
    for (int round = 0; round < 500; ++round) {
        const std::string text = randomLines(random, pieces, 10);
        const bool onDisk = round % 10 == 0;
        const auto one = dir.file("one" + std::to_string(round) + ".ini");
        const auto batched = dir.file("batch" + std::to_string(round) + ".ini");
        SettingsStore byOne, byBatch;
        if (onDisk) {
            writeBytes(one, toGb18030(text));
            writeBytes(batched, toGb18030(text));
            ASSERT_TRUE(byOne.open(one));
            ASSERT_TRUE(byBatch.open(batched));
        } else {
            byOne.openReadOnly(one, toGb18030(text));
            byBatch.openReadOnly(batched, toGb18030(text));
        }
        {
            const SettingsStore::Batch batch(byBatch);
            const int writes = static_cast<int>(random() % 40);
            for (int w = 0; w < writes; ++w) {
                const std::string &section = sections[random() % sections.size()];
                const std::string &key = keys[random() % keys.size()];
                if (random() % 8 == 0) {
                    byOne.setSection(section);
                    byBatch.setSection(section);
                    ASSERT_EQ(byBatch.readText(key, "-"), byOne.readText(key, "-")) << "round " << round;
                    continue;
                }
                const std::string &value = values[random() % values.size()];
                for (SettingsStore *store : {&byOne, &byBatch}) {
                    store->setSection(section);
                    store->writeText(key, value);
                }
            }
        }
        ASSERT_EQ(toHex(byBatch.rawText()), toHex(byOne.rawText())) << "round " << round << " text " << toHex(text);
        if (onDisk) {
            ASSERT_EQ(toHex(readBytes(batched)), toHex(readBytes(one))) << "round " << round;
        }
    }
}

// Until the batch ends the file is as it was; then it holds every write.
TEST(SettingsStore, ABatchReachesTheFileWhenItEnds)
{
    TempDir dir;
    const auto path = dir.file("s.ini");
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    store.setSection("s");
    store.writeText("a", "1");
    {
        const SettingsStore::Batch outer(store);
        {
            const SettingsStore::Batch inner(store);
            for (int i = 0; i < 1000; ++i)
                store.writeText("k" + std::to_string(i), std::to_string(i));
            store.writeText("a", "2");
        }
        EXPECT_EQ(fileLines(path), "[s]|a=1") << "nested: the outer batch holds the file";
        EXPECT_EQ(store.readText("k999"), "999");
    }
    EXPECT_TRUE(fileLines(path).starts_with("[s]|k999=999|k998=998|"));
    EXPECT_TRUE(fileLines(path).ends_with("|k0=0|a=2"));
    EXPECT_EQ(store.writeError(), 0);

    // Closing the store inside a batch writes it too.
    SettingsStore other;
    const auto second = dir.file("t.ini");
    ASSERT_TRUE(other.open(second));
    auto batch = std::make_unique<SettingsStore::Batch>(other);
    other.setSection("t");
    other.writeText("b", "3");
    other.close();
    batch.reset();
    EXPECT_EQ(fileLines(second), "[t]|b=3");
}

TEST(SettingsStore, BytesLiveInSideFiles)
{
    TempDir dir;
    SettingsStore store;
    store.open(dir.file("s.ini"));
    store.setSection("主界面");
    const std::string bytes = test::fromHex("00 01 62 69 6e ff");
    EXPECT_TRUE(store.writeBytes("编辑框", bytes));
    EXPECT_EQ(readBytes(dir.file("inibin/主界面-编辑框.ibn")), bytes);
    EXPECT_EQ(store.readBytes("编辑框"), bytes);
    EXPECT_EQ(store.readBytes("缺", "dflt"), "dflt");
    EXPECT_TRUE(store.writeBytes("空", ""));
    EXPECT_EQ(store.readBytes("空", "dflt"), "dflt");
    EXPECT_EQ(store.rawText(), ""); // nothing in the text itself
    // A name with a slash stays inside the inibin folder.
    EXPECT_TRUE(store.writeBytes("../../escape", "x"));
    EXPECT_EQ(store.sideFilePath("../../escape").parent_path(), dir.file("inibin"));
    EXPECT_EQ(store.readBytes("../../escape"), "x");
    // An unbound store has no side files.
    SettingsStore unbound;
    EXPECT_FALSE(unbound.writeBytes("k", "x"));
    EXPECT_EQ(unbound.readBytes("k", "d"), "d");
}

} // namespace
} // namespace varnel
