#include "transfer/ExportFileNames.h"

#include "text/TextUtil.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace varnel {
namespace {

constexpr std::size_t kMaxFileNameBytes = 255;
// A folder of more names is not listed; every file is then looked for.
constexpr std::size_t kMaxNamesAtStart = 1u << 20;

// Cuts a name so that name + extension fits in a file name, at a character
// boundary.
std::string fitName(const std::string &name, const std::string &extension)
{
    if (name.size() + extension.size() <= kMaxFileNameBytes)
        return name;
    std::size_t keep = kMaxFileNameBytes > extension.size() ? kMaxFileNameBytes - extension.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.substr(0, keep);
}

std::uint64_t nameHash(const std::string &name)
{
    const std::uint64_t h = std::hash<std::string>{}(name);
    return h ? h : 1; // 0 marks an empty slot
}

} // namespace

std::string safeFileName(std::string_view name)
{
    std::string out(name);
    const std::pair<const char *, const char *> wide[] = {
        {"\\", "＼"}, {"/", "／"}, {":", "："}, {"*", "＊"}, {"?", "？"}, {"|", "｜"}, {"<", "＜"}, {">", "＞"}};
    for (const auto &[from, to] : wide)
        out = replaceAll(out, from, to);
    for (const char *gone : {"\"", "\r\n", "\r", "\n", "\t"})
        out = replaceAll(out, gone, "");
    return out;
}

std::string exportExtension(std::string_view fileTypes)
{
    std::string ext =
        fileTypes.find('|') != std::string_view::npos ? std::string("html") : replaceEach(fileTypes, "*|.", "");
    if (ext.empty())
        ext = "html";
    return "." + ext;
}

ExportFileNames::ExportFileNames(std::string folder, std::string extension, const std::function<void()> &pump)
    : m_folder(std::move(folder))
    , m_extension(std::move(extension))
{
    listFolder(pump);
}

std::string ExportFileNames::claim(std::string_view rowName)
{
    const std::string base = fitName(safeFileName(rowName), m_extension);
    std::string fileName = base + m_extension;
    for (int n = 2; taken(fileName); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        fileName = fitName(base, suffix + m_extension) + suffix + m_extension;
    }
    reserve(fileName);
    return fileName;
}

void ExportFileNames::settle(const std::string &fileName)
{
    m_pending.erase(fileName);
}

TargetHint ExportFileNames::hintFor(const std::string &fileName) const
{
    if (!m_listed || std::binary_search(m_atStart.begin(), m_atStart.end(), std::hash<std::string_view>{}(fileName)))
        return TargetHint::Unknown;
    return TargetHint::Absent;
}

bool ExportFileNames::taken(const std::string &fileName) const
{
    if (m_slots.empty())
        return false;
    const std::uint64_t h = nameHash(fileName);
    for (std::size_t i = h & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
        if (m_slots[i] == 0)
            return false;
        if (m_slots[i] == h) {
            if (m_pending.count(fileName))
                return true;
            struct stat st { };
            return ::lstat((m_folder + fileName).c_str(), &st) == 0;
        }
    }
}

void ExportFileNames::reserve(const std::string &fileName)
{
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    if (place(nameHash(fileName)))
        ++m_used;
    m_pending.insert(fileName);
}

bool ExportFileNames::place(std::uint64_t h)
{
    for (std::size_t i = h & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
        if (m_slots[i] == h)
            return false;
        if (m_slots[i] == 0) {
            m_slots[i] = h;
            return true;
        }
    }
}

void ExportFileNames::grow()
{
    std::vector<std::uint64_t> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 64 : old.size() * 2, 0);
    for (const std::uint64_t h : old) {
        if (h)
            place(h);
    }
}

void ExportFileNames::listFolder(const std::function<void()> &pump)
{
    DIR *dir = ::opendir(m_folder.c_str());
    if (!dir)
        return; // nothing there (or nothing to see): every file is looked for
    m_listed = true;
    while (const dirent *entry = ::readdir(dir)) {
        if (m_atStart.size() == kMaxNamesAtStart) {
            m_listed = false;
            break;
        }
        m_atStart.push_back(std::hash<std::string_view>{}(entry->d_name));
        if ((m_atStart.size() & 4095) == 0)
            pump();
    }
    ::closedir(dir);
    if (!m_listed)
        m_atStart = {};
    std::sort(m_atStart.begin(), m_atStart.end());
}

} // namespace varnel
