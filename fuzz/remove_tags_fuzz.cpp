// removeTags against a plain forward model: every "<" whose next "<" or ">"
// is a ">" starts a tag that ends there; everything else stays.
#include "FuzzSupport.h"
#include "text/TextUtil.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string model(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '<') {
            const std::size_t next = text.find_first_of("<>", i + 1);
            if (next != std::string_view::npos && text[next] == '>') {
                i = next + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::string stripped = varnel::removeTags(text);
    VARNEL_FUZZ_CHECK(stripped == model(text), "removeTags differs from the forward model");
    VARNEL_FUZZ_CHECK(stripped.size() <= text.size(), "removeTags made the text longer");
    return 0;
}
