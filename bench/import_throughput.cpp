// Import throughput against the server's own bulk path, in the same run.
//
// Generates N articles (about SIZE KB of Chinese text each, with quotes and
// backslashes, half GBK and half UTF-8), imports them with `varnel-cli import`
// into the sandbox server, and loads the same rows with LOAD DATA LOCAL
// INFILE into a sibling table. Prints files per second for both and the
// ratio, for each repetition and as the median, and the peak resident size
// of the imports (wait4's rusage).
//
//   import_throughput [N] [repetitions] [SIZE]   (defaults 5000, 3 and 4)
//
// The cases we watch: 5000 5 4, 1500 5 64, 200 5 1000, and 100000 1 1 (a
// folder of 100,000 files, listed and imported in one run).
//
// Needs the sandbox: eval "$(scripts/mysql-sandbox env)".
#include "BenchImport.h"
#include "BenchSupport.h"
#include "form/MemoryForm.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "transfer/Preview.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace varnel;
using namespace varnel::bench;

std::string article(int i, std::mt19937 &gen, std::size_t bytes)
{
    static const char *sentences[] = {
        "据报道，本市今年的经济发展保持平稳，居民收入继续增长。",
        "专家认为，“稳中有进”是下一阶段的关键词，还要加大投入。",
        "路径 C:\\new\\table 里的反斜杠，和 O'Reilly 的单引号，都要原样保存。",
        "城市的夜晚灯火通明，地铁里挤满了下班回家的人们。",
        "图书馆推出夜读服务，读者说：“终于有地方安静看书了。”",
    };
    std::string text = "第" + std::to_string(i) + "篇文章\r\n";
    while (text.size() < bytes)
        text += sentences[gen() % 5];
    return text;
}

std::string loadDataField(const std::string &v)
{
    std::string out;
    for (char c : v) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int sizeKb = argc > 3 ? std::max(1, std::atoi(argv[3])) : 4;
    const std::size_t articleBytes = static_cast<std::size_t>(sizeKb) * 1000;
    const Sandbox sandbox;
    if (!sandbox.present())
        return 1;
    const auto dir = std::filesystem::temp_directory_path() / ("varnel-throughput-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "articles");

    // The articles, and the configuration the import runs with.
    std::mt19937 gen(7);
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        const std::string text = article(i, gen, articleBytes);
        const auto path = dir / "articles" / ("文章" + std::to_string(i) + ".txt");
        writeWholeFile(path, i % 2 ? toGb18030(text) : "\xEF\xBB\xBF" + text);
        files.push_back(path.string());
    }
    MemoryForm form(mainFormSpec());
    setUpImportForm(form, "import_rows", dir / "articles");
    saveImportConfig(form, dir / "bench.ini");
    // The same rows for the bulk loader, computed by the same code.
    {
        std::ofstream tsv(dir / "rows.tsv", std::ios::binary);
        for (const PreviewRow &row : previewImport(form, files)) {
            for (std::size_t i = 0; i < row.values.size(); ++i)
                tsv << (i ? "\t" : "") << loadDataField(row.values[i].value);
            tsv << "\n";
        }
    }

    Server server;
    if (!server.connect(sandbox, true))
        return 1;
    server.query("create database if not exists varnel_bench character set utf8mb4");
    server.query("use varnel_bench");

    std::printf("%d articles of about %d KB, %d repetitions\n", n, sizeKb, repetitions);
    std::printf("%-4s %16s %16s %16s %8s %10s\n", "run", "import files/s", "--batch 1 files/s", "LOAD DATA rows/s",
        "ratio", "batch 1");
    std::vector<double> importRates, singleRates, loadRates, ratios, singleRatios;
    double peakRss = 0; // of any import
    for (int rep = 1; rep <= repetitions; ++rep) {
        server.query("drop table if exists import_rows");
        server.query("drop table if exists load_rows");
        auto timedImport = [&](const std::string &extra) {
            server.query("drop table if exists import_rows");
            const ChildRun run = runChild(std::string(VARNEL_CLI_PATH) + " import --clear " + extra + " --config '"
                + (dir / "bench.ini").string() + "'" + sandbox.cliOptions() + " >/dev/null 2>&1");
            if (run.status != 0) {
                std::fprintf(stderr, "varnel-cli import failed (%d)\n", run.status);
                std::exit(1);
            }
            peakRss = std::max(peakRss, run.peakRssMb);
            return run.seconds;
        };
        // Each measurement starts on a quiet server: InnoDB flushes what the
        // last one wrote in the background, which would slow the next.
        auto settle = [&] { bench::settle(server); };
        settle();
        const double singleSeconds = timedImport("--batch 1");
        settle();
        const double importSeconds = timedImport("");
        server.query("create table load_rows (ID bigint not null auto_increment primary key, `标题` tinytext, "
                     "`内容` mediumtext, `摘要` text) character set utf8mb4");
        settle();
        const auto start = Stopwatch::now();
        if (!server.query("load data local infile '" + (dir / "rows.tsv").string()
                + "' into table load_rows character set utf8mb4 (`标题`, `内容`, `摘要`)"))
            return 1;
        const double loadSeconds = std::chrono::duration<double>(Stopwatch::now() - start).count();
        importRates.push_back(n / importSeconds);
        singleRates.push_back(n / singleSeconds);
        loadRates.push_back(n / loadSeconds);
        ratios.push_back(importRates.back() / loadRates.back());
        singleRatios.push_back(singleRates.back() / loadRates.back());
        std::printf("%-4d %16.0f %16.0f %16.0f %8.3f %10.3f\n", rep, importRates.back(), singleRates.back(),
            loadRates.back(), ratios.back(), singleRatios.back());
    }
    std::printf("median: import %.0f files/s, --batch 1 %.0f files/s, LOAD DATA %.0f rows/s\n", median(importRates),
        median(singleRates), median(loadRates));
    std::printf("ratio (import / LOAD DATA): %.3f, spread %.3f .. %.3f; --batch 1: %.3f\n", median(ratios),
        *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
        median(singleRatios));
    std::printf("peak RSS of varnel-cli import: %.1f MB\n", peakRss);
    std::filesystem::remove_all(dir);
    return 0;
}
