#include "mapping/RuleValues.h"

#include "text/Charset.h"
#include "text/TextUtil.h"

#include <cstdint>

namespace varnel {
namespace {

std::string phrasePick(RuleState &state, RandomSource &random)
{
    const auto count = static_cast<std::int64_t>(state.phrases.size());
    if (count == 0)
        return {};
    const std::int64_t k = std::min(
        randomInt(random, optionInteger(state.options[2]), optionInteger(state.options[3])), kMaxGeneratedLength);
    const std::int64_t mode = optionInteger(state.options[1]);
    std::string value;
    for (std::int64_t n = 0; n < k; ++n) {
        std::int64_t i;
        if (mode == 0) {
            i = state.phrasePicker.next(1, count, random);
        } else if (mode == 1) {
            i = randomInt(random, 1, count);
        } else {
            state.cursor = state.cursor + 1 > count ? 1 : state.cursor + 1;
            i = state.cursor;
        }
        if (!value.empty())
            value += ',';
        value += state.phrases[static_cast<std::size_t>(i - 1)];
    }
    return value;
}

std::string timestamp(RuleState &state, const std::filesystem::path &path, ValueContext &context)
{
    const auto &o = state.options;
    DateTime moment;
    if (isTrue(o[3])) {
        moment = context.clock.now();
    } else if (isTrue(o[4])) {
        const auto modified = fileModificationTime(path);
        if (!modified)
            return {};
        moment = localDateTime(*modified);
    } else if (isTrue(o[5])) {
        moment = randomMomentThisMonth(context.random, context.clock);
    } else {
        return {};
    }
    std::string value = isTrue(o[2]) ? formatTime(0, {}, moment) : unixSeconds(moment);
    if (isTrue(o[1]) && !value.empty())
        value += randomAlnum(3, false, false, true, true, context.random);
    return value;
}

// File names are bytes. Archives made on Chinese Windows often unpack with
// GBK names; those become program text as GBK rather than as broken UTF-8
// that the server would refuse.
std::string nameText(std::string name)
{
    return isValidUtf8(name) ? name : fromGb18030(name);
}

__extension__ typedef __int128 Wide;

constexpr std::string_view kCounterRange = "-9223372036854775808 到 9223372036854775807";

std::string wideText(Wide v)
{
    const bool negative = v < 0;
    // Digits of the magnitude, taken from the negative side so that the
    // smallest value needs no positive twin.
    std::string digits;
    do {
        const int digit = static_cast<int>(v % 10);
        digits.push_back(static_cast<char>('0' + (digit < 0 ? -digit : digit)));
        v /= 10;
    } while (v != 0);
    if (negative)
        digits.push_back('-');
    return std::string(digits.rbegin(), digits.rend());
}

Wide counterValue(const RuleState &state, std::int64_t n)
{
    return Wide(state.start) + Wide(n) * Wide(state.step);
}

bool fits64(Wide v)
{
    return v >= Wide(INT64_MIN) && v <= Wide(INT64_MAX);
}

std::string counter(RuleState &state)
{
    return wideText(counterValue(state, state.produced++));
}

// A checked option reads as the check read it; an unchecked one as leniently
// as any other option.
std::int64_t counterOption(std::string_view text)
{
    const auto v = wholeNumber(text);
    return v ? *v : optionInteger(text);
}

} // namespace

std::vector<std::string> phraseList(std::string_view option)
{
    return splitText(replaceAll(option, "\r\n", "|"), "|");
}

RuleState prepareRule(const FieldRule &rule)
{
    RuleState state;
    state.options = splitOptions(rule.options, kRunOptionCount);
    const auto source = dataSourceOfLabel(rule.source);
    if (source == DataSource::RandomPhrase) {
        state.phrases = phraseList(state.options[0]);
    } else if (source == DataSource::Counter) {
        state.start = counterOption(state.options[0]);
        state.step = counterOption(state.options[1]);
        state.keepCounting = isTrue(state.options[2]);
    }
    return state;
}

std::string ruleValue(std::string_view label, RuleState &state, const std::filesystem::path &path,
    std::string_view text, ValueContext &context)
{
    const auto source = dataSourceOfLabel(label);
    if (!source)
        return std::string(kUnknownSourceValue);
    const auto &o = state.options;
    auto count = [&](std::size_t a, std::size_t b) {
        return randomInt(context.random, optionInteger(o[a]), optionInteger(o[b]));
    };
    switch (*source) {
    case DataSource::FileMainName:
        return nameText(fileMainName(path.string()));
    case DataSource::FileContent:
        return std::string(text);
    case DataSource::PageTitle:
        return pageTitle(text, o[0], o[1]);
    case DataSource::ContentSummary:
        return contentSummary(text, o[0], o[1], context.random);
    case DataSource::FileTime:
        return fileTimeValue(path, context.fileTime);
    case DataSource::ParentDirName:
        return nameText(parentDirName(path.string()));
    case DataSource::RandomHanzi: {
        const std::int64_t n = count(4, 5);
        const HanziTableIndex table = isTrue(o[0]) ? HanziTableIndex::MostFrequent
            : isTrue(o[1])                         ? HanziTableIndex::Common
                                                   : HanziTableIndex::LessCommon;
        return randomHanzi(n, table, isTrue(o[3]), context.random);
    }
    case DataSource::RandomAlnum: {
        const std::int64_t n = count(4, 5);
        return randomAlnum(n, isTrue(o[3]), !isTrue(o[0]), !isTrue(o[1]), !isTrue(o[2]), context.random);
    }
    case DataSource::RandomTime:
        return randomTimeText(
            o[0], optionInteger(o[1]), optionInteger(o[2]), isTrue(o[3]), context.random, context.clock);
    case DataSource::RandomPhrase:
        return phrasePick(state, context.random);
    case DataSource::FixedText:
        return o[0];
    case DataSource::Timestamp:
        return timestamp(state, path, context);
    case DataSource::Counter:
        return counter(state);
    }
    return std::string(kUnknownSourceValue);
}

bool valueLosesBytes(std::string_view label, const std::filesystem::path &path)
{
    const auto source = dataSourceOfLabel(label);
    std::string name;
    if (source == DataSource::FileMainName)
        name = fileMainName(path.string());
    else if (source == DataSource::ParentDirName)
        name = parentDirName(path.string());
    else
        return false;
    return !isValidUtf8(name) && toGb18030(fromGb18030(name)) != name;
}

std::string counterOptionsAfterRun(const RuleState &state)
{
    return joinOptions({wideText(counterValue(state, state.produced)), state.options[1], std::string(kTrue)});
}

std::string counterOptionMessage(std::string_view target, int option, std::string_view text)
{
    return "字段 " + std::string(target) + " 的" + (option == 0 ? "起始值" : "递进值") + "必须是 "
        + std::string(kCounterRange) + " 之间的整数：" + std::string(text);
}

std::optional<std::string> validateRules(const std::vector<FieldRule> &rules, std::int64_t files)
{
    for (const FieldRule &rule : rules) {
        if (dataSourceOfLabel(rule.source) != DataSource::Counter)
            continue;
        const std::vector<std::string> options = splitOptions(rule.options, 2);
        std::int64_t values[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const std::string &text = options[static_cast<std::size_t>(i)];
            if (text.empty())
                continue;
            const auto v = wholeNumber(text);
            if (!v)
                return counterOptionMessage(rule.target, i, text);
            values[i] = *v;
        }
        RuleState state;
        state.start = values[0];
        state.step = values[1];
        if (files > 0 && !fits64(counterValue(state, files - 1)))
            return "字段 " + rule.target + " 的递进数字从 " + std::to_string(values[0]) + " 起每次加 "
                + std::to_string(values[1]) + "，" + std::to_string(files) + " 篇文章会超出 "
                + std::string(kCounterRange) + "！";
    }
    return std::nullopt;
}

} // namespace varnel
