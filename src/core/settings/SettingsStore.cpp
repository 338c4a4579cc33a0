#include "settings/SettingsStore.h"

#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/TextUtil.h"
#include "util/MessageHost.h"
#include "util/UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>

namespace varnel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// "┊*┊": a line break inside a stored text.
constexpr std::string_view kLineBreakMark = "┊*┊";
constexpr std::string_view kGuardCaption = "Varnel：";
constexpr std::string_view kGuardText = "配置模块出现意外，可能导致无法正常保存！详情请咨询Varnel。";
constexpr std::string_view kJournalMagic = "VARNEL-SETTINGS-JOURNAL 1\n";
constexpr std::string_view kJournalEnd = "\nEND";

const std::string &gbTrue()
{
    static const std::string t = toGb18030("真");
    return t;
}

const std::string &gbFalse()
{
    static const std::string f = toGb18030("假");
    return f;
}

bool writeAll(int fd, std::string_view bytes, off_t offset)
{
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

// Writes a whole file readable by its owner only (an existing file keeps its
// mode); false with errno set when it could not.
bool writePrivateFile(const std::filesystem::path &path, std::string_view bytes)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd || !writeAll(fd.get(), bytes, 0))
        return false;
    return fd.close();
}

bool readAll(int fd, std::string &out)
{
    out.clear();
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

// Side-file names: a "/" would leave the inibin folder, so it is spelled out.
std::string sideFileComponent(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (c == '/')
            out += "%2F";
        else if (c != '\0')
            out.push_back(c);
    }
    return out;
}

bool precededByLineBreak(const std::string &text, std::size_t at)
{
    return at >= 2 && text[at - 2] == '\r' && text[at - 1] == '\n';
}

} // namespace

SettingsStore::~SettingsStore()
{
    close();
}

std::filesystem::path SettingsStore::journalPath() const
{
    std::filesystem::path p = m_path;
    p += ".journal";
    return p;
}

bool SettingsStore::open(const std::filesystem::path &path)
{
    close();
    m_path = path;
    if (path.empty())
        return false;

    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (fd) {
        struct stat st { };
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            m_openError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        } else if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            // Another instance holds it: read only.
            m_openError = errno == EINTR ? EWOULDBLOCK : errno;
        } else {
            m_fd = std::move(fd);
        }
    } else {
        m_openError = errno;
    }
    if (m_fd) {
        recoverJournal();
        if (!readAll(m_fd.get(), m_text))
            m_text.clear();
    } else if (!readWholeFile(path, m_text)) {
        m_text.clear();
    }
    return m_fd.isOpen();
}

void SettingsStore::openReadOnly(const std::filesystem::path &path)
{
    close();
    m_path = path;
    if (!readWholeFile(path, m_text))
        m_text.clear();
}

void SettingsStore::openReadOnly(const std::filesystem::path &path, std::string text)
{
    close();
    m_path = path;
    m_text = std::move(text);
}

void SettingsStore::close()
{
    m_fd.reset(); // releases the lock
    m_text.clear();
    m_pending.clear();
    m_path.clear();
    m_openError = 0;
    m_writeError = 0;
}

void SettingsStore::setSection(std::string_view name)
{
    m_section = std::string(name);
}

// --- the file ---------------------------------------------------------------

// Every change of the text goes to the file at once. So that a kill at any
// moment can neither lose a write that has returned nor leave a half-moved
// tail, the new tail is first written to a journal beside the file, then
// written in place, then the journal is removed; opening the store replays a
// complete journal left behind.
void SettingsStore::edit(std::size_t offset, std::size_t removed, std::string_view inserted)
{
    const std::size_t oldSize = m_text.size();
    m_text.replace(offset, removed, inserted);
    if (!m_fd)
        return;

    const std::string_view tail = std::string_view(m_text).substr(offset);
    std::string journal(kJournalMagic);
    journal += std::to_string(offset) + "\n" + std::to_string(m_text.size()) + "\n";
    journal += tail;
    journal += kJournalEnd;
    const auto jpath = journalPath();
    const bool journaled = writePrivateFile(jpath, journal);

    const bool written = writeAll(m_fd.get(), tail, static_cast<off_t>(offset))
        && (m_text.size() >= oldSize || ::ftruncate(m_fd.get(), static_cast<off_t>(m_text.size())) == 0);
    if (!written && m_writeError == 0)
        m_writeError = errno ? errno : EIO;
    // A journal whose change did not reach the file is kept for the next open.
    if (journaled && written)
        ::unlink(jpath.c_str());
}

void SettingsStore::recoverJournal()
{
    std::string journal;
    const auto jpath = journalPath();
    if (!readWholeFile(jpath, journal))
        return;
    // magic, offset, new size, tail, end mark
    std::size_t offset = 0, size = 0;
    bool valid = journal.starts_with(kJournalMagic) && journal.ends_with(kJournalEnd);
    std::string_view rest = std::string_view(journal).substr(valid ? kJournalMagic.size() : 0);
    auto number = [&](std::size_t &out) {
        const auto nl = rest.find('\n');
        if (nl == npos || std::from_chars(rest.data(), rest.data() + nl, out).ptr != rest.data() + nl)
            return false;
        rest.remove_prefix(nl + 1);
        return true;
    };
    valid = valid && number(offset) && number(size);
    if (valid) {
        rest.remove_suffix(kJournalEnd.size());
        valid = offset <= size && rest.size() == size - offset;
    }
    if (valid) {
        struct stat st { };
        valid = ::fstat(m_fd.get(), &st) == 0 && static_cast<std::size_t>(st.st_size) >= offset;
    }
    if (valid && writeAll(m_fd.get(), rest, static_cast<off_t>(offset))
        && ::ftruncate(m_fd.get(), static_cast<off_t>(size)) == 0)
        ::unlink(jpath.c_str());
    else if (!valid)
        ::unlink(jpath.c_str()); // cut off while being written: the file was never touched
}

// --- lookups ----------------------------------------------------------------

bool SettingsStore::hasSection(std::string_view name) const
{
    return findSection("[" + toGb18030(name) + "]", 0) != npos;
}

std::size_t SettingsStore::findSection(std::string_view header, std::size_t from) const
{
    for (;;) {
        const std::size_t at = m_text.find(header, from);
        if (at == npos || at == 0 || precededByLineBreak(m_text, at))
            return at;
        from = at + 1;
    }
}

std::size_t SettingsStore::findEntry(std::size_t headerEnd, std::string_view key) const
{
    std::string needle(kCrLf);
    needle += key;
    needle += '=';
    const std::size_t entry = m_text.find(needle, headerEnd + 1);
    if (entry == npos)
        return npos;
    // A header line between the section's header and the entry means the
    // entry belongs to another section.
    for (std::size_t q = m_text.find("\r\n[", headerEnd + 1); q != npos && q < entry; q = m_text.find("\r\n[", q + 2)) {
        const std::size_t lineEnd = m_text.find(kCrLf, q + 2);
        if (lineEnd != npos && lineEnd - 1 > q + 2 && m_text[lineEnd - 1] == ']')
            return npos;
    }
    return entry;
}

std::string SettingsStore::readEntry(std::string_view key, std::string_view defaultValue)
{
    pump(m_pump);
    const std::string header = "[" + toGb18030(m_section) + "]";
    const std::size_t h = findSection(header, 0);
    if (h == npos)
        return std::string(defaultValue);
    const std::string gbKey = toGb18030(key);
    const std::size_t e = findEntry(h + header.size() - 1, gbKey);
    if (e == npos)
        return std::string(defaultValue);
    const std::size_t start = e + kCrLf.size() + gbKey.size() + 1;
    std::size_t end = m_text.find(kCrLf, start);
    if (end == npos)
        end = m_text.size();
    if (end == start)
        return std::string(defaultValue);
    return m_text.substr(start, end - start);
}

// --- writes -----------------------------------------------------------------

bool SettingsStore::writeEntry(std::string_view key, std::string_view value)
{
    m_pending.push_back({toGb18030(m_section), toGb18030(key), std::string(value)});
    if (m_busy)
        return false; // carried out when the running write has finished

    std::optional<bool> first;
    while (!m_pending.empty()) {
        const Request request = std::move(m_pending.front());
        m_pending.pop_front();
        m_busy = true;
        const bool ok = carryOut(request);
        m_busy = false;
        if (!first)
            first = ok;
    }
    return first.value_or(false);
}

bool SettingsStore::carryOut(const Request &request)
{
    const std::string header = "[" + request.section + "]";
    std::size_t from = 0;
    int appends = 0;
    for (;;) {
        pump(m_pump);
        const std::size_t h = m_text.find(header, from);
        if (h == npos) {
            if (appends == 10) {
                if (m_host) {
                    m_host->showMessage(kGuardText, kGuardCaption, MessageIcon::Warning);
                    m_host->showMessage(fromGb18030(m_text));
                }
                return false;
            }
            from = m_text.size();
            edit(m_text.size(), 0, m_text.empty() ? header : std::string(kCrLf) + header);
            ++appends;
            continue;
        }
        if (h != 0 && !precededByLineBreak(m_text, h)) {
            from = h + 1;
            continue;
        }
        const std::size_t headerEnd = h + header.size() - 1;
        const std::size_t e = findEntry(headerEnd, request.key);
        if (e != npos) {
            const std::size_t start = e + kCrLf.size() + request.key.size() + 1;
            std::size_t end = m_text.find(kCrLf, start);
            if (end == npos)
                end = m_text.size();
            edit(start, end - start, request.value);
            return true;
        }
        edit(headerEnd + 1, 0, std::string(kCrLf) + request.key + "=");
    }
}

// --- typed values -----------------------------------------------------------

bool SettingsStore::writeText(std::string_view key, std::string_view value)
{
    return writeEntry(key, toGb18030(replaceAll(value, kCrLf, kLineBreakMark)));
}

std::string SettingsStore::readText(std::string_view key, std::string_view defaultValue)
{
    const std::string raw = readEntry(key, {});
    if (raw.empty())
        return std::string(defaultValue);
    return replaceAll(fromGb18030(raw), kLineBreakMark, kCrLf);
}

std::string SettingsStore::formatNumber(double value)
{
    char buffer[64];
    // Locale-free equivalent of "%.13g".
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

double SettingsStore::parseNumber(std::string_view text)
{
    // The longest leading part that is a decimal number: sign, digits,
    // point, digits, exponent.
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digits = [&] {
        const std::size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t count = digits();
    if (i < n && text[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return 0;
    std::size_t end = i;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() > 0)
            end = i;
    }
    double value = 0;
    const auto result = std::from_chars(text.data() + mantissaStart, text.data() + end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Huge exponents saturate; tiny ones vanish.
        const std::string_view part = text.substr(mantissaStart, end - mantissaStart);
        const auto e = part.find_first_of("eE");
        value = (e != npos && part.substr(e + 1).starts_with('-')) ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

bool SettingsStore::writeNumber(std::string_view key, double value)
{
    return writeEntry(key, formatNumber(value));
}

double SettingsStore::readNumber(std::string_view key, double defaultValue)
{
    const std::string raw = readEntry(key, {});
    return parseNumber(raw.empty() ? formatNumber(defaultValue) : raw);
}

bool SettingsStore::writeBool(std::string_view key, bool value)
{
    return writeEntry(key, value ? gbTrue() : gbFalse());
}

bool SettingsStore::readBool(std::string_view key, bool defaultValue)
{
    const std::string raw = readEntry(key, {});
    return raw.empty() ? defaultValue : raw == gbTrue();
}

std::filesystem::path SettingsStore::sideFilePath(std::string_view key) const
{
    return m_path.parent_path() / "inibin" / (sideFileComponent(m_section) + "-" + sideFileComponent(key) + ".ibn");
}

bool SettingsStore::writeBytes(std::string_view key, std::string_view bytes)
{
    // A store that may not write its file leaves the side files alone too:
    // they belong to the instance that holds the file.
    if (!isBound() || !writesToDisk())
        return false;
    std::error_code ec;
    std::filesystem::create_directory(m_path.parent_path() / "inibin", ec);
    return writePrivateFile(sideFilePath(key), bytes);
}

std::string SettingsStore::readBytes(std::string_view key, std::string_view defaultValue)
{
    pump(m_pump);
    std::string bytes;
    if (!isBound() || !readWholeFile(sideFilePath(key), bytes) || bytes.empty())
        return std::string(defaultValue);
    return bytes;
}

} // namespace varnel
