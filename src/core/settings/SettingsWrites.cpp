#include "settings/SettingsStore.h"

#include "settings/IniText.h"
#include "settings/Journal.h"
#include "text/Charset.h"
#include "text/TextUtil.h"

#include <unordered_map>
#include <vector>

namespace varnel {

bool SettingsStore::writeEntry(std::string_view key, std::string_view value)
{
    Request request{toGb18030(m_section), toGb18030(key), std::string(value)};
    if (m_batchDepth > 0)
        m_batched.push_back(std::move(request)); // carried out with the batch
    else
        carryOut(request);
    return true;
}

// Finds the section's header line (appending it when missing) and the entry
// in it (inserting "key=" right after the header when missing), then
// replaces the value.
void SettingsStore::carryOut(const Request &request)
{
    const std::string header = "[" + request.section + "]";
    std::size_t from = 0;
    for (;;) {
        const std::size_t h = m_text.find(header, from);
        if (h == npos) {
            from = m_text.size();
            edit(m_text.size(), 0, m_text.empty() ? header : std::string(kIniLineBreak) + header);
            continue;
        }
        if (!startsLine(m_text, h)) {
            from = h + 1;
            continue;
        }
        const std::size_t headerEnd = h + header.size() - 1;
        const std::size_t e = findEntry(m_text, headerEnd, request.key);
        if (e != npos) {
            const ValueSpan value = entryValue(m_text, e, request.key);
            edit(value.start, value.end - value.start, request.value);
            return;
        }
        edit(headerEnd + 1, 0, std::string(kIniLineBreak) + request.key + "=");
    }
}

void SettingsStore::endBatch()
{
    if (m_batchDepth > 1) {
        --m_batchDepth;
        return;
    }
    applyBatched(); // still inside the batch: the file waits
    m_batchDepth = 0;
    writeDeferred();
}

void SettingsStore::applyBatched()
{
    if (m_batched.empty())
        return;
    const std::vector<Request> requests = std::move(m_batched);
    m_batched.clear();
    const int depth = m_batchDepth;
    m_batchDepth = std::max(depth, 1); // edits wait for the end of the batch
    for (std::size_t from = 0; from < requests.size();) {
        std::size_t to = from + 1;
        while (to < requests.size() && requests[to].section == requests[from].section)
            ++to;
        if (!applyToSection(requests, from, to)) {
            for (std::size_t i = from; i < to; ++i)
                carryOut(requests[i]);
        }
        from = to;
    }
    m_batchDepth = depth;
}

// The writes one by one would, for each key, replace the value of its first
// line in the section or, when it has none, put a new line "key=" right
// after the header line; a missing section is appended first. So the section
// becomes: the new lines, last written first, then its old lines with the
// new values. That holds where every line of the section starts after a
// CR LF, no key or value holds "=" (keys), CR or LF, and no key starts with
// "[" (its line could pass for a header line); elsewhere the writes are
// carried out one by one.
bool SettingsStore::applyToSection(const std::vector<Request> &requests, std::size_t from, std::size_t to)
{
    const std::string &section = requests[from].section;
    auto plain = [](std::string_view s, std::string_view bad) { return s.find_first_of(bad) == npos; };
    if (!plain(section, "\r\n"))
        return false;
    for (std::size_t i = from; i < to; ++i) {
        if (!plain(requests[i].key, "=\r\n") || !plain(requests[i].value, "\r\n") || requests[i].key.starts_with('['))
            return false;
    }
    const std::string header = "[" + section + "]";
    std::size_t h = findSectionHeader(m_text, header);
    if (h == npos) {
        edit(m_text.size(), 0, m_text.empty() ? header : std::string(kIniLineBreak) + header);
        h = findSectionHeader(m_text, header);
        if (h == npos)
            return false;
    }
    const std::string_view text = m_text;
    const std::size_t start = h + header.size();
    if (start != text.size() && text.substr(start, kIniLineBreak.size()) != kIniLineBreak)
        return false; // more on the header's line: the first new line would take it as its value

    // The section's lines, up to the next header line (by findEntry's rules).
    struct Line {
        std::size_t start, end; // the text after its CR LF
        const std::string *value = nullptr; // a new value
    };
    std::vector<Line> lines;
    std::unordered_map<std::string_view, std::size_t> firstLine;
    std::size_t end = start;
    while (end < text.size()) {
        const std::size_t lineStart = end + kIniLineBreak.size();
        const std::size_t lineEnd = text.find(kIniLineBreak, lineStart);
        if (lineEnd != npos && lineStart < text.size() && text[lineStart] == '[' && lineEnd - 1 > lineStart
            && text[lineEnd - 1] == ']')
            break;
        const std::size_t stop = lineEnd == npos ? text.size() : lineEnd;
        const std::string_view line = text.substr(lineStart, stop - lineStart);
        if (const std::size_t eq = line.find('='); eq != npos)
            firstLine.emplace(line.substr(0, eq), lines.size());
        lines.push_back({lineStart, stop});
        end = stop;
    }

    struct Added {
        const std::string *key, *value;
    };
    std::vector<Added> added;
    std::unordered_map<std::string_view, std::size_t> addedIndex;
    for (std::size_t i = from; i < to; ++i) {
        const Request &r = requests[i];
        if (const auto a = addedIndex.find(r.key); a != addedIndex.end()) {
            added[a->second].value = &r.value;
        } else if (const auto l = firstLine.find(r.key); l != firstLine.end()) {
            lines[l->second].value = &r.value;
        } else {
            addedIndex.emplace(r.key, added.size());
            added.push_back({&r.key, &r.value});
        }
    }

    std::string body;
    for (auto a = added.rbegin(); a != added.rend(); ++a) {
        body += kIniLineBreak;
        body += *a->key;
        body += '=';
        body += *a->value;
    }
    for (const Line &line : lines) {
        body += kIniLineBreak;
        if (line.value) {
            const std::string_view old = text.substr(line.start, line.end - line.start);
            body += old.substr(0, old.find('=') + 1);
            body += *line.value;
        } else {
            body.append(text, line.start, line.end - line.start);
        }
    }
    edit(start, end - start, body);
    return true;
}

void SettingsStore::writeDeferred()
{
    if (m_dirtyFrom == npos)
        return;
    if (m_fd) {
        const int error = writeThroughJournal(m_fd.get(), m_path, m_text, m_dirtyFrom, m_fileSize);
        if (error != 0 && m_writeError == 0)
            m_writeError = error;
    }
    m_dirtyFrom = npos;
}

} // namespace varnel
