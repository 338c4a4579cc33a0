#pragma once

// What the benchmarks share: the sandbox's address from the environment, a
// plain client connection for setting up and for the reference figures, a
// child process timed with its peak resident size, and the median.

#include <mysql.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace varnel::bench {

using Stopwatch = std::chrono::steady_clock;

inline std::string env(const char *name, const char *fallback = "")
{
    const char *v = std::getenv(name);
    return v ? v : fallback;
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// The sandbox as eval "$(scripts/mysql-sandbox env)" describes it.
struct Sandbox {
    std::string host = env("VARNEL_DB_HOST"), port = env("VARNEL_DB_PORT", "3406");
    std::string user = env("VARNEL_DB_USER", "root"), password = env("VARNEL_DB_PASSWORD");
    bool present() const
    {
        if (host.empty())
            std::fprintf(stderr, "run eval \"$(scripts/mysql-sandbox env)\" first\n");
        return !host.empty();
    }
    // The varnel-cli options that reach it.
    std::string cliOptions() const
    {
        return " --server " + host + ":" + port + " --user '" + user + "' --password '" + password + "'";
    }
};

struct Server {
    MYSQL *m = nullptr;
    Server() = default;
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;
    ~Server()
    {
        if (m)
            mysql_close(m);
    }
    bool connect(const Sandbox &sandbox, bool localInfile = false)
    {
        m = mysql_init(nullptr);
        unsigned on = localInfile ? 1 : 0;
        mysql_optionsv(m, MYSQL_OPT_LOCAL_INFILE, &on);
        if (!mysql_real_connect(m, sandbox.host.c_str(), sandbox.user.c_str(), sandbox.password.c_str(), nullptr,
                static_cast<unsigned>(std::atoi(sandbox.port.c_str())), nullptr, 0)) {
            std::fprintf(stderr, "connect: %s\n", mysql_error(m));
            return false;
        }
        mysql_set_character_set(m, "utf8mb4");
        return true;
    }
    bool query(const std::string &sql)
    {
        if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
            std::fprintf(stderr, "%s: %s\n", sql.substr(0, 80).c_str(), mysql_error(m));
            return false;
        }
        if (MYSQL_RES *r = mysql_store_result(m))
            mysql_free_result(r);
        return true;
    }
    std::string value(const std::string &sql)
    {
        std::string out;
        if (mysql_real_query(m, sql.data(), sql.size()) != 0)
            return out;
        if (MYSQL_RES *r = mysql_store_result(m)) {
            if (MYSQL_ROW row = mysql_fetch_row(r); row && row[0])
                out = row[0];
            mysql_free_result(r);
        }
        return out;
    }
};

// Waits (at most 30 s) until InnoDB has written out what the last step
// changed and the page cache is on disk, so that the next measurement does
// not share the disk with the last one's background writes. The page cleaner
// is told to write everything out at full speed meanwhile (left to itself it
// keeps thousands of pages dirty for minutes), and put back afterwards.
inline void settle(Server &server)
{
    server.query("flush tables");
    const std::string pct = server.value("select @@global.innodb_max_dirty_pages_pct");
    const std::string capacity = server.value("select @@global.innodb_io_capacity");
    const std::string capacityMax = server.value("select @@global.innodb_io_capacity_max");
    server.query("set global innodb_io_capacity_max = 40000");
    server.query("set global innodb_io_capacity = 20000");
    server.query("set global innodb_max_dirty_pages_pct = 0");
    for (int i = 0; i < 300; ++i) {
        const std::string dirty = server.value("select variable_value from information_schema.global_status "
                                               "where variable_name = 'INNODB_BUFFER_POOL_PAGES_DIRTY'");
        if (dirty.empty() || std::atol(dirty.c_str()) == 0)
            break;
        ::usleep(100 * 1000);
    }
    if (!pct.empty())
        server.query("set global innodb_max_dirty_pages_pct = " + pct);
    if (!capacity.empty())
        server.query("set global innodb_io_capacity = " + capacity);
    if (!capacityMax.empty())
        server.query("set global innodb_io_capacity_max = " + capacityMax);
    ::sync();
    ::usleep(300 * 1000);
}

struct ChildRun {
    double seconds = 0;
    double peakRssMb = 0;
    int status = -1; // the exit status; -1 when it did not exit normally
};

// Runs a shell command in a child: its time and peak resident size. The
// command is started by measure_child, so that the size is the command's own
// and not that of this process, which the fork would pass on.
inline ChildRun runChild(const std::string &command)
{
    ChildRun run;
    int report[2];
    if (::pipe(report) != 0)
        return run;
    const auto start = Stopwatch::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(report[0]);
        ::execl(VARNEL_MEASURE_CHILD, "measure_child", std::to_string(report[1]).c_str(), command.c_str(),
            static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(Stopwatch::now() - start).count();
    char text[64] = {};
    const ssize_t n = ::read(report[0], text, sizeof text - 1);
    ::close(report[0]);
    long rssKb = 0;
    if (n > 0 && std::sscanf(text, "%d %ld", &run.status, &rssKb) == 2)
        run.peakRssMb = rssKb / 1024.0;
    else
        run.status = -1;
    return run;
}

} // namespace varnel::bench
