// gunzip on arbitrary bytes, and on real gzip streams made from the input.
//
// Properties: no crash, hang or runaway memory on any input; the cap is a
// bound and cuts the same output shorter; gzip data made by zlib (one member
// or two, with or without trailing bytes) comes back exactly.
#include "FuzzSupport.h"
#include "text/Gzip.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string gzipWithZlib(std::string_view data, int level)
{
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        std::abort();
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    VARNEL_FUZZ_CHECK(rc == Z_STREAM_END, "zlib could not compress the input");
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    // The input itself, as a file would give it.
    const std::string all = varnel::gunzip(input);
    if (!varnel::isGzip(input))
        VARNEL_FUZZ_CHECK(all.empty(), "bytes without the gzip signature decompressed to something");
    const std::size_t cap = size == 0 ? 0 : data[0] * 37u;
    const std::string capped = varnel::gunzip(input, cap);
    VARNEL_FUZZ_CHECK(capped.size() <= cap, "output longer than the cap");
    VARNEL_FUZZ_CHECK(std::string_view(all).starts_with(capped), "capped output is not a prefix of the whole");
    if (all.size() >= cap)
        VARNEL_FUZZ_CHECK(capped.size() == cap, "capped output shorter than the cap");
    else
        VARNEL_FUZZ_CHECK(capped == all, "cap above the size changed the output");

    // Real gzip members made from the two halves of the input.
    const std::size_t half = size / 2;
    const std::string_view first = input.substr(0, half);
    const std::string_view second = input.substr(half);
    const int level = size == 0 ? 6 : data[size - 1] % 10;
    const std::string one = gzipWithZlib(input, level);
    VARNEL_FUZZ_CHECK(varnel::gunzip(one) == input, "one member does not come back");
    const std::string two = gzipWithZlib(first, level) + gzipWithZlib(second, 9 - level);
    VARNEL_FUZZ_CHECK(varnel::gunzip(two) == input, "two members do not come back");
    // Trailing bytes that are no gzip member are ignored.
    if (!varnel::isGzip(second))
        VARNEL_FUZZ_CHECK(varnel::gunzip(one + std::string(second)) == input, "trailing bytes changed the output");
    // A truncated stream gives a prefix.
    const std::string cut = varnel::gunzip(std::string_view(one).substr(0, one.size() / 2));
    VARNEL_FUZZ_CHECK(input.starts_with(cut), "a truncated stream gave something else than a prefix");
    return 0;
}
