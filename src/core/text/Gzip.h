#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel {

// Decompressed articles larger than this are cut here, as if the stream had
// ended early: a few hundred bytes of gzip must not be able to fill memory.
inline constexpr std::size_t kGunzipCap = std::size_t{256} << 20;

// True when the bytes start with the gzip signature 1F 8B.
bool isGzip(std::string_view bytes);

// Decompresses gzip data (all members of a multi-member file). A stream that
// is truncated or corrupt, or that grows past the cap, yields what was
// decompressed up to that point, and sets *complete to false.
std::string gunzip(std::string_view bytes, std::size_t cap = kGunzipCap, bool *complete = nullptr);

} // namespace varnel
