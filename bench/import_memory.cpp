// Peak memory of importing one large article, beside the bound it must keep.
//
// Writes a GBK article of the given size (Chinese text with quotes and
// backslashes), imports it with `varnel-cli import` into a LONGTEXT column of
// the sandbox server (max_allowed_packet raised to 1 GB for the run and put
// back afterwards), checks that the row arrived whole, and prints the peak
// resident size of the import process (wait4's rusage) beside the file's
// size, its decoded size (UTF-8) and the bound 3 x decoded + 64 MB.
//
//   import_memory [repetitions] [file MB ...]      (defaults 3 150)
//
// Needs the sandbox: eval "$(scripts/mysql-sandbox env)".
#include "BenchImport.h"
#include "BenchSupport.h"
#include "form/MemoryForm.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace varnel;
using namespace varnel::bench;

// Peak RSS in MB of a shell command run in a child, or -1 when it failed.
double peakRssMb(const std::string &command)
{
    const ChildRun run = runChild(command);
    return run.status == 0 ? run.peakRssMb : -1;
}

} // namespace

int main(int argc, char **argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<long> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atol(argv[i]));
    if (sizes.empty())
        sizes = {150};
    const Sandbox sandbox;
    if (!sandbox.present())
        return 1;
    const auto dir = std::filesystem::temp_directory_path() / ("varnel-import-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "articles");

    Server server;
    if (!server.connect(sandbox))
        return 1;
    const std::string oldPacket = server.value("select @@global.max_allowed_packet");
    server.query("set global max_allowed_packet = 1073741824");
    server.query("create database if not exists varnel_bench character set utf8mb4");
    server.query("use varnel_bench");

    MemoryForm form(mainFormSpec());
    setUpImportForm(form, "import_big", dir / "articles");
    saveImportConfig(form, dir / "bench.ini");

    std::printf("%9s %12s %12s %14s %12s %8s\n", "file MB", "decoded MB", "peak RSS MB", "spread MB", "bound MB", "ok");
    for (const long mb : sizes) {
        std::filesystem::remove_all(dir / "articles");
        std::filesystem::create_directories(dir / "articles");
        const std::string sentence =
            "据报道，本市今年的经济发展保持平稳，居民收入继续增长。路径 C:\\new 和 O'Reilly 的“引号”。\r\n";
        std::string gbk;
        {
            const std::string gbSentence = toGb18030(sentence);
            gbk.reserve(static_cast<std::size_t>(mb) * 1024 * 1024 + gbSentence.size());
            while (gbk.size() < static_cast<std::size_t>(mb) * 1024 * 1024)
                gbk += gbSentence;
        }
        const double decodedMb = static_cast<double>(fromGb18030(gbk).size()) / (1024 * 1024);
        writeWholeFile(dir / "articles" / "大文章.txt", gbk);
        gbk = std::string();

        std::vector<double> peaks;
        bool whole = true;
        for (int rep = 0; rep < repetitions; ++rep) {
            server.query("drop table if exists import_big");
            server.query("create table import_big (ID bigint not null auto_increment primary key, `标题` varchar(255), "
                         "`内容` longtext, `摘要` text) engine=InnoDB character set utf8mb4");
            const std::string command = std::string(VARNEL_CLI_PATH) + " import --config '"
                + (dir / "bench.ini").string() + "'" + sandbox.cliOptions() + " >/dev/null 2>&1";
            peaks.push_back(peakRssMb(command));
            const std::string stored = server.value("select length(`内容`) from import_big");
            whole = whole && std::atof(stored.c_str()) / (1024 * 1024) > decodedMb - 0.01;
        }
        const double bound = 3 * decodedMb + 64;
        std::printf("%9ld %12.1f %12.1f %6.1f..%-6.1f %12.1f %8s\n", mb, decodedMb, median(peaks),
            *std::min_element(peaks.begin(), peaks.end()), *std::max_element(peaks.begin(), peaks.end()), bound,
            whole ? (median(peaks) <= bound ? "yes" : "over") : "NOT STORED");
    }
    server.query("drop table if exists import_big");
    if (!oldPacket.empty())
        server.query("set global max_allowed_packet = " + oldPacket);
    std::filesystem::remove_all(dir);
    return 0;
}
