#include "CliRun.h"

#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace varnel::test {

void OneArticleDatabase::SetUp()
{
    ConfiguredDatabase::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    ASSERT_TRUE(db.execute("create table `文章` (ID bigint auto_increment primary key, `标题` varchar(100), "
                           "`内容` text) character set utf8mb4"));
    writeBytes(dir.file("articles/a.txt"), "甲");
}

InstalledCli::InstalledCli(const std::filesystem::path &folder)
{
    const std::filesystem::path bin = folder / "prefix/bin", xdg = folder / "xdg";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(xdg / "varnel");
    std::filesystem::copy_file(VARNEL_CLI_PATH, bin / "varnel-cli");
    settingsFile = xdg / "varnel" / (std::string(kApplicationTitle) + ".ini");
    run.program = (bin / "varnel-cli").string();
    run.inChild = [xdg] { ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1); };
}

// Runs varnel-cli with the arguments, collecting stdout and stderr apart.
Output runCli(const std::vector<std::string> &args, const RunOptions &run)
{
    Output o;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return o;
    std::vector<std::string> argv = {run.program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        // Opened before inChild, which may drop privileges: the build tree
        // may lie in a folder only its owner can enter.
        const int program = ::open(cargv[0], O_RDONLY | O_CLOEXEC);
        if (run.inChild)
            run.inChild();
        ::fexecve(program, cargv.data(), environ);
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&o.out, &o.err};
    int open = 2;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run.killAfterSeconds);
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            deadline += std::chrono::hours(1);
        }
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::array<char, 4096> buf;
            const ssize_t n = ::read(fds[i].fd, buf.data(), buf.size());
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            sinks[i]->append(buf.data(), static_cast<std::size_t>(n));
            if (i == 1 && run.onStderr)
                run.onStderr(pid, o.err);
        }
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

// Writes a configuration as the window would have saved it.
void writeConfig(const std::filesystem::path &path, const Rules &rules, const std::string &database,
    const std::filesystem::path &folder)
{
    MemoryForm form(mainFormSpec());
    form.clearRows();
    for (const auto &r : rules) {
        const int i = form.appendRow();
        for (int c = 0; c < 3; ++c)
            form.setCell(i, c, r[static_cast<std::size_t>(c)]);
    }
    form.control("编辑框库名")->setText(database);
    form.control("编辑框表名")->setText("文章");
    form.control("编辑框文章目录")->setText(folder.string());
    form.control("选择框遍历子目录")->setChecked(true);
    SettingsStore store;
    store.open(path);
    saveMainConfig(store, form);
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// A run that is sent the signal, `times` times in a row, once its progress
// shows a file imported; `sent` tells whether it was.
RunOptions signalWhenImporting(int signal, int times, bool &sent)
{
    RunOptions run;
    run.onStderr = [signal, times, &sent](pid_t pid, const std::string &err) {
        if (!sent && contains(err, " 已导入 ")) {
            for (int i = 0; i < times; ++i) {
                // Apart: a second signal sent before the first was taken
                // would be the same one.
                if (i > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                ::kill(pid, signal);
            }
            sent = true;
        }
    };
    return run;
}

} // namespace varnel::test
