#pragma once

// varnel-cli run as a user runs it: a real process, its output apart, and
// the configuration a window would have saved.

#include "support/Sandbox.h"
#include "support/TestSupport.h"

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace varnel::test {

struct Output {
    int status = -1; // exit status; -1 when ended by a signal
    std::string out;
    std::string err;
};

struct RunOptions {
    // Called in the parent whenever stderr has grown, with all of it so far.
    std::function<void(pid_t, const std::string &)> onStderr;
    // Called in the child just before exec.
    std::function<void()> inChild;
    // A run still going after this long is killed (status -1).
    int killAfterSeconds = 120;
    // The program to run: the build's varnel-cli unless a test copied or
    // installed one elsewhere.
    std::string program = VARNEL_CLI_PATH;
};

// Runs varnel-cli with the arguments, collecting stdout and stderr apart.
Output runCli(const std::vector<std::string> &args, const RunOptions &run = {});

// The mapping rows of a test configuration: target, source, options.
using Rules = std::vector<std::array<std::string, 3>>;

// Writes a configuration as the window would have saved it: the rules, the
// database, the table 文章 and the folder, sub-folders included.
void writeConfig(const std::filesystem::path &path, const Rules &rules, const std::string &database,
    const std::filesystem::path &folder);

bool contains(const std::string &text, const std::string &part);

// A run that is sent the signal, `times` times in a row, once its progress
// shows a file imported; `sent` tells whether it was.
RunOptions signalWhenImporting(int signal, int times, bool &sent);

// The rules 标题 from 文件主名 and 内容 from 文件内容.
inline const Rules kTitleAndText = {{"标题", "文件主名", "无"}, {"内容", "文件内容", "无"}};

// A test database of the sandbox with config.ini naming it, kTitleAndText and
// the folder `articles` of the test's own folder.
class ConfiguredDatabase : public SandboxDatabase {
protected:
    explicit ConfiguredDatabase(std::string articles)
        : m_articles(std::move(articles))
    {
    }
    void SetUp() override
    {
        SandboxDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::filesystem::create_directories(dir.file(m_articles));
        writeConfig(dir.file("config.ini"), kTitleAndText, name, dir.file(m_articles));
    }

    TempDir dir;

private:
    std::string m_articles;
};

// ConfiguredDatabase with the table 文章 (ID, 标题, 内容) and one article,
// a.txt, in its folder `articles`.
class OneArticleDatabase : public ConfiguredDatabase {
protected:
    OneArticleDatabase()
        : ConfiguredDatabase("articles")
    {
    }
    void SetUp() override;
    std::int64_t rows() { return std::stoll(column("select count(*) from `文章`").at(0)); }
};

// varnel-cli copied into a folder of its own, as an installed program: its
// settings file is the one in $XDG_CONFIG_HOME/varnel, in `folder`.
struct InstalledCli {
    explicit InstalledCli(const std::filesystem::path &folder);
    RunOptions run; // runs the copy
    std::filesystem::path settingsFile;
};

} // namespace varnel::test
