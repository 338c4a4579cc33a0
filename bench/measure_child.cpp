// measure_child FD COMMAND
//
// Runs COMMAND with /bin/sh -c and writes "STATUS PEAK_RSS_KB" to the file
// descriptor FD. The benchmarks start their commands through it because a
// child's peak resident size counts the pages of the process it was forked
// from: a benchmark holding 200 MB of test data would see every command it
// forks peak at 200 MB or more. Forked from this small program instead, the
// command's figure is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const int fd = std::atoi(argv[1]);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fd);
        ::execl("/bin/sh", "sh", "-c", argv[2], static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) < 0)
        return 1;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::string report = std::to_string(code) + " " + std::to_string(usage.ru_maxrss) + "\n";
    return ::write(fd, report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1;
}
