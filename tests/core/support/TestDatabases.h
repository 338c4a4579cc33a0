#pragma once

// Finding and dropping the databases tests make, without a test framework:
// the gtest fixtures and the window tests share it.
#include "mysql/MySqlConnection.h"
#include "mysql/Quoting.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::test {

// The pid in a test database's name ("vt" pid "_" counter "_" ...), or none
// for a name that testDatabaseName() did not make.
inline std::optional<pid_t> testDatabasePid(std::string_view name)
{
    auto digits = [&](std::size_t from) {
        std::size_t end = from;
        while (end < name.size() && name[end] >= '0' && name[end] <= '9')
            ++end;
        return end;
    };
    if (!name.starts_with("vt"))
        return std::nullopt;
    const std::size_t pidEnd = digits(2);
    if (pidEnd == 2 || pidEnd - 2 > 9 || pidEnd >= name.size() || name[pidEnd] != '_')
        return std::nullopt;
    const std::size_t counterEnd = digits(pidEnd + 1);
    if (counterEnd == pidEnd + 1 || counterEnd >= name.size() || name[counterEnd] != '_')
        return std::nullopt;
    return static_cast<pid_t>(std::stol(std::string(name.substr(2, pidEnd - 2))));
}

// Whether a process of this machine has the pid (one of another user's
// counts: it may not be signalled, but it lives).
inline bool processLives(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The names of the server's databases, or none when they cannot be read.
inline std::optional<std::vector<std::string>> databaseNames(MySqlConnection &db)
{
    if (!db.execute("show databases"))
        return std::nullopt;
    auto r = db.storeResult();
    if (!r)
        return std::nullopt;
    std::vector<std::string> names;
    for (std::uint64_t i = 0; i < r->rowCount(); ++i) {
        r->seekRow(i);
        std::string v;
        r->readField(0.0, v);
        names.push_back(v);
    }
    return names;
}

// Drops the databases of test processes that are gone (a run that was killed
// never reached its TearDown), and returns their names. A database of a
// living process is left alone: another run may be using it.
inline std::vector<std::string> dropStaleTestDatabases(MySqlConnection &db)
{
    std::vector<std::string> dropped;
    for (const std::string &name : databaseNames(db).value_or(std::vector<std::string>{})) {
        const std::optional<pid_t> pid = testDatabasePid(name);
        if (pid && !processLives(*pid) && db.execute("drop database if exists " + quoteIdentifier(name)))
            dropped.push_back(name);
    }
    return dropped;
}

// Drops a test's database and those it named after it (name + a suffix),
// false when some could not be. The test's own connection goes first, as it
// may hold locks on them; when it was closed or killed, it is let go and a
// fresh connection does it.
inline bool dropTestDatabases(MySqlConnection &db, const std::string &server, const std::string &user,
    const std::string &password, const std::string &name)
{
    auto dropAll = [&name](MySqlConnection &c) {
        const auto names = databaseNames(c);
        if (!names)
            return false;
        bool all = true;
        for (const std::string &n : *names) {
            if (n.starts_with(name))
                all = c.execute("drop database if exists " + quoteIdentifier(n)) && all;
        }
        return all;
    };
    if (db.isOpen() && dropAll(db))
        return true;
    db.disconnect();
    MySqlConnection fresh;
    return fresh.connect(server, user, password) && fresh.execute("set session lock_wait_timeout = 30")
        && dropAll(fresh);
}

} // namespace varnel::test
