// Inputs the fuzz targets found. Each runs in a child process with a
// deadline, so an input that hangs fails its test instead of stalling the
// suite.
#include "text/RegexMatcher.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

namespace varnel {
namespace {

enum class ChildOutcome { Passed, Failed, Crashed, Hung };

// Runs `body` in a child process; Passed when it returns true within the
// deadline.
ChildOutcome inChild(const std::function<bool()> &body, std::chrono::seconds deadline = std::chrono::seconds(5))
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return ChildOutcome::Crashed;
    if (pid == 0)
        ::_exit(body() ? 0 : 1);
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return ChildOutcome::Hung;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WIFEXITED(status))
        return ChildOutcome::Crashed;
    return WEXITSTATUS(status) == 0 ? ChildOutcome::Passed : ChildOutcome::Failed;
}

std::string describe(ChildOutcome o)
{
    switch (o) {
    case ChildOutcome::Passed:
        return "passed";
    case ChildOutcome::Failed:
        return "gave a wrong result";
    case ChildOutcome::Crashed:
        return "crashed";
    case ChildOutcome::Hung:
        return "did not end within 5 seconds";
    }
    return "?";
}

// A lazy repeat of a group that can match nothing, followed by something that
// does not match there: the engine went round the empty group for ever (found
// by fuzz/regex_fuzz.cpp). A pattern typed into a rule must not be able to
// hang the program: matching ends. Where the text cannot match at all, it ends
// finding nothing and replacing nothing.
TEST(RegexFuzzFindings, LazyRepeatOfAnEmptyGroupEnds)
{
    for (const char *pattern : {"a()*?b", "a(?:)*?b", "a()+?b", "a(x?)*?b"}) {
        const ChildOutcome matched = inChild([&] {
            RegexMatcher m;
            return m.compile(pattern) && m.matchAll("ac") == 0;
        });
        EXPECT_EQ(matched, ChildOutcome::Passed) << "matchAll of " << pattern << " on \"ac\" " << describe(matched);
        const ChildOutcome replaced = inChild([&] {
            RegexMatcher m;
            return m.compile(pattern) && m.replaceAll("ac", "x") == "ac";
        });
        EXPECT_EQ(replaced, ChildOutcome::Passed) << "replaceAll of " << pattern << " on \"ac\" " << describe(replaced);
    }
    // The input as the fuzzer found it: whatever it finds, it ends.
    const ChildOutcome found = inChild([] {
        RegexMatcher m;
        m.compile("(\\d()*?-+\\w+)");
        m.matchAll("12-ab 34-cd");
        m.replaceAll("12-ab 34-cd", "x");
        return true;
    });
    EXPECT_EQ(found, ChildOutcome::Passed) << "(\\d()*?-+\\w+) on \"12-ab 34-cd\" " << describe(found);
}

} // namespace
} // namespace varnel
