// Export throughput and memory against plain copies, in the same run.
//
// Throughput: a table of N rows (about 4 KB of Chinese text each) is exported
// with `varnel-cli export` as UTF-8 files; the same files are then copied with
// `cp -r` (the copy and the export take turns at going first), and the same
// rows read with the `mariadb` client into /dev/null. The files go under
// $TMPDIR: TMPDIR=/dev/shm measures the work without the disk.
// Prints files per second for each and the ratio export / cp -r, for each
// repetition and as the median.
//
// Memory: tables of the given sizes (rows of 64 KB) are exported the same
// way; the peak resident size of the export process (wait4's rusage) is
// printed beside the table's size and the bound 64 MB + the largest row.
//
//   export_throughput [N] [repetitions] [table MB ...]   (defaults 5000 3 20 2000)
//
// Needs the sandbox: eval "$(scripts/mysql-sandbox env)".
#include "BenchSupport.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "settings/SettingsStore.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace varnel;
using namespace varnel::bench;

std::size_t countFiles(const std::filesystem::path &dir)
{
    std::size_t n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        ++n;
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<long> tableMb;
    for (int i = 3; i < argc; ++i)
        tableMb.push_back(std::atol(argv[i]));
    if (argc <= 3)
        tableMb = {20, 2000};
    const Sandbox sandbox;
    if (!sandbox.present())
        return 1;
    const auto dir = std::filesystem::temp_directory_path() / ("varnel-export-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    Server server;
    if (!server.connect(sandbox))
        return 1;
    server.query("create database if not exists varnel_bench character set utf8mb4");
    server.query("use varnel_bench");

    // Rows of `bytes` bytes of Chinese text with a numbered title; the
    // sequence engine makes them on the server.
    auto makeTable = [&](const std::string &table, long rows, long bytes) {
        server.query("drop table if exists " + table);
        server.query("create table " + table
            + " (ID bigint not null auto_increment primary key, `标题` varchar(100), `内容` longtext) "
              "engine=InnoDB character set utf8mb4");
        const std::string sentence =
            "据报道，本市今年的经济发展保持平稳，居民收入继续增长。路径 C:\\\\new 和 O''Reilly。";
        const long repeat = bytes / static_cast<long>(sentence.size() - 3) + 1;
        const long step = 20000;
        for (long from = 1; from <= rows; from += step) {
            const long to = std::min(rows, from + step - 1);
            server.query("insert into " + table
                + " (`标题`, `内容`) select concat('文章', seq), left(concat(seq, '：', " + "repeat('" + sentence
                + "', " + std::to_string(repeat) + ")), " + std::to_string(bytes / 3) + ") from seq_"
                + std::to_string(from) + "_to_" + std::to_string(to));
        }
    };

    auto configFor = [&](const std::string &table, const std::filesystem::path &out) {
        MemoryForm form(mainFormSpec());
        form.clearRows();
        for (const auto &[target, source] : {std::pair{"标题", "文件主名"}, std::pair{"内容", "文件内容"}}) {
            const int r = form.appendRow();
            form.setCell(r, 0, target);
            form.setCell(r, 1, source);
            form.setCell(r, 2, "无");
        }
        form.control("编辑框库名")->setText("varnel_bench");
        form.control("编辑框表名")->setText(table);
        form.control("编辑框文章目录")->setText(out.string());
        form.control("编辑框文件类型")->setText("*.html");
        form.control("组合框文件编码")->setCurrentIndex(2); // UTF-8
        const auto ini = dir / (table + ".ini");
        SettingsStore store;
        store.open(ini);
        saveMainConfig(store, form);
        return ini;
    };
    auto exportCommand = [&](const std::filesystem::path &ini, const std::filesystem::path &folder) {
        return std::string(VARNEL_CLI_PATH) + " export --config '" + ini.string() + "'" + sandbox.cliOptions()
            + " --folder '" + folder.string() + "' >/dev/null 2>&1";
    };
    auto settle = [&] { bench::settle(server); };

    // Throughput.
    makeTable("export_rows", n, 4000);
    // Every repetition writes into folders of its own, and nothing is deleted
    // until the end: ext4 allocates inodes slowly next to recently deleted
    // ones, which would slow whichever run follows a deletion.
    const auto ini = configFor("export_rows", dir / "out");
    // One export first, not counted: the first after the table is made
    // runs while the server and the disk are still busy with the table.
    settle();
    runChild(exportCommand(ini, dir / "warm-up"));
    std::printf("%d rows of about 4 KB exported as UTF-8 files, %d repetitions\n", n, repetitions);
    std::printf("%-4s %14s %14s %16s %8s %10s\n", "run", "export files/s", "cp -r files/s", "mariadb rows/s", "ratio",
        "RSS MB");
    std::vector<double> exportRates, copyRates, clientRates, ratios;
    for (int rep = 1; rep <= repetitions; ++rep) {
        const auto out = dir / ("out" + std::to_string(rep)), copy = dir / ("copy" + std::to_string(rep));
        // The copy needs files to copy: the first repetition exports first,
        // later ones take turns, so that neither always runs on a disk the
        // other has just filled with dirty pages.
        const auto previous = dir / ("out" + std::to_string(rep - 1));
        const bool copyFirst = rep % 2 == 0;
        ChildRun copied;
        if (copyFirst) {
            settle();
            copied = runChild("cp -r '" + previous.string() + "' '" + copy.string() + "'");
        }
        settle();
        const ChildRun exported = runChild(exportCommand(ini, out));
        if (exported.status != 0 || countFiles(out) != static_cast<std::size_t>(n)) {
            std::fprintf(stderr, "varnel-cli export failed (%d, %zu files)\n", exported.status, countFiles(out));
            return 1;
        }
        if (!copyFirst) {
            settle();
            copied = runChild("cp -r '" + out.string() + "' '" + copy.string() + "'");
        }
        settle();
        const ChildRun client = runChild("mariadb -N -h " + sandbox.host + " -P " + sandbox.port + " -u '"
            + sandbox.user + "' -p'" + sandbox.password
            + "' --default-character-set=utf8mb4 -e 'select * from varnel_bench.export_rows' > /dev/null");
        exportRates.push_back(n / exported.seconds);
        copyRates.push_back(n / copied.seconds);
        clientRates.push_back(n / client.seconds);
        ratios.push_back(exportRates.back() / copyRates.back());
        std::printf("%-4d %14.0f %14.0f %16.0f %8.3f %10.1f\n", rep, exportRates.back(), copyRates.back(),
            clientRates.back(), ratios.back(), exported.peakRssMb);
    }
    std::printf("median: export %.0f files/s, cp -r %.0f files/s, mariadb %.0f rows/s\n", median(exportRates),
        median(copyRates), median(clientRates));
    std::printf("ratio (export / cp -r): %.3f, spread %.3f .. %.3f (goal >= 0.8)\n", median(ratios),
        *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    server.query("drop table if exists export_rows");

    // Memory.
    const long rowBytes = 65536;
    std::printf("\n%12s %10s %14s %14s %10s\n", "table MB", "rows", "peak RSS MB", "bound MB", "seconds");
    for (const long mb : tableMb) {
        const long rows = std::max(1L, mb * 1024 * 1024 / rowBytes);
        makeTable("export_big", rows, rowBytes);
        const std::string largest = server.value("select max(length(`内容`)) from export_big");
        const auto bigIni = configFor("export_big", dir / "big");
        settle();
        const ChildRun exported = runChild(exportCommand(bigIni, dir / ("big" + std::to_string(mb))));
        if (exported.status != 0)
            std::fprintf(stderr, "varnel-cli export failed (%d)\n", exported.status);
        const double bound = 64.0 + std::atof(largest.c_str()) / (1024 * 1024);
        std::printf("%12ld %10ld %14.1f %14.1f %10.1f\n", mb, rows, exported.peakRssMb, bound, exported.seconds);
        server.query("drop table if exists export_big");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
