// TextBetween with arbitrary text, markers, positions, shifts and directions,
// called again and again from the position it returns, as a scan does.
//
// Properties: no crash or overflow; a result is a piece of the text (with the
// start and end markers put around it when a marker is empty); a forward scan
// moves on with every find and ends with kNothingMore; without shifts,
// quotes or empty markers, a forward find is the text between the first head
// and the first tail after it.
#include "FuzzSupport.h"
#include "text/TextBetween.h"
#include "text/TextUtil.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string head = in.ConsumeRandomLengthString(16);
    const std::string tail = in.ConsumeRandomLengthString(16);
    varnel::TextBetweenOptions options;
    options.backward = in.ConsumeBool();
    options.rawMarkers = in.ConsumeBool();
    // Shifts and positions as a form's number boxes give them: 32-bit range.
    const bool shifted = in.ConsumeBool();
    if (shifted) {
        options.startShift = in.ConsumeIntegralInRange<std::int64_t>(INT32_MIN, INT32_MAX);
        options.endShift = in.ConsumeIntegralInRange<std::int64_t>(INT32_MIN, INT32_MAX);
    }
    std::int64_t position = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int64_t>(INT32_MIN, INT32_MAX) : 0;
    std::int64_t bound = in.ConsumeIntegralInRange<std::int64_t>(-4, 64);
    const std::string text = in.ConsumeRemainingBytesAsString();

    std::string framed = std::string(varnel::kHeadMarker) + text + std::string(varnel::kTailMarker);
    const bool simple = !shifted && !head.empty() && !tail.empty() && !options.backward
        && head.find('"') == std::string::npos && tail.find('"') == std::string::npos
        && head.find("''") == std::string::npos && tail.find("''") == std::string::npos;

    for (int calls = 0; position != varnel::kNothingMore; ++calls) {
        VARNEL_FUZZ_CHECK(calls <= static_cast<int>(framed.size()) + 2, "the scan does not come to an end");
        const std::int64_t before = position;
        const std::string got = varnel::TextBetween(text, head, tail, position, options, &bound);
        VARNEL_FUZZ_CHECK(framed.find(got) != std::string::npos, "the result is no piece of the text");
        if (position == varnel::kNothingMore) {
            VARNEL_FUZZ_CHECK(got.empty(), "a result with kNothingMore");
            break;
        }
        if (!options.backward)
            VARNEL_FUZZ_CHECK(position > before, "a forward find did not move on");
        if (simple) {
            const std::size_t from = before <= 0 ? 0 : static_cast<std::size_t>(before - 1);
            const std::size_t h = varnel::findNoCase(text, head, from);
            VARNEL_FUZZ_CHECK(h != varnel::npos, "found a head the text does not have");
            const std::size_t t = varnel::findNoCase(text, tail, h + head.size());
            VARNEL_FUZZ_CHECK(t != varnel::npos, "found a tail the text does not have");
            VARNEL_FUZZ_CHECK(got == text.substr(h + head.size(), t - h - head.size()), "wrong text between");
            VARNEL_FUZZ_CHECK(position == static_cast<std::int64_t>(t + tail.size()) + 1, "wrong next position");
        }
    }
    return 0;
}
