#pragma once

#include "transfer/Preview.h"

#include <string>
#include <string_view>

namespace varnel::cli {

// The bytes as well-formed UTF-8: every byte that does not belong to a
// well-formed sequence (a stray continuation byte, a lead byte without its
// continuation bytes, an overlong form, a surrogate, a value past 10FFFF)
// becomes U+FFFD, one per byte. `replaced` tells whether any did.
std::string wellFormedUtf8(std::string_view bytes, bool *replaced = nullptr);

// Lower-case hex of the bytes, two digits each.
std::string hexBytes(std::string_view bytes);

// One line of `preview --json` (without the line end): the object
// {"file", ["file_hex",] "encoding", "values", ["error",] ["incomplete"]}.
// "file_hex" comes only when the file name is not well-formed UTF-8: it
// holds the name's raw bytes, as "file" holds U+FFFD for the bad ones.
std::string previewJsonLine(const PreviewRow &row);

} // namespace varnel::cli
