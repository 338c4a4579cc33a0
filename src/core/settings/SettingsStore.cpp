#include "settings/SettingsStore.h"

#include "settings/FileIo.h"
#include "settings/FileLock.h"
#include "settings/IniText.h"
#include "settings/Journal.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/TextUtil.h"

#include <algorithm>
#include <cerrno>

namespace varnel {

// The store's life with its file, and reading an entry. Writes are in
// SettingsWrites.cpp, the typed values in SettingsValues.cpp and the bytes
// values in SideFiles.cpp.

SettingsStore::~SettingsStore()
{
    close();
}

bool SettingsStore::open(const std::filesystem::path &path)
{
    close();
    m_path = path;
    if (path.empty())
        return false;

    LockedFile locked = lockSettingsFile(path);
    m_openError = locked.error;
    m_fd = std::move(locked.fd);
    if (m_fd) {
        replayJournal(m_fd.get(), m_path);
        if (!readAllAt(m_fd.get(), m_text))
            m_text.clear();
    } else if (m_openError == EINVAL || !readWholeFile(path, m_text)) {
        // A FIFO or a device is not read either: its text is empty.
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
    // What a batch holds is written before the file is let go.
    applyBatched();
    writeDeferred();
    m_fd.reset(); // releases the lock
    m_text.clear();
    m_index = {};
    m_path.clear();
    m_openError = 0;
    m_writeError = 0;
}

void SettingsStore::setSection(std::string_view name)
{
    m_section = std::string(name);
}

// Every change of the text goes to the file at once, through the journal.
void SettingsStore::edit(std::size_t offset, std::size_t removed, std::string_view inserted)
{
    const std::size_t oldSize = m_text.size();
    m_text.replace(offset, removed, inserted);
    m_index = {};
    if (!m_fd)
        return;
    if (m_batchDepth > 0) {
        if (m_dirtyFrom == npos)
            m_fileSize = oldSize;
        m_dirtyFrom = std::min(m_dirtyFrom, offset);
        return;
    }
    const int error = writeThroughJournal(m_fd.get(), m_path, m_text, offset, oldSize);
    if (error != 0 && m_writeError == 0)
        m_writeError = error;
}

bool SettingsStore::hasSection(std::string_view name)
{
    applyBatched();
    return findSectionHeader(m_text, "[" + toGb18030(name) + "]") != npos;
}

const SettingsStore::EntryIndex &SettingsStore::entryIndex(const std::string &header)
{
    if (m_index.header == header)
        return m_index;
    m_index = {};
    m_index.header = header;
    const std::string_view text = m_text;
    m_index.headerPos = findSectionHeader(text, header);
    if (m_index.headerPos == npos)
        return m_index;
    // The section's lines, up to the next header line, by the same rules
    // findEntry applies.
    std::size_t pos = text.find(kIniLineBreak, m_index.headerPos + header.size());
    while (pos != npos) {
        const std::size_t start = pos + kIniLineBreak.size();
        const std::size_t end = text.find(kIniLineBreak, start);
        if (end != npos && start < text.size() && text[start] == '[' && end - 1 > start && text[end - 1] == ']')
            break;
        const std::string_view line = text.substr(start, end == npos ? npos : end - start);
        const std::size_t eq = line.find('=');
        if (eq != npos)
            m_index.entries.emplace(std::string(line.substr(0, eq)), pos);
        pos = end;
    }
    return m_index;
}

std::string SettingsStore::readEntry(std::string_view key, std::string_view defaultValue)
{
    std::optional<std::string> value = storedEntry(key);
    if (!value || value->empty())
        return std::string(defaultValue);
    return std::move(*value);
}

std::optional<std::string> SettingsStore::storedEntry(std::string_view key)
{
    applyBatched(); // a read sees every write before it
    const std::string header = "[" + toGb18030(m_section) + "]";
    const std::string gbKey = toGb18030(key);
    std::size_t e = npos;
    if (gbKey.find('=') == std::string::npos) {
        const EntryIndex &index = entryIndex(header);
        if (index.headerPos == npos)
            return std::nullopt;
        const auto it = index.entries.find(gbKey);
        e = it == index.entries.end() ? npos : it->second;
    } else {
        // A key holding "=" can match a line whose own key is shorter.
        const std::size_t h = findSectionHeader(m_text, header);
        if (h == npos)
            return std::nullopt;
        e = findEntry(m_text, h + header.size() - 1, gbKey);
    }
    if (e == npos)
        return std::nullopt;
    const ValueSpan value = entryValue(m_text, e, gbKey);
    return m_text.substr(value.start, value.end - value.start);
}

} // namespace varnel
