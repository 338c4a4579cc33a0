// Many field rules: the time of saving a configuration with 1,000, 4,000 and
// 10,000 rules, and of each step of a preview with them, in process and
// through `varnel-cli preview`.
//
// The rules cycle through the data sources with their usual options. Steps:
// restoring the configuration into a form, checking the rules, and the
// preview of one article; then the whole command line with the same file.
// Each figure is the median of the repetitions; the 1,000-rule time times
// the rule ratio is printed beside the larger counts as the linear reference.
//
//   rules_preview [repetitions] [rule counts ...]   (defaults 3 1000 4000 10000)
#include "BenchSupport.h"
#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"
#include "settings/SettingsStore.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "transfer/Preview.h"

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

template <typename F> double seconds(F &&f)
{
    const auto start = Stopwatch::now();
    f();
    return std::chrono::duration<double>(Stopwatch::now() - start).count();
}

void addRules(Form &form, int count)
{
    const std::pair<const char *, std::vector<std::string>> kinds[] = {
        {"文件主名", {}},
        {"文件内容", {}},
        {"网页标题", {"<title>", "</title>"}},
        {"内容摘要", {"40", "60"}},
        {"文件时间", {}},
        {"随机汉字", {"2", "6", "真", "假", "假"}},
        {"随机字母数字", {"4", "8", "真", "真", "假"}},
        {"随机时间", {"2020-01-01 00:00:00", "2024-12-31 23:59:59"}},
        {"随机词组", {"甲|乙|丙", "|"}},
        {"父目录名", {}},
        {"固定文本", {"固定的文字"}},
        {"时间戳", {"真", "假", "真", "真", "假", "假"}},
        {"递进数字", {"1", "1", "真"}},
    };
    form.clearRows();
    for (int i = 0; i < count; ++i) {
        const auto &[source, options] = kinds[i % std::size(kinds)];
        const int r = form.appendRow();
        form.setCell(r, 0, "列" + std::to_string(i + 1));
        form.setCell(r, 1, source);
        form.setCell(r, 2, options.empty() ? std::string("无") : joinOptions(options));
    }
}

} // namespace

int main(int argc, char **argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i)
        counts.push_back(std::atoi(argv[i]));
    if (counts.empty())
        counts = {1000, 4000, 10000};

    const auto dir = std::filesystem::temp_directory_path() / ("varnel-rules-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto article = dir / "文章.html";
    std::string html = "<html><head><title>标题</title></head><body>";
    while (html.size() < 4000)
        html += "<p>据报道，本市今年的经济发展保持平稳，居民收入继续增长。</p>";
    html += "</body></html>";
    writeWholeFile(article, toGb18030(html));

    std::printf("%8s %10s %12s %12s %12s %12s %12s %14s\n", "rules", "save s", "restore s", "check s", "preview s",
        "in-process s", "varnel-cli s", "linear ref s");
    double perRule = 0;
    for (const int count : counts) {
        MemoryForm source(mainFormSpec());
        addRules(source, count);
        const auto ini = dir / ("rules" + std::to_string(count) + ".ini");
        std::filesystem::remove(ini);
        const double save = seconds([&] {
            SettingsStore store;
            store.open(ini);
            saveMainConfig(store, source);
        });
        std::vector<double> restore, check, preview, total, cli;
        for (int rep = 0; rep < repetitions; ++rep) {
            MemoryForm form(mainFormSpec());
            SettingsStore store;
            restore.push_back(seconds([&] {
                store.openReadOnly(ini);
                restoreMainConfig(store, form);
            }));
            check.push_back(seconds([&] { validateRules(readRules(form), 1); }));
            std::size_t values = 0;
            preview.push_back(seconds([&] { values = previewImport(form, {article.string()}).at(0).values.size(); }));
            if (values != static_cast<std::size_t>(count))
                std::fprintf(stderr, "%zu values for %d rules\n", values, count);
            total.push_back(restore.back() + check.back() + preview.back());
            const std::string command = std::string(VARNEL_CLI_PATH) + " preview --config '" + ini.string() + "' '"
                + article.string() + "' > /dev/null 2>&1";
            cli.push_back(seconds([&] { std::system(command.c_str()); }));
        }
        if (perRule == 0)
            perRule = median(total) / count;
        std::printf("%8d %10.3f %12.3f %12.3f %12.3f %12.3f %12.3f %14.3f\n", count, save, median(restore),
            median(check), median(preview), median(total), median(cli), perRule * count);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
