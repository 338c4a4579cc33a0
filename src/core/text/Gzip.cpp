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

std::string gunzip(std::string_view bytes, std::size_t cap, bool *complete)
{
    bool ended = false;
    std::string result;
    Inflater inflater;
    if (inflater.ok) {
        z_stream &zs = inflater.stream;
        std::size_t position = 0;
        unsigned char out[kStep];
        bool stop = false;
        while (!stop && position < bytes.size()) {
            const std::size_t chunk = std::min(kStep, bytes.size() - position);
            zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data() + position));
            zs.avail_in = static_cast<uInt>(chunk);
            int rc = Z_OK;
            // Drain this piece of input completely before taking the next one.
            do {
                zs.next_out = out;
                zs.avail_out = kStep;
                rc = inflate(&zs, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                    stop = true; // corrupt: keep what we have
                    break;
                }
                const std::size_t produced = kStep - zs.avail_out;
                if (produced > cap - result.size()) {
                    result.append(reinterpret_cast<char *>(out), cap - result.size());
                    stop = true; // over the cap: cut here
                    break;
                }
                result.append(reinterpret_cast<char *>(out), produced);
            } while (rc == Z_OK && zs.avail_out == 0);
            if (stop)
                break;

            position += chunk - zs.avail_in;
            if (rc == Z_STREAM_END) {
                ended = true;
                // Another member may follow (concatenated gzip files); anything
                // else after the end is trailing garbage and ignored.
                if (!isGzip(bytes.substr(position)) || inflateReset(&zs) != Z_OK)
                    break;
                ended = false;
            } else if (rc == Z_BUF_ERROR && zs.avail_in == chunk) {
                break; // no progress possible
            }
        }
    }
    if (complete)
        *complete = ended;
    return result;
}

} // namespace varnel
