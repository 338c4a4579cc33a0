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
    // Why the file could not be read (the system's words); empty when it was.
    std::string error;
    // Damaged or over-cap gzip data: the text is what could be decoded; or
    // UTF-8 with stray bytes, each read as U+FFFD; or an encoding that
    // detection could not be sure of. Why, for the user.
    bool incomplete = false;
    std::string_view incompleteReason;
    // False when detection had only the bytes to go by and no reading of
    // them was clearly the best: the text is then read as GBK.
    bool encodingCertain = true;
};

inline constexpr std::string_view kIncompleteGzip = "gzip 数据损坏或过大，内容不完整";
inline constexpr std::string_view kIncompleteUtf8 = "含有无效的 UTF-8 字节";
inline constexpr std::string_view kIncompleteCharset = "编码不确定（按 GBK 读取）";
// Both at once: the file is listed once, with both reasons.
inline constexpr std::string_view kIncompleteGzipCharset = "gzip 数据损坏或过大，内容不完整；编码不确定（按 GBK 读取）";

// Decodes the bytes of an article file. Gzip data (1F 8B) is decompressed
// first. Detection goes by the byte-order mark, then a meta charset, then
// the UTF-8 check, and else guesses among GBK, Big5, Big5-HKSCS and UTF-16
// (guessCharset): a guess it cannot be sure of reads the bytes as GBK and
// makes the article incomplete. The text ends at the first NUL character.
DecodedArticle decodeArticle(std::string_view bytes, ArticleEncoding requested, const EventPump &pump = {});

// Reads and decodes an article file. The file is opened read-only and never
// changed. A file that cannot be read (missing, unreadable, not a regular
// file: a folder, a pipe or a device is never waited on) gives empty text,
// Ansi, and the reason in error.
DecodedArticle readArticle(const std::filesystem::path &path, ArticleEncoding requested, const EventPump &pump = {});

// What a writer knows of the file it is about to write: nothing, or that no
// file of that name was there when it looked (a folder listed at the start
// of a run), which spares a look per file.
enum class TargetHint { Unknown, Absent };

// The bytes writeArticleFile puts on disk: GB18030 for Detect and Ansi,
// otherwise the byte-order mark and the text in that encoding. A charset the
// page declares in a meta tag is set to the encoding written (withMetaCharset).
std::string encodeArticle(std::string_view text, ArticleEncoding e);

// Creates (or replaces) the file with the encoded text. False for an empty
// path or when the file cannot be written completely; an existing file is
// then left as it was (the text goes to a temporary file in the same folder
// that replaces the target only when complete). errno tells why.
bool writeArticleFile(
    const std::filesystem::path &path, std::string_view text, ArticleEncoding e, TargetHint hint = TargetHint::Unknown);

// The whole content of a regular file; false when it cannot be read, with
// the reason in *error when given.
bool readWholeFile(const std::filesystem::path &path, std::string &bytes, std::string *error = nullptr);

// Replaces (or creates) the file with exactly these bytes through a temporary
// file in the same folder, renamed over the target once written; a new file
// gets the usual permissions, a replaced one keeps its own. False, with errno
// set and the old file untouched, when it cannot be done.
bool replaceFile(const std::filesystem::path &path, std::string_view bytes, TargetHint hint = TargetHint::Unknown);

// Creates or replaces a file with exactly these bytes; false when it cannot be
// written completely.
bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes);

} // namespace varnel
