// Import throughput against the server's own bulk paths, in the same run.
//
// Generates N articles (about SIZE KB of Chinese text each, with quotes and
// backslashes, half GBK and half UTF-8) and stores the same rows three ways,
// each into a table of the same shape:
//   - `varnel-cli import` of the folder (the program, start to end);
//   - LOAD DATA LOCAL INFILE of the rows, computed by the same code;
//   - a multi-row INSERT script of the same rows, 500 rows a statement,
//     built before the clock starts and sent over one connection: the
//     server's ingest ceiling for this row shape.
// Every measured run starts on its freshly truncated table after the server
// has written out what the last run changed and a one-second pause, and the
// order of the three rotates from repetition to repetition (whichever runs
// first after a TRUNCATE is faster on a virtual disk). Prints each
// repetition, then the medians with their spread, and the peak resident size
// of the imports (wait4's rusage).
//
//   import_throughput [N] [repetitions] [SIZE]   (defaults 5000, 5 and 4)
//
// The cases we watch: 5000 5 4, 1500 5 64, 200 5 1000, and 100000 1 1 (a
// folder of 100,000 files, listed and imported in one run).
//
// Needs the sandbox: eval "$(scripts/mysql-sandbox env)". With
// VARNEL_BENCH_KEEP=1 the articles and bench.ini stay, for a profiler;
// VARNEL_CLI=path measures another build of varnel-cli (an older one, for a
// before and after from the same run of the references).
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
#include <functional>
#include <random>
#include <string>
#include <thread>
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

// A quoted SQL string literal of the value, escaped as the server's own
// client escapes it.
std::string sqlLiteral(MYSQL *m, const std::string &v)
{
    std::string out(v.size() * 2 + 3, '\0');
    out[0] = '\'';
    const unsigned long n = mysql_real_escape_string(m, out.data() + 1, v.data(), v.size());
    out.resize(n + 1);
    out += '\'';
    return out;
}

std::string spread(const std::vector<double> &v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f (%.3f .. %.3f)", median(v), *std::min_element(v.begin(), v.end()),
        *std::max_element(v.begin(), v.end()));
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
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

    Server server;
    if (!server.connect(sandbox, true))
        return 1;
    server.query("create database if not exists varnel_bench character set utf8mb4");
    server.query("use varnel_bench");

    // The same rows for the bulk loader and the script, computed by the same
    // code as the import's.
    const std::vector<PreviewRow> rows = previewImport(form, files);
    {
        std::ofstream tsv(dir / "rows.tsv", std::ios::binary);
        for (const PreviewRow &row : rows) {
            for (std::size_t i = 0; i < row.values.size(); ++i)
                tsv << (i ? "\t" : "") << loadDataField(row.values[i].value);
            tsv << "\n";
        }
    }
    std::vector<std::string> script;
    for (std::size_t first = 0; first < rows.size(); first += 500) {
        std::string statement = "insert into script_rows (`标题`, `内容`, `摘要`) values ";
        for (std::size_t r = first; r < std::min(rows.size(), first + 500); ++r) {
            statement += r == first ? "(" : ",(";
            for (std::size_t i = 0; i < rows[r].values.size(); ++i)
                statement += (i ? "," : "") + sqlLiteral(server.m, rows[r].values[i].value);
            statement += ")";
        }
        script.push_back(std::move(statement));
    }

    // One table per method, all of the shape the import makes.
    for (const char *table : {"import_rows", "load_rows", "script_rows"}) {
        server.query(std::string("drop table if exists ") + table);
        if (!server.query(std::string("create table ") + table
                + " (ID bigint not null auto_increment primary key, `标题` tinytext, `内容` mediumtext, `摘要` text)"
                  " character set utf8mb4"))
            return 1;
    }

    const std::string cli = env("VARNEL_CLI", VARNEL_CLI_PATH);
    double peakRss = 0; // of any import
    auto timedImport = [&] {
        const ChildRun run = runChild(cli + " import --config '" + (dir / "bench.ini").string() + "'"
            + sandbox.cliOptions() + " >/dev/null 2>&1");
        if (run.status != 0) {
            std::fprintf(stderr, "varnel-cli import failed (%d)\n", run.status);
            std::exit(1);
        }
        peakRss = std::max(peakRss, run.peakRssMb);
        return run.seconds;
    };
    auto timedLoad = [&] {
        const auto start = Stopwatch::now();
        if (!server.query("load data local infile '" + (dir / "rows.tsv").string()
                + "' into table load_rows character set utf8mb4 (`标题`, `内容`, `摘要`)"))
            std::exit(1);
        return std::chrono::duration<double>(Stopwatch::now() - start).count();
    };
    auto timedScript = [&] {
        const auto start = Stopwatch::now();
        for (const std::string &statement : script) {
            if (!server.query(statement))
                std::exit(1);
        }
        return std::chrono::duration<double>(Stopwatch::now() - start).count();
    };
    struct Method {
        const char *name, *table;
        std::function<double()> run;
        std::vector<double> rates;
    };
    Method methods[] = {{"import", "import_rows", timedImport, {}}, {"LOAD DATA", "load_rows", timedLoad, {}},
        {"script", "script_rows", timedScript, {}}};

    std::printf("%d articles of about %d KB, %d repetitions, the order rotating\n", n, sizeKb, repetitions);
    std::printf("%-4s %-28s %14s %14s %14s %9s %9s\n", "run", "order", "import files/s", "LOAD DATA rows/s",
        "script rows/s", "÷ LOAD", "÷ script");
    std::vector<double> loadRatios, scriptRatios;
    for (int rep = 0; rep < repetitions; ++rep) {
        std::string order;
        for (int k = 0; k < 3; ++k) {
            Method &m = methods[(rep + k) % 3];
            // The same fresh state for each: an empty table, the server's
            // writes of the last run on disk, a pause.
            server.query(std::string("truncate table ") + m.table);
            settle(server);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const double seconds = m.run();
            if (server.value(std::string("select count(*) from ") + m.table) != std::to_string(n)) {
                std::fprintf(stderr, "%s stored a different number of rows\n", m.name);
                return 1;
            }
            m.rates.push_back(n / seconds);
            order += (k ? ", " : "") + std::string(m.name);
        }
        loadRatios.push_back(methods[0].rates.back() / methods[1].rates.back());
        scriptRatios.push_back(methods[0].rates.back() / methods[2].rates.back());
        std::printf("%-4d %-28s %14.0f %14.0f %14.0f %9.3f %9.3f\n", rep + 1, order.c_str(), methods[0].rates.back(),
            methods[1].rates.back(), methods[2].rates.back(), loadRatios.back(), scriptRatios.back());
    }
    std::printf("median: import %.0f files/s, LOAD DATA %.0f rows/s, script %.0f rows/s\n", median(methods[0].rates),
        median(methods[1].rates), median(methods[2].rates));
    std::printf("import / LOAD DATA: %s\n", spread(loadRatios).c_str());
    std::printf("import / script:    %s\n", spread(scriptRatios).c_str());
    std::printf("peak RSS of varnel-cli import: %.1f MB\n", peakRss);
    server.query("drop table if exists load_rows");
    server.query("drop table if exists script_rows");
    // VARNEL_BENCH_KEEP=1 leaves the articles and the configuration for a
    // profiler.
    if (env("VARNEL_BENCH_KEEP").empty())
        std::filesystem::remove_all(dir);
    else
        std::printf("kept: %s\n", dir.c_str());
    return 0;
}
