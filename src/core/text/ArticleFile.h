#pragma once

#include "util/EventPump.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace varnel {

// The items of the file-encoding box (0 to 4) and the two encodings that are
// only ever detected (5, 6).
enum class ArticleEncoding : int {
    Detect = 0,
    Ansi = 1, // GBK, read and written as GB18030
    Utf8 = 2,
    Utf16LE = 3,
    Utf16BE = 4,
    Big5 = 5,
    Big5Hkscs = 6,
};

// An index from settings or the encoding box; anything out of range means
// "detect", so a damaged settings file cannot select a non-existent encoding.
ArticleEncoding articleEncodingFromIndex(int index);

// The charset name used for conversion; empty for Detect and Ansi.
std::string_view charsetName(ArticleEncoding e);

// An article as program text (UTF-8, no NUL), with the encoding it was read in.
using DecodedText = std::string;
struct DecodedArticle {
    DecodedText text;
    ArticleEncoding encoding = ArticleEncoding::Ansi;
};

// Decodes the bytes of an article file. Gzip data (1F 8B) is decompressed
// first. The text ends at the first NUL character.
DecodedArticle decodeArticle(std::string_view bytes, ArticleEncoding requested, const EventPump &pump = {});

// Reads and decodes an article file. The file is opened read-only and never
// changed. A file that cannot be read gives empty text and Ansi.
DecodedArticle readArticle(const std::filesystem::path &path, ArticleEncoding requested, const EventPump &pump = {});

// The bytes writeArticleFile puts on disk: GB18030 for Detect and Ansi,
// otherwise the byte-order mark and the text in that encoding.
std::string encodeArticle(std::string_view text, ArticleEncoding e);

// Creates (or replaces) the file with the encoded text. False for an empty
// path or when the file cannot be written completely.
bool writeArticleFile(const std::filesystem::path &path, std::string_view text, ArticleEncoding e);

// The whole content of a regular file; false when it cannot be read.
bool readWholeFile(const std::filesystem::path &path, std::string &bytes);

// Creates or replaces a file with exactly these bytes; false when it cannot be
// written completely.
bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes);

} // namespace varnel
