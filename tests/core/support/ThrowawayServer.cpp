#include "support/ThrowawayServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mysql.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace varnel::test {
namespace {

std::string findProgram(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        for (const char *dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"}) {
            const std::string path = std::string(dir) + name;
            if (::access(path.c_str(), X_OK) == 0)
                return path;
        }
    }
    return {};
}

std::string userName()
{
    const char *u = std::getenv("USER");
    if (::geteuid() == 0)
        return "root";
    return u ? u : "nobody";
}

// Starts argv[0] with its output going to the given file (or nowhere), in a
// session of its own so that it takes none of the terminal's signals.
pid_t spawn(const std::vector<std::string> &argv, const std::filesystem::path &log = {})
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::setsid();
    const int in = ::open("/dev/null", O_RDONLY);
    const int out =
        log.empty() ? ::open("/dev/null", O_WRONLY) : ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int runQuietly(const std::vector<std::string> &argv, const std::filesystem::path &log)
{
    const pid_t pid = spawn(argv, log);
    if (pid < 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

unsigned freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    unsigned port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

// One freshly installed data directory per build tree, copied for each server.
std::filesystem::path dataTemplate(std::string &error)
{
    // Beside the test program, wherever it is run from.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path base =
        (ec ? std::filesystem::temp_directory_path() : exe.parent_path()) / "throwaway-mariadb-template";
    const std::filesystem::path data = base / "data";
    const std::filesystem::path ready = base / "ready";
    std::filesystem::create_directories(base);
    const int lock = ::open((base.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ::flock(lock, LOCK_EX);
    if (!std::filesystem::exists(ready)) {
        std::filesystem::remove_all(data, ec);
        const std::string installer = findProgram({"mariadb-install-db", "mysql_install_db"});
        if (installer.empty()
            || runQuietly({installer, "--no-defaults", "--datadir=" + data.string(), "--user=" + userName(),
                              "--skip-test-db", "--auth-root-authentication-method=normal"},
                   base / "install.log")
                != 0)
            error = "mariadb-install-db failed, see " + (base / "install.log").string();
        else
            std::filesystem::create_directories(ready);
    }
    ::close(lock);
    return data;
}

} // namespace

bool mariadbInstalled()
{
    return !findProgram({"mariadbd", "mysqld"}).empty()
        && !findProgram({"mariadb-install-db", "mysql_install_db"}).empty();
}

ThrowawayServer::ThrowawayServer(std::string options)
    : m_options(std::move(options))
{
    const std::filesystem::path source = dataTemplate(m_error);
    if (!m_error.empty())
        return;
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-server-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        m_error = "mkdtemp failed";
        return;
    }
    m_dir = pattern;
    std::error_code ec;
    std::filesystem::copy(source, m_dir / "data", std::filesystem::copy_options::recursive, ec);
    if (ec) {
        m_error = "cannot copy the data directory: " + ec.message();
        return;
    }
    m_port = freePort();
    start();
}

ThrowawayServer::~ThrowawayServer()
{
    if (m_pid > 0) {
        thaw();
        kill();
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
}

bool ThrowawayServer::start()
{
    const std::string server = findProgram({"mariadbd", "mysqld"});
    if (server.empty()) {
        m_error = "no MariaDB server installed";
        return false;
    }
    std::error_code made;
    std::filesystem::create_directories(m_dir / "tmp", made);
    std::vector<std::string> argv = {server, "--no-defaults", "--datadir=" + (m_dir / "data").string(),
        "--user=" + userName(), "--bind-address=127.0.0.1", "--port=" + std::to_string(m_port),
        "--socket=" + (m_dir / "sock").string(), "--pid-file=" + (m_dir / "pid").string(),
        "--log-error=" + (m_dir / "error.log").string(),
        // A server that starts removes every "#sql…" file of its temporary
        // folder, also another server's table in use: a folder of its own.
        "--tmpdir=" + (m_dir / "tmp").string(), "--character-set-server=utf8mb4",
        "--collation-server=utf8mb4_general_ci", "--innodb-buffer-pool-size=32M", "--innodb-log-file-size=48M",
        "--performance-schema=OFF", "--max-allowed-packet=64M"};
    for (std::size_t at = 0; at < m_options.size();) {
        const auto space = m_options.find(' ', at);
        const std::string option = m_options.substr(at, space == std::string::npos ? std::string::npos : space - at);
        if (!option.empty())
            argv.push_back(option);
        at = space == std::string::npos ? m_options.size() : space + 1;
    }
    const pid_t pid = spawn(argv);
    if (pid < 0) {
        m_error = "fork failed";
        return false;
    }
    m_pid = pid;
    // Up when it answers a query.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "the server exited; see " + (m_dir / "error.log").string();
            return false;
        }
        MYSQL *m = mysql_init(nullptr);
        unsigned timeout = 2;
        mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
        const bool up = mysql_real_connect(m, "127.0.0.1", "root", nullptr, nullptr, m_port, nullptr, 0) != nullptr
            && mysql_query(m, "select 1") == 0;
        mysql_close(m);
        if (up) {
            m_error.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    m_error = "the server did not answer within 60 s";
    return false;
}

void ThrowawayServer::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

namespace {

// Every thread of the process has stopped: a signal is delivered on the
// kernel's time, and a thread busy on another core may still finish the
// statement it holds.
bool allThreadsStopped(pid_t pid)
{
    std::error_code ec;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t after = line.rfind(')');
        if (after == std::string::npos || after + 2 >= line.size())
            return false;
        const char state = line[after + 2];
        if (state != 'T' && state != 't')
            return false;
    }
    return !ec;
}

} // namespace

void ThrowawayServer::freeze()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGSTOP);
    for (int i = 0; i < 2000 && !allThreadsStopped(m_pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ThrowawayServer::thaw()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
}

} // namespace varnel::test
