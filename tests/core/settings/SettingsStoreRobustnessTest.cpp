// Sharing between instances, crashes in the middle of writes, and files that
// are not what the store expects.
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

namespace varnel {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(SettingsStoreSharing, SecondStoreReadsButNeverWrites)
{
    TempDir dir;
    const auto path = dir.file("app.ini");
    SettingsStore first;
    ASSERT_TRUE(first.open(path));
    first.setSection("主界面");
    first.writeText("编辑框服务器", "db.example");

    SettingsStore second;
    EXPECT_FALSE(second.open(path));
    EXPECT_FALSE(second.writesToDisk());
    second.setSection("主界面");
    EXPECT_EQ(second.readText("编辑框服务器"), "db.example");
    const std::string before = readBytes(path);
    second.writeText("编辑框服务器", "other");
    second.writeText("新键", "x");
    EXPECT_FALSE(second.writeBytes("字节", "x"));
    EXPECT_EQ(second.readText("编辑框服务器"), "other"); // in memory
    EXPECT_EQ(readBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("inibin")));

    // Once the first lets go, a new store can write.
    first.close();
    SettingsStore third;
    EXPECT_TRUE(third.open(path));
}

TEST(SettingsStoreSharing, SecondProcessCannotChangeTheFile)
{
    TempDir dir;
    const auto path = dir.file("app.ini");
    {
        SettingsStore seed;
        seed.open(path);
        seed.setSection("s");
        seed.writeText("k", "from the first");
    }
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first instance: holds the file until told to stop.
        SettingsStore first;
        first.open(path);
        first.setSection("s");
        char c = 'r';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1);
        _exit(first.readText("k") == "from the first" ? 0 : 1);
    }
    char c;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    const std::string before = readBytes(path);
    {
        SettingsStore second;
        EXPECT_FALSE(second.open(path));
        second.setSection("s");
        EXPECT_EQ(second.readText("k"), "from the first");
        second.writeText("k", "from the second");
        EXPECT_EQ(readBytes(path), before);
    }
    c = 'q';
    ASSERT_EQ(write(toChild[1], &c, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        close(fd);
}

std::string valueFor(int i)
{
    // Lengths go up and down, so writes both grow and shrink the file.
    return std::string(static_cast<std::size_t>((i * 7919) % 37), static_cast<char>('a' + i % 26)) + std::to_string(i);
}

TEST(SettingsStoreCrash, EveryReturnedWriteSurvivesAKill)
{
    std::mt19937 gen(12345);
    for (int round = 0; round < 25; ++round) {
        TempDir dir;
        const auto path = dir.file("crash.ini");
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(acks[0]);
            SettingsStore store;
            store.open(path);
            for (int i = 0;; ++i) {
                store.setSection(i % 3 == 0 ? "一" : "二");
                store.writeText("k" + std::to_string(i % 40), valueFor(i));
                if (write(acks[1], &i, sizeof i) != sizeof i)
                    _exit(1);
            }
        }
        close(acks[1]);
        int last = -1;
        const auto killAfter = std::chrono::microseconds(gen() % 20000);
        const auto start = std::chrono::steady_clock::now();
        // Collect acknowledgements until the moment of the kill.
        while (std::chrono::steady_clock::now() - start < killAfter) {
            int i;
            if (read(acks[0], &i, sizeof i) == sizeof i)
                last = i;
        }
        kill(child, SIGKILL);
        int status;
        waitpid(child, &status, 0);
        for (int i; read(acks[0], &i, sizeof i) == sizeof i;)
            last = i;
        close(acks[0]);

        SettingsStore after;
        after.open(path);
        // Every key's value is the last acknowledged write of it, or the one
        // write that may have been under way when the kill came.
        for (int k = 0; k < 40; ++k) {
            int lastOfKey = -1;
            for (int i = k; i <= last; i += 40)
                lastOfKey = i;
            if (lastOfKey < 0)
                continue;
            after.setSection(lastOfKey % 3 == 0 ? "一" : "二");
            const std::string value = after.readText("k" + std::to_string(k));
            const int inFlight = lastOfKey + 40 == last + 1 ? last + 1 : -1;
            if (value != valueFor(lastOfKey) && !(inFlight >= 0 && value == valueFor(inFlight)))
                FAIL() << "round " << round << ", key k" << k << ": " << value << " instead of write " << lastOfKey;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("crash.ini.journal")));
    }
}

// One write of `value` under [s] k, made by a child process that the system
// kills at the first byte it writes past `limit` into any file: a kill at a
// chosen byte of the journal or of the settings file. True when the child
// got through the write (or was killed by the limit), false on anything else.
bool writeInChildKilledPast(const std::filesystem::path &path, std::size_t limit, const std::string &value)
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const rlimit size{limit, limit};
        ::signal(SIGXFSZ, SIG_DFL);
        if (::setrlimit(RLIMIT_FSIZE, &size) != 0)
            _exit(2);
        SettingsStore store;
        store.open(path);
        store.setSection("s");
        store.writeText("k", value);
        _exit(0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return false;
    return (WIFEXITED(status) && WEXITSTATUS(status) == 0) || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
}

// A write killed at any byte of its protocol (journal, change in place,
// truncation) leaves, once the store is opened again, the file as it was or
// as the write makes it, never a mix; and once it has made the new text it
// never falls back to the old one at a later kill.
TEST(SettingsStoreCrash, AWriteKilledAtAnyByteLeavesTheOldOrTheNewFile)
{
    const std::string padding = [] {
        std::string p;
        for (int i = 0; p.size() < 240; ++i)
            p += "\r\nkey" + std::to_string(i) + "=" + std::string(static_cast<std::size_t>(i % 7), 'x');
        return p;
    }();
    const struct {
        const char *name;
        std::string before;
        std::string value;
    } cases[] = {
        // The key at the end: its change in place is short and far into
        // the file, so the kill can fall inside it.
        {"growing at the end", "[a]" + padding + "\r\n[s]\r\nk=1", "a longer value than before"},
        {"shrinking at the end", "[a]" + padding + "\r\n[s]\r\nk=a value longer than after", "2"},
        // The key at the start: its journal holds most of the file.
        {"growing at the start", "[s]\r\nk=1" + padding, "a longer value than before"},
        {"shrinking at the start", "[s]\r\nk=a value longer than after" + padding, "2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto path = dir.file("s.ini");
        const auto journal = dir.file("s.ini.journal");
        std::string after;
        {
            SettingsStore model;
            model.openReadOnly(path, c.before);
            model.setSection("s");
            model.writeText("k", c.value);
            after = model.rawText();
        }
        // Past this limit nothing is cut: the journal holds a few numbers,
        // the new tail and an end mark.
        const std::size_t most = std::max(c.before.size(), after.size()) + 64;
        bool reachedNew = false;
        for (std::size_t limit = 0; limit <= most; ++limit) {
            std::filesystem::remove(journal);
            writeBytes(path, c.before);
            ASSERT_TRUE(writeInChildKilledPast(path, limit, c.value)) << "limit " << limit;
            SettingsStore reopened;
            ASSERT_TRUE(reopened.open(path));
            const std::string text = readBytes(path);
            ASSERT_EQ(reopened.rawText(), text) << "limit " << limit;
            ASSERT_TRUE(text == c.before || text == after) << "killed past byte " << limit << ":\n"
                                                           << test::toHex(text);
            ASSERT_FALSE(std::filesystem::exists(journal)) << "limit " << limit;
            if (text == after)
                reachedNew = true;
            else
                ASSERT_FALSE(reachedNew) << "the old text came back when killed past byte " << limit;
        }
        EXPECT_TRUE(reachedNew);
    }
}

// A journal is replayed only when it is whole: one cut at any length, as a
// kill while it is written leaves it, is dropped and the file kept as it was.
// The journal here is the store's own, left by a write killed after the
// journal and before the change in place; its new text holds the bytes that
// end a journal, so a cut right after them looks complete at the end.
TEST(SettingsStoreCrash, OnlyAWholeJournalIsReplayed)
{
    TempDir dir;
    const auto path = dir.file("s.ini");
    const auto journalPath = dir.file("s.ini.journal");
    std::string before = "[a]";
    while (before.size() < 400)
        before += "\r\nkey" + std::to_string(before.size()) + "=value";
    before += "\r\n[s]\r\nk=1";
    const std::string value = "2\nEND\n3\nEND";
    const std::size_t valueAt = before.size() - 1;
    const std::string after = before.substr(0, valueAt) + value;

    writeBytes(path, before);
    // The change in place starts at the value: a limit there kills the
    // writer with the journal complete and the file untouched.
    ASSERT_TRUE(writeInChildKilledPast(path, valueAt, value));
    ASSERT_EQ(readBytes(path), before);
    ASSERT_TRUE(std::filesystem::exists(journalPath));
    const std::string journal = readBytes(journalPath);
    ASSERT_LT(journal.size(), valueAt);

    for (std::size_t cut = 0; cut <= journal.size(); ++cut) {
        writeBytes(path, before);
        writeBytes(journalPath, journal.substr(0, cut));
        SettingsStore store;
        ASSERT_TRUE(store.open(path));
        const std::string &expected = cut == journal.size() ? after : before;
        ASSERT_EQ(readBytes(path), expected) << "journal cut to " << cut << " of " << journal.size() << " bytes";
        ASSERT_EQ(store.rawText(), expected) << cut;
        ASSERT_FALSE(std::filesystem::exists(journalPath)) << cut;
    }

    // A whole journal is replayed whatever part of the change in place was
    // done: some of it, all of it, or all of it with bytes beyond the new end
    // (a shrinking change killed before the file was cut to size).
    for (const std::string &file : {before.substr(0, valueAt) + value.substr(0, 3), after, after + "old tail"}) {
        writeBytes(path, file);
        writeBytes(journalPath, journal);
        SettingsStore store;
        ASSERT_TRUE(store.open(path));
        EXPECT_EQ(readBytes(path), after) << test::toHex(file);
        EXPECT_FALSE(std::filesystem::exists(journalPath));
    }
}

// The settings hold the password: what the store creates only its owner may
// read.
TEST(SettingsStorePrivacy, FilesTheStoreCreatesAreTheOwnersOnly)
{
    TempDir dir;
    auto mode = [](const std::filesystem::path &p) {
        struct stat st { };
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    };
    const mode_t oldMask = ::umask(0);
    {
        SettingsStore store;
        ASSERT_TRUE(store.open(dir.file("new.ini")));
        store.setSection("主界面");
        store.writeText("编辑框密码", "secret");
        EXPECT_EQ(mode(dir.file("new.ini")), 0600u);
        EXPECT_TRUE(store.writeBytes("编辑框密码", "secret"));
        EXPECT_EQ(mode(store.sideFilePath("编辑框密码")), 0600u);

        // A file that exists keeps the mode its owner gave it.
        writeBytes(dir.file("shared.ini"), "");
        ::chmod(dir.file("shared.ini").c_str(), 0644);
        SettingsStore shared;
        ASSERT_TRUE(shared.open(dir.file("shared.ini")));
        shared.setSection("主界面");
        shared.writeText("编辑框密码", "secret");
        EXPECT_EQ(mode(dir.file("shared.ini")), 0644u);
    }
    ::umask(oldMask);
}

// A write that does not reach the file is told, with the system's reason, and
// the journal it leaves for the next open is the owner's only.
TEST(SettingsStoreRobustness, WritesThatDoNotReachTheFileAreTold)
{
    TempDir dir;
    const auto path = dir.file("full.ini");
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    EXPECT_EQ(store.openError(), 0);
    store.setSection("s");
    store.writeText("old", "1"); // the oldest entry ends the file
    store.writeText("big", std::string(16384, 'x'));
    EXPECT_EQ(store.writeError(), 0);

    // The file may not grow past 4 KiB: the edit at its end fails, its small
    // journal does not.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    store.writeText("old", "22");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(store.writeError(), EFBIG);
    const auto journal = dir.file("full.ini.journal");
    ASSERT_TRUE(std::filesystem::exists(journal));
    struct stat st { };
    ::stat(journal.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Another store cannot get the file: it says why.
    SettingsStore second;
    EXPECT_FALSE(second.open(path));
    EXPECT_EQ(second.openError(), EWOULDBLOCK);
    store.close();
    SettingsStore reopened;
    ASSERT_TRUE(reopened.open(path)); // replays the journal
    reopened.setSection("s");
    EXPECT_EQ(reopened.readText("old"), "22");
    EXPECT_EQ(reopened.writeError(), 0);
    SettingsStore folder;
    EXPECT_FALSE(folder.open(dir.path()));
    EXPECT_EQ(folder.openError(), EISDIR);
}

TEST(SettingsStoreBadFiles, GiveDefaultsAndNeverCrash)
{
    TempDir dir;
    std::mt19937 gen(99);
    std::string random(64 * 1024, '\0');
    for (char &c : random)
        c = static_cast<char>(gen());
    std::string huge;
    while (huge.size() < (10u << 20))
        huge += "[节" + std::to_string(huge.size()) + "]\r\nkey=value\r\n";
    const std::pair<const char *, std::string> files[] = {
        {"random", random},
        {"huge", huge},
        {"no-crlf", "[s] a=1 b=2"},
        {"lone-cr", "[s]\ra=1\rb=2"},
        {"lone-lf", "[s]\na=1\nb=2"},
        {"header-at-end", "x=1\r\n[s]"},
        {"bracket-only", "["},
    };
    for (const auto &[name, bytes] : files) {
        const auto path = dir.file(std::string(name) + ".ini");
        writeBytes(path, bytes);
        SettingsStore store;
        store.open(path);
        store.setSection("s");
        EXPECT_EQ(store.readText("a", "d"), "d") << name;
        EXPECT_EQ(store.readNumber("a", 4), 4) << name;
        store.writeText("a", "新值");
        EXPECT_EQ(store.readText("a"), "新值") << name;
        EXPECT_EQ(store.rawText(), readBytes(path)) << name;
    }

    // A file in a folder that does not exist works in memory.
    SettingsStore missing;
    EXPECT_FALSE(missing.open(dir.file("no/such/folder/x.ini")));
    missing.setSection("s");
    missing.writeText("a", "1");
    EXPECT_EQ(missing.readText("a"), "1");
    EXPECT_FALSE(missing.writeBytes("b", "x"));
    // A FIFO in place of the file, likewise, and it is not waited on.
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    SettingsStore fifo;
    EXPECT_FALSE(fifo.open(dir.file("fifo.ini")));
    EXPECT_EQ(fifo.openError(), EINVAL);
    fifo.setSection("s");
    fifo.writeText("a", "1");
    EXPECT_EQ(fifo.readText("a"), "1");
    fifo.openReadOnly(dir.file("fifo.ini"));
    EXPECT_EQ(fifo.rawText(), "");
    // A directory in place of the file, likewise.
    SettingsStore directory;
    EXPECT_FALSE(directory.open(dir.path()));
    directory.setSection("s");
    directory.writeText("a", "1");
    EXPECT_EQ(directory.readText("a"), "1");
}

TEST(SettingsStoreBadFiles, FuzzedFilesKeepTheStoreConsistent)
{
    // Random files built from the pieces the format is made of: whatever the
    // file holds, a write must read back and the file must equal the text.
    const std::vector<std::string> pieces = {"[s]", "[t]", "\r\n", "\r", "\n", "a=", "b=", "=", "[", "]", "x", "1",
        "中", "┊*┊", "\xA9", "\xFF", "\r\n[s]\r\n"};
    TempDir dir;
    std::mt19937 gen(2024);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int n = static_cast<int>(gen() % 20);
        for (int i = 0; i < n; ++i)
            bytes += pieces[gen() % pieces.size()];
        const auto path = dir.file("f" + std::to_string(round % 8) + ".ini");
        writeBytes(path, bytes);
        SettingsStore store;
        store.open(path);
        store.setSection(gen() % 2 ? "s" : "t");
        const std::string key = gen() % 2 ? "a" : "b";
        (void)store.readText(key);
        const std::string value = std::to_string(gen());
        store.writeText(key, value);
        ASSERT_EQ(store.readText(key), value) << test::toHex(bytes);
        ASSERT_EQ(store.rawText(), readBytes(path)) << test::toHex(bytes);
    }
}

} // namespace
} // namespace varnel
