#pragma once

#include "text/Charset.h"
#include "transfer/Preview.h"
#include "util/Hex.h"

#include <string>
#include <string_view>

namespace varnel::cli {

// The text helpers the lines use, where the tests reach them.
using varnel::hexBytes;
using varnel::wellFormedUtf8;

// One line of `preview --json` (without the line end): the object
// {"file", ["file_hex",] "encoding", ["encoding_uncertain",] "values",
// ["error",] ["incomplete"]}. "encoding_uncertain" comes only when 自动识别
// could not be sure and read the file as GBK.
// "file_hex" comes only when the file name is not well-formed UTF-8: it
// holds the name's raw bytes, as "file" holds U+FFFD for the bad ones.
std::string previewJsonLine(const PreviewRow &row);

} // namespace varnel::cli
