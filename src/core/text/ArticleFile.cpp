#include "text/ArticleFile.h"

#include "text/Charset.h"
#include "text/CharsetGuess.h"
#include "text/Gzip.h"
#include "text/MetaCharset.h"
#include "util/OpenPath.h"
#include "util/SystemError.h"
#include "util/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>

namespace varnel {
namespace {

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBomUtf16LE = "\xFF\xFE";
constexpr std::string_view kBomUtf16BE = "\xFE\xFF";

// Writes every byte; false (errno set) when the file takes no more.
bool writeAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string textUpToNul(std::string s)
{
    const auto nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    return s;
}

std::string_view byteOrderMark(ArticleEncoding e)
{
    switch (e) {
    case ArticleEncoding::Utf8:
        return kBomUtf8;
    case ArticleEncoding::Utf16LE:
        return kBomUtf16LE;
    case ArticleEncoding::Utf16BE:
        return kBomUtf16BE;
    default:
        return {};
    }
}

ArticleEncoding guessedEncoding(GuessedCharset c)
{
    switch (c) {
    case GuessedCharset::Big5:
        return ArticleEncoding::Big5;
    case GuessedCharset::Big5Hkscs:
        return ArticleEncoding::Big5Hkscs;
    case GuessedCharset::Utf16LE:
        return ArticleEncoding::Utf16LE;
    case GuessedCharset::Utf16BE:
        return ArticleEncoding::Utf16BE;
    default:
        return ArticleEncoding::Ansi;
    }
}

} // namespace

ArticleEncoding articleEncodingFromIndex(int index)
{
    if (index < 0 || index > static_cast<int>(ArticleEncoding::Big5Hkscs))
        return ArticleEncoding::Detect;
    return static_cast<ArticleEncoding>(index);
}

std::string_view charsetName(ArticleEncoding e)
{
    switch (e) {
    case ArticleEncoding::Utf8:
        return kCharsetUtf8;
    case ArticleEncoding::Utf16LE:
        return kCharsetUtf16LE;
    case ArticleEncoding::Utf16BE:
        return kCharsetUtf16BE;
    case ArticleEncoding::Big5:
        return kCharsetBig5;
    case ArticleEncoding::Big5Hkscs:
        return kCharsetBig5Hkscs;
    default:
        return {};
    }
}

namespace {

// The encoding the file's byte-order mark or its page's meta charset names
// (Detect when neither does), or the one asked for; and where the text starts
// after a mark.
std::pair<ArticleEncoding, std::size_t> markedEncoding(
    std::string_view bytes, ArticleEncoding requested, const std::function<const std::string &()> &ansiText)
{
    ArticleEncoding e = requested;
    std::size_t start = 0;
    switch (requested) {
    case ArticleEncoding::Detect:
        if (bytes.starts_with(kBomUtf8)) {
            e = ArticleEncoding::Utf8;
            start = kBomUtf8.size();
        } else if (bytes.starts_with(kBomUtf16LE)) {
            e = ArticleEncoding::Utf16LE;
            start = 2;
        } else if (bytes.starts_with(kBomUtf16BE)) {
            e = ArticleEncoding::Utf16BE;
            start = 2;
        } else {
            switch (metaCharset(ansiText())) {
            case MetaCharset::Utf8:
                e = ArticleEncoding::Utf8;
                break;
            case MetaCharset::Big5:
                e = ArticleEncoding::Big5;
                break;
            case MetaCharset::Big5Hkscs:
                e = ArticleEncoding::Big5Hkscs;
                break;
            case MetaCharset::None:
                break;
            }
        }
        break;
    case ArticleEncoding::Utf8:
        start = bytes.starts_with(kBomUtf8) ? kBomUtf8.size() : 0;
        break;
    case ArticleEncoding::Utf16LE:
    case ArticleEncoding::Utf16BE:
        // Only a real byte-order mark is skipped; a file without one keeps its
        // first character.
        start = bytes.starts_with(byteOrderMark(requested)) ? 2 : 0;
        break;
    default:
        e = ArticleEncoding::Ansi;
        break;
    }

    return {e, start};
}

} // namespace

DecodedArticle decodeArticle(std::string_view bytes, ArticleEncoding requested, const EventPump &pump)
{
    std::string decompressed;
    bool complete = true;
    if (isGzip(bytes)) {
        decompressed = gunzip(bytes, kGunzipCap, &complete);
        bytes = decompressed;
    }

    // The whole file as GBK text: needed to look for a meta charset, and the
    // fallback whenever nothing else gives text.
    std::optional<std::string> asAnsi;
    auto ansiText = [&]() -> const std::string & {
        if (!asAnsi)
            asAnsi = textUpToNul(fromGb18030(bytes));
        return *asAnsi;
    };

    const auto [marked, start] = markedEncoding(bytes, requested, ansiText);
    ArticleEncoding e = marked;
    const std::string_view content = bytes.substr(start);
    // UTF-8 with a stray byte or cut inside a character is still UTF-8: read
    // as GBK the whole text would be garbled.
    std::optional<std::string> repaired;
    if (e == ArticleEncoding::Detect) {
        if (looksLikeUtf8(content, pump)) {
            if (!readsAsGb2312(content))
                e = ArticleEncoding::Utf8;
        } else if ((repaired = repairedUtf8(content, pump))) {
            e = ArticleEncoding::Utf8;
        }
    }
    bool certain = true;
    if (e == ArticleEncoding::Detect) {
        const CharsetGuess guess = guessCharset(content, pump);
        e = guessedEncoding(guess.charset);
        certain = guess.certain;
    }

    DecodedArticle result;
    result.incomplete = !complete || repaired.has_value() || !certain;
    result.incompleteReason = !complete ? (certain ? kIncompleteGzip : kIncompleteGzipCharset)
        : repaired                      ? kIncompleteUtf8
        : !certain                      ? kIncompleteCharset
                                        : std::string_view();
    result.encodingCertain = certain;
    if (e != ArticleEncoding::Detect && e != ArticleEncoding::Ansi && !content.empty()) {
        // Well-formed UTF-8 is already program text.
        if (repaired)
            result.text = textUpToNul(std::move(*repaired));
        else
            result.text = textUpToNul(e == ArticleEncoding::Utf8 && isValidUtf8(content)
                    ? std::string(content)
                    : convertCharset(content, charsetName(e), kCharsetUtf8));
        result.encoding = e;
    }
    if (result.text.empty()) {
        ansiText();
        result.text = std::move(*asAnsi); // not needed any more
        result.encoding = ArticleEncoding::Ansi;
    }
    return result;
}

bool readWholeFile(const std::filesystem::path &path, std::string &bytes, std::string *error)
{
    bytes.clear();
    auto fail = [&](std::string reason) {
        if (error)
            *error = reason;
        bytes = std::string();
        return false;
    };
    // O_NONBLOCK: a FIFO given as an article must not hang the import.
    UniqueFd fd(openPath(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return fail(systemErrorText(errno));
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return fail(systemErrorText(errno));
    if (S_ISDIR(st.st_mode))
        return fail(systemErrorText(EISDIR));
    if (!S_ISREG(st.st_mode))
        return fail("不是普通文件");
    try {
        // Read straight into the string, sized as the file is now; a file
        // that grows meanwhile is read on to its end, a chunk at a time.
        // (The end is found with a small read of its own, so that a file
        // read whole does not make the string grow.)
        std::size_t have = 0;
        bytes.resize(static_cast<std::size_t>(st.st_size));
        char probe[4096];
        for (;;) {
            const bool full = have == bytes.size();
            const ssize_t n = full ? ::read(fd.get(), probe, sizeof probe)
                                   : ::read(fd.get(), bytes.data() + have, bytes.size() - have);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(systemErrorText(errno));
            }
            if (full) {
                bytes.append(probe, static_cast<std::size_t>(n));
                have = bytes.size();
            } else {
                have += static_cast<std::size_t>(n);
            }
        }
        bytes.resize(have);
    } catch (const std::bad_alloc &) {
        return fail(systemErrorText(ENOMEM));
    }
    return true;
}

DecodedArticle readArticle(const std::filesystem::path &path, ArticleEncoding requested, const EventPump &pump)
{
    // The raw bytes of ordinary articles go into one buffer kept between
    // calls: fresh memory for every file costs a page fault per 4 KB, which
    // for a large page costs as much as decoding it. A buffer that had to
    // grow past kKeptBufferBytes is given back at once, so a huge file does
    // not stay in memory after it was decoded.
    constexpr std::size_t kKeptBufferBytes = 4u << 20;
    thread_local std::string buffer;
    struct Release {
        std::string &bytes;
        ~Release()
        {
            // (Assigning an empty string would keep the allocation.)
            if (bytes.capacity() > kKeptBufferBytes)
                std::string().swap(bytes);
        }
    } release{buffer};
    DecodedArticle failed;
    if (!readWholeFile(path, buffer, &failed.error))
        return failed;
    try {
        return decodeArticle(buffer, requested, pump);
    } catch (const std::bad_alloc &) {
        failed.error = systemErrorText(ENOMEM);
        return failed;
    }
}

namespace {

// The page with its meta charset declarations naming the encoding written,
// so that a browser and this program read it back as it was (a Big5 page
// written as GB18030 would otherwise be read as Big5). Labels that browsers
// take for the same decoder are left as they are.
std::optional<std::string> declaringCharsetOf(std::string_view text, ArticleEncoding e)
{
    switch (e) {
    case ArticleEncoding::Utf8:
        return withMetaCharset(text, "utf-8", {"utf-8", "utf8", "unicode-1-1-utf-8"});
    case ArticleEncoding::Utf16LE:
    case ArticleEncoding::Utf16BE:
        return withMetaCharset(text, "utf-16", {"utf-16", "utf-16le", "utf-16be", "unicode", "ucs-2"});
    default:
        return withMetaCharset(text, "gb18030",
            {"gb18030", "gbk", "gb2312", "x-gbk", "cp936", "windows-936", "chinese", "csgb2312", "gb_2312",
                "gb_2312-80", "iso-ir-58"});
    }
}

} // namespace

std::string encodeArticle(std::string_view text, ArticleEncoding e)
{
    const std::optional<std::string> declaring = declaringCharsetOf(text, e);
    if (declaring)
        text = *declaring;
    if (e == ArticleEncoding::Utf8 || e == ArticleEncoding::Utf16LE || e == ArticleEncoding::Utf16BE) {
        const std::string converted = convertCharset(text, kCharsetUtf8, charsetName(e));
        if (!converted.empty()) {
            std::string bytes(byteOrderMark(e));
            bytes += converted;
            return bytes;
        }
    }
    return toAnsi(text);
}

bool writeArticleFile(const std::filesystem::path &path, std::string_view text, ArticleEncoding e, TargetHint hint)
{
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    return replaceFile(path, encodeArticle(text, e), hint);
}

bool writeWholeFile(const std::filesystem::path &path, std::string_view bytes)
{
    if (path.empty())
        return false;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return false;
    if (!writeAll(fd.get(), bytes))
        return false;
    return fd.close();
}

} // namespace varnel

namespace varnel {

bool replaceFile(const std::filesystem::path &path, std::string_view bytes, TargetHint hint)
{
    if (path.empty() || !path.has_filename()) {
        errno = ENOENT;
        return false;
    }
    const std::filesystem::path folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    // A short name of its own: the target's name may already be as long as
    // the file system allows. Created 0666 so that the umask applies.
    static std::atomic<unsigned> sequence{0};
    std::string temp;
    int raw = -1;
    for (int attempt = 0; raw < 0 && attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".varnel-%d-%u", static_cast<int>(::getpid()), sequence++);
        temp = (folder / name).string();
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST)
            return false;
    }
    UniqueFd fd(raw);
    if (fd.get() < 0)
        return false;
    auto fail = [&] {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    };
    // A file that is there already is replaced with its own permissions,
    // given to the temporary file before the text is: the text is never
    // readable by more than the old file's. A folder is never replaced.
    auto takeModeOfTarget = [&](bool open) {
        struct stat old { };
        if (::stat(path.c_str(), &old) != 0)
            return true;
        if (S_ISDIR(old.st_mode)) {
            errno = EISDIR;
            return false;
        }
        const mode_t mode = old.st_mode & 07777;
        return (open ? ::fchmod(fd.get(), mode) : ::chmod(temp.c_str(), mode)) == 0;
    };
    if (hint == TargetHint::Unknown && !takeModeOfTarget(true))
        return fail();
    if (!writeAll(fd.get(), bytes) || !fd.close())
        return fail();
    if (hint == TargetHint::Absent) {
        // Taken only while the name is still free; a file that appeared
        // meanwhile is replaced as above.
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) // the last two: no such rename here
            return fail();
        if (!takeModeOfTarget(false))
            return fail();
    }
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail();
    return true;
}

} // namespace varnel
