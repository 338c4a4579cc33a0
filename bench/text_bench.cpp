// Per-article CPU cost of the reading path an import takes for every file:
// read, detect, decode, decode entities, cut the summary. The reference, from
// the same run, is the floor any reader pays: reading the bytes and decoding
// them once.
#include "mapping/FileSources.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/Entities.h"
#include "text/RegexMatcher.h"
#include "text/SummaryText.h"
#include "text/TextUtil.h"
#include "util/Random.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

namespace {

using namespace varnel;

constexpr double kTargetMicros = 50.0;

// A typical GBK news page: a head with a meta charset, paragraphs of Chinese
// text with links, entities and line breaks.
std::string gbkPage(std::size_t size)
{
    std::string page =
        "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
        "<title>"
        + toGb18030("新闻标题") + "</title>\r\n</head>\r\n<body>\r\n";
    const std::string paragraph =
        toGb18030("<p>　　据报道，本市今年的经济发展保持平稳，居民收入继续增长&ldquo;稳中有进&rdquo;。"
                  "<a href=\"/news/1.html\">相关链接</a>，专家认为&nbsp;&nbsp;下一步还要加大投入&#8230;</p>\r\n");
    while (page.size() + paragraph.size() + 20 < size)
        page += paragraph;
    page += "</body>\r\n</html>\r\n";
    return page;
}

struct Article {
    std::filesystem::path path;
};

std::map<std::size_t, std::filesystem::path> &articles()
{
    static std::map<std::size_t, std::filesystem::path> files;
    return files;
}

const std::filesystem::path &articleOfSize(std::size_t size)
{
    auto &files = articles();
    auto it = files.find(size);
    if (it == files.end()) {
        const auto path = std::filesystem::temp_directory_path()
            / ("varnel-bench-" + std::to_string(::getpid()) + "-" + std::to_string(size) + ".htm");
        std::ofstream(path, std::ios::binary) << gbkPage(size);
        it = files.emplace(size, path).first;
    }
    return it->second;
}

void BM_ReadPath(benchmark::State &state)
{
    const auto &path = articleOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const DecodedArticle article = readArticle(path, ArticleEncoding::Detect);
        const std::string cut = summaryOf(article.text, 200);
        benchmark::DoNotOptimize(cut.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// The same path with the summary cut by the general regex engine, to show
// what the dedicated stripper saves.
void BM_ReadPathRegexSummary(benchmark::State &state)
{
    const auto &path = articleOfSize(static_cast<std::size_t>(state.range(0)));
    RegexMatcher summary;
    summary.compile(kSummaryPattern);
    for (auto _ : state) {
        const DecodedArticle article = readArticle(path, ArticleEncoding::Detect);
        const std::string cut = LeftChars(summary.replaceAll(decodeEntities(article.text), ""), 200);
        benchmark::DoNotOptimize(cut.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// What an import computes from an HTML article with every HTML rule: the
// text itself, the page title between <title> and </title>, and a summary
// of 200 characters (entities decoded, markup stripped).
void BM_HtmlRules(benchmark::State &state)
{
    const auto &path = articleOfSize(static_cast<std::size_t>(state.range(0)));
    RandomSource &random = defaultRandom();
    for (auto _ : state) {
        const DecodedArticle article = readArticle(path, ArticleEncoding::Detect);
        const std::string title = pageTitle(article.text, "<title>", "</title>");
        const std::string summary = contentSummary(article.text, "200", "200", random);
        benchmark::DoNotOptimize(title.data());
        benchmark::DoNotOptimize(summary.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_ReadAndDecodeFloor(benchmark::State &state)
{
    const auto &path = articleOfSize(static_cast<std::size_t>(state.range(0)));
    std::string bytes;
    for (auto _ : state) {
        readWholeFile(path, bytes);
        const std::string text = fromGb18030(bytes);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_ReadPath)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HtmlRules)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadPathRegexSummary)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndDecodeFloor)->Arg(4 << 10)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

// Collects per-article times to print the summary beside the reference.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> micros;
    std::set<std::string> medians;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median of the repetitions is
        // shown (its spread is in the table above); otherwise the one run.
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                micros[name] = run.GetAdjustedCPUTime(); // in the run's unit (µs)
                medians.insert(name);
            } else if (run.run_type == Run::RT_Iteration && !medians.count(name)) {
                micros[name] = run.GetAdjustedCPUTime();
            }
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto show = [&](const char *label, const std::string &arg) {
        const auto path = reporter.micros.find("BM_ReadPath/" + arg);
        const auto rules = reporter.micros.find("BM_HtmlRules/" + arg);
        const auto regex = reporter.micros.find("BM_ReadPathRegexSummary/" + arg);
        const auto floor = reporter.micros.find("BM_ReadAndDecodeFloor/" + arg);
        if (path == reporter.micros.end() || floor == reporter.micros.end() || regex == reporter.micros.end()
            || rules == reporter.micros.end())
            return;
        std::printf("%-16s read path %9.1f us   every HTML rule %9.1f us (%5.2f x floor)   with regex summary %9.1f "
                    "us   floor (read + one decode) %9.1f us\n",
            label, path->second, rules->second, rules->second / floor->second, regex->second, floor->second);
    };
    std::printf("\nPer-article CPU time of the import reading path\n");
    show("4 KB GBK HTML:", std::to_string(4 << 10));
    show("64 KB GBK HTML:", std::to_string(64 << 10));
    show("1 MB GBK HTML:", std::to_string(1 << 20));
    std::printf("goal: every HTML rule within 3 x the floor at each size\n");
    const auto small = reporter.micros.find("BM_ReadPath/" + std::to_string(4 << 10));
    if (small != reporter.micros.end())
        std::printf(
            "target for 4 KB: under %.0f us -> %s\n", kTargetMicros, small->second < kTargetMicros ? "met" : "NOT met");

    for (const auto &[size, path] : articles())
        std::filesystem::remove(path);
    benchmark::Shutdown();
    return 0;
}
