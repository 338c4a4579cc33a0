#include "mapping/RuleValues.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <set>

namespace varnel {
namespace {

using test::FixedClock;
using test::ScriptedRandom;
using test::SeededRandom;
using test::TempDir;

std::string opts(std::initializer_list<const char *> parts)
{
    std::vector<std::string> v(parts.begin(), parts.end());
    return joinOptions(v);
}

struct RunHarness {
    SeededRandom random;
    FixedClock clock{{2025, 6, 15, 12, 30, 45}};
    ValueContext context{random, clock, {}};

    std::vector<std::string> values(
        const FieldRule &rule, int files, const std::filesystem::path &path = "/a/b.txt", std::string_view text = "")
    {
        RuleState state = prepareRule(rule);
        std::vector<std::string> out;
        for (int i = 0; i < files; ++i)
            out.push_back(ruleValue(rule.source, state, path, text, context));
        return out;
    }
};

TEST(RuleValues, FileDerivedSourcesOnARealFile)
{
    TempDir dir;
    const auto path = dir.file("新闻.2024.htm");
    const std::string text = "<html><TITLE>标题</TITLE><body>正文&amp;内容</body></html>";
    test::writeBytes(path, text);
    RunHarness run;
    EXPECT_EQ(run.values({"t", "文件主名", "无"}, 1, path)[0], "新闻.2024");
    EXPECT_EQ(run.values({"t", "文件内容", "无"}, 1, path, text)[0], text);
    EXPECT_EQ(run.values({"t", "网页标题", opts({"<title>", "</title>"})}, 1, path, text)[0], "标题");
    EXPECT_EQ(run.values({"t", "内容摘要", opts({"3", "3"})}, 1, path, text)[0], "标题正");
    EXPECT_EQ(run.values({"t", "父目录名", "无"}, 1, path)[0], dir.path().filename().string());
    run.context.fileTime = {FileTimeKind::Modified, 1};
    EXPECT_EQ(run.values({"t", "文件时间", opts({"真", "假", "假", "2"})}, 1, path)[0].size(), 10u);
    EXPECT_EQ(run.values({"t", "不存在的来源", ""}, 1, path)[0], "请设置数据来源");
    // A GBK file name (as unpacked from a Windows archive) is read as GBK.
    const std::string gbkName = "/" + toGb18030("栏目") + "/" + toGb18030("新闻") + ".txt";
    EXPECT_EQ(run.values({"t", "文件主名", "无"}, 1, gbkName)[0], "新闻");
    EXPECT_EQ(run.values({"t", "父目录名", "无"}, 1, gbkName)[0], "栏目");
}

TEST(RuleValues, PhraseModes)
{
    RunHarness run;
    // 原始顺序 continues across files and starts again after the last.
    EXPECT_EQ(run.values({"p", "随机词组", opts({"词1|词2|词3", "2", "2", "2"})}, 2),
        (std::vector<std::string>{"词1,词2", "词3,词1"}));
    // 不重复随机 uses each phrase once before any repeats.
    const auto once = run.values({"p", "随机词组", opts({"词1|词2|词3", "0", "1", "1"})}, 3);
    EXPECT_EQ(std::set<std::string>(once.begin(), once.end()), (std::set<std::string>{"词1", "词2", "词3"}));
    // Line breaks separate phrases too; empty pieces between separators are
    // phrases, a trailing one is not.
    EXPECT_EQ(phraseList("a\r\nb||c|"), (std::vector<std::string>{"a", "b", "", "c"}));
    // Empty phrases add no comma while the value is still empty.
    EXPECT_EQ(run.values({"p", "随机词组", opts({"|||", "2", "2", "2"})}, 1)[0], "");
    EXPECT_EQ(run.values({"p", "随机词组", opts({"a||", "2", "3", "3"})}, 1)[0], "a,,a");
    EXPECT_EQ(run.values({"p", "随机词组", opts({"", "0", "3", "3"})}, 1)[0], "");
    const auto natural = run.values({"p", "随机词组", opts({"x|y", "1", "3", "3"})}, 20);
    for (const auto &v : natural)
        EXPECT_EQ(v.size(), 5u) << v;
}

TEST(RuleValues, CountersAndCarryOver)
{
    RunHarness run;
    const FieldRule rule{"n", "递进数字", opts({"5", "2", "真"})};
    RuleState state = prepareRule(rule);
    std::vector<std::string> got;
    for (int i = 0; i < 3; ++i)
        got.push_back(ruleValue(rule.source, state, "/f", "", run.context));
    EXPECT_EQ(got, (std::vector<std::string>{"5", "7", "9"}));
    EXPECT_TRUE(state.keepCounting);
    EXPECT_EQ(counterOptionsAfterRun(state), opts({"11", "2", "真"}));
    EXPECT_EQ(run.values({"n", "递进数字", opts({"3", "0", "假"})}, 3), (std::vector<std::string>{"3", "3", "3"}));
    EXPECT_EQ(run.values({"n", "递进数字", opts({"abc"})}, 2), (std::vector<std::string>{"0", "0"}));
}

// Counter values are exact wherever 64 bits hold them; a value beyond is
// refused by name, never turned into another number.
TEST(RuleValues, CountersAtThe64BitEdge)
{
    RunHarness run;
    EXPECT_EQ(optionInteger("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(optionInteger("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(optionInteger("922337203685477580"), 922337203685477580);
    EXPECT_EQ(optionInteger("99999999999999999999x"), INT64_MAX); // counts and sizes stop at the limit
    EXPECT_EQ(optionInteger("-99999999999999999999"), INT64_MIN);
    EXPECT_EQ(optionInteger("12abc"), 12);
    // The sign counts wherever the digits fit.
    EXPECT_EQ(optionInteger("-5"), -5);
    EXPECT_EQ(optionInteger("-12abc"), -12);
    EXPECT_EQ(optionInteger("-9223372036854775807"), -INT64_MAX);
    EXPECT_EQ(optionInteger("+7"), 7);
    EXPECT_EQ(optionInteger("-0"), 0);
    for (const char *noDigits : {"", "-", "+", "--5", "-+5", " -5", "x-5"})
        EXPECT_EQ(optionInteger(noDigits), 0) << noDigits;

    EXPECT_EQ(wholeNumber("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(wholeNumber("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(wholeNumber(" +42\t"), 42);
    for (const char *bad :
        {"9223372036854775808", "-9223372036854775809", "1e30", "1.5", "12abc", "", " ", "+", "-", "0x10", "１２"})
        EXPECT_EQ(wholeNumber(bad), std::nullopt) << bad;

    // Counting up to the top and down to the bottom.
    EXPECT_EQ(run.values({"n", "递进数字", opts({"9223372036854775806", "1", "真"})}, 2),
        (std::vector<std::string>{"9223372036854775806", "9223372036854775807"}));
    EXPECT_EQ(run.values({"n", "递进数字", opts({"9223372036854775807", "-9223372036854775808", "真"})}, 2),
        (std::vector<std::string>{"9223372036854775807", "-1"}));
    EXPECT_EQ(run.values({"n", "递进数字", opts({" -9223372036854775807 ", "-1", "真"})}, 2),
        (std::vector<std::string>{"-9223372036854775807", "-9223372036854775808"}));

    // What a run leaves behind is the exact next value, even past the top:
    // the next run refuses it instead of counting from elsewhere.
    const FieldRule top{"序号", "递进数字", opts({"9223372036854775807", "1", "真"})};
    RuleState state = prepareRule(top);
    EXPECT_EQ(ruleValue(top.source, state, "/f", "", run.context), "9223372036854775807");
    const std::string after = counterOptionsAfterRun(state);
    EXPECT_EQ(after, opts({"9223372036854775808", "1", "真"}));
    const std::string range = "-9223372036854775808 到 9223372036854775807";
    EXPECT_EQ(validateRules({{"序号", "递进数字", after}}),
        "字段 序号 的起始值必须是 " + range + " 之间的整数：9223372036854775808");
    RuleState bottom = prepareRule({"n", "递进数字", opts({"-9223372036854775808", "-1", "真"})});
    ruleValue("递进数字", bottom, "/f", "", run.context);
    EXPECT_EQ(counterOptionsAfterRun(bottom), opts({"-9223372036854775809", "-1", "真"}));

    // The check before a run: options, then every value of that many files.
    const std::vector<FieldRule> fine = {{"标题", "文件主名", "无"}, {"序号", "递进数字", opts({"", "", "假"})},
        {"n", "递进数字", opts({"9223372036854775805", "1", "真"})}, {"x", "固定文本", "1e30"}};
    EXPECT_EQ(validateRules(fine), std::nullopt);
    EXPECT_EQ(validateRules(fine, 3), std::nullopt);
    EXPECT_EQ(
        validateRules(fine, 4), "字段 n 的递进数字从 9223372036854775805 起每次加 1，4 篇文章会超出 " + range + "！");
    EXPECT_EQ(validateRules({{"n", "递进数字", opts({"0", "-4611686018427387904", "真"})}}, 3), std::nullopt);
    EXPECT_NE(validateRules({{"n", "递进数字", opts({"0", "-4611686018427387904", "真"})}}, 4), std::nullopt);
    EXPECT_EQ(validateRules({{"序号", "递进数字", opts({"1e30", "1", "真"})}}),
        "字段 序号 的起始值必须是 " + range + " 之间的整数：1e30");
    EXPECT_EQ(validateRules({{"序号", "递进数字", opts({"1", "abc", "真"})}}),
        "字段 序号 的递进值必须是 " + range + " 之间的整数：abc");
}

TEST(RuleValues, Timestamps)
{
    TempDir dir;
    const auto path = dir.file("a.txt");
    test::writeBytes(path, "x");
    test::ScopedEnv tz("TZ", "UTC0");
    const struct timespec times[2] = {{1709622489, 0}, {1709622489, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    RunHarness run;
    // 秒 毫秒 默认 现在时 文件时 随机时
    const auto millis = run.values({"s", "时间戳", opts({"假", "真", "假", "真", "假", "假"})}, 1, path)[0];
    EXPECT_EQ(millis.size(), 13u);
    EXPECT_EQ(millis.substr(0, 10), "1749990645"); // 2025-06-15 12:30:45 UTC
    EXPECT_EQ(millis.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(run.values({"s", "时间戳", opts({"真", "假", "假", "假", "真", "假"})}, 1, path)[0], "1709622489");
    EXPECT_EQ(
        run.values({"s", "时间戳", opts({"真", "假", "真", "假", "真", "假"})}, 1, path)[0], "2024-03-05 07:08:09");
    EXPECT_EQ(run.values({"s", "时间戳", opts({"真", "假", "假", "假", "假", "假"})}, 1, path)[0], "");
    const auto random = run.values({"s", "时间戳", opts({"真", "假", "真", "假", "假", "真"})}, 1, path)[0];
    EXPECT_TRUE(random.starts_with("2025-06-")) << random;
    EXPECT_EQ(run.values({"s", "时间戳", opts({"真", "真", "假", "假", "真", "假"})}, 1, dir.file("none"))[0], "");
}

TEST(RuleValues, GeneratedSourcesFromOptions)
{
    RunHarness run;
    // 最常用 一般常用 次要常用 转为繁体 min max
    const auto hanzi = run.values({"h", "随机汉字", opts({"假", "假", "真", "假", "3", "3"})}, 1)[0];
    EXPECT_EQ(codePointCount(hanzi), 3u);
    EXPECT_EQ(codePointCount(run.values({"h", "随机汉字", opts({"真", "假", "假", "假", "0", "0"})}, 1)[0]), 8u);
    // 数字 小写 大写 全角 min max
    const auto wide = run.values({"a", "随机数母", opts({"真", "假", "假", "真", "10", "15"})}, 1)[0];
    EXPECT_GE(codePointCount(wide), 10u);
    EXPECT_LE(codePointCount(wide), 15u);
    EXPECT_EQ(wide.size(), codePointCount(wide) * 3);
    EXPECT_EQ(run.values({"a", "随机数母", opts({"假", "假", "假", "假", "4", "4"})}, 1)[0].find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
        std::string::npos);
    EXPECT_EQ(run.values({"t", "随机时间", opts({"<年>/<月>", "2020", "2020", "假"})}, 1)[0].substr(0, 5), "2020/");
    EXPECT_EQ(run.values({"t", "随机时间", opts({"<年>", "1", "1", "真"})}, 1)[0], "2025");
    EXPECT_EQ(run.values({"f", "固定文本", "前┊?┊后"}, 1)[0], "前");
}

TEST(RuleValues, DamagedOptionsNeverCrash)
{
    RunHarness run;
    for (const char *source : {"文件主名", "文件内容", "网页标题", "内容摘要", "文件时间", "随机汉字", "随机数母",
             "随机时间", "随机词组", "父目录名", "固定文本", "时间戳", "递进数字"}) {
        for (const std::string &cell : {std::string(), std::string("abc"), opts({"-5", "-5", "-5", "-5", "-5", "-5"}),
                 opts({"abc", "abc", "abc", "abc", "abc", "abc", "abc", "abc", "abc", "abc", "abc", "abc"}),
                 opts({"99999999999999", "99999999999999", "99999999999999", "99999999999999", "1", "1"}),
                 std::string("┊?┊┊?┊┊?┊")}) {
            const auto values = run.values({"x", source, cell}, 2, "noslash", "text");
            EXPECT_EQ(values.size(), 2u);
        }
    }
}

} // namespace
} // namespace varnel
