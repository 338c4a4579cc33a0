#include "settings/SettingsStore.h"

#include "settings/IniText.h"
#include "text/Charset.h"
#include "text/TextUtil.h"
#include "util/MessageHost.h"

#include <optional>

namespace varnel {
namespace {

constexpr std::string_view kGuardCaption = "Varnel：";
constexpr std::string_view kGuardText = "配置模块出现意外，可能导致无法正常保存！详情请咨询Varnel。";

} // namespace

// Writes are queued: a write asked for while another is being carried out
// (from the event pump it calls) waits in the queue and is carried out, in
// order, when the running one has finished.
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

// Finds the section's header line (appending it when missing) and the entry
// in it (inserting "key=" right after the header when missing), then
// replaces the value. A header that will not be found after ten appends
// gives up with a warning.
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
            edit(m_text.size(), 0, m_text.empty() ? header : std::string(kIniLineBreak) + header);
            ++appends;
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
            return true;
        }
        edit(headerEnd + 1, 0, std::string(kIniLineBreak) + request.key + "=");
    }
}

} // namespace varnel
