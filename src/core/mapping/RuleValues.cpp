#include "mapping/RuleValues.h"

#include "text/Charset.h"
#include "text/TextUtil.h"

#include <limits>

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

std::string counter(RuleState &state)
{
    const std::string value = std::to_string(state.current);
    std::int64_t next;
    if (__builtin_add_overflow(state.current, state.step, &next))
        next = state.step > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    state.current = next;
    return value;
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
        state.start = optionInteger(state.options[0]);
        state.current = state.start;
        state.step = optionInteger(state.options[1]);
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

std::string counterOptionsAfterRun(const RuleState &state)
{
    return joinOptions({std::to_string(state.current), state.options[1], std::string(kTrue)});
}

} // namespace varnel
