#include "text/Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace varnel {
namespace {

constexpr std::size_t kStep = 8192;

struct Inflater {
    z_stream stream{};
    bool ok = false;

    Inflater() { ok = inflateInit2(&stream, 16 + MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (ok)
            inflateEnd(&stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
};

} // namespace

bool isGzip(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F
        && static_cast<unsigned char>(bytes[1]) == 0x8B;
}

std::string gunzip(std::string_view bytes, std::size_t cap)
{
    std::string result;
    Inflater inflater;
    if (!inflater.ok)
        return result;
    z_stream &zs = inflater.stream;

    std::size_t position = 0;
    unsigned char out[kStep];
    while (position < bytes.size() && result.size() < cap) {
        const std::size_t chunk = std::min(kStep, bytes.size() - position);
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data() + position));
        zs.avail_in = static_cast<uInt>(chunk);
        int rc = Z_OK;
        // Drain this piece of input completely before taking the next one.
        do {
            zs.next_out = out;
            zs.avail_out = kStep;
            rc = inflate(&zs, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return result; // corrupt: keep what we have
            const std::size_t produced = kStep - zs.avail_out;
            result.append(reinterpret_cast<char *>(out), std::min(produced, cap - result.size()));
            if (result.size() >= cap)
                return result;
        } while (rc == Z_OK && zs.avail_out == 0);

        position += chunk - zs.avail_in;
        if (rc == Z_STREAM_END) {
            // Another member may follow (concatenated gzip files); anything else
            // after the end is trailing garbage and ignored.
            if (!isGzip(bytes.substr(position)) || inflateReset(&zs) != Z_OK)
                return result;
        } else if (rc == Z_BUF_ERROR && zs.avail_in == chunk) {
            return result; // no progress possible
        }
    }
    return result;
}

} // namespace varnel
