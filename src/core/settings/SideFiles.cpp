#include "settings/SettingsStore.h"

#include "settings/FileIo.h"
#include "text/ArticleFile.h"

#include <system_error>

namespace varnel {
namespace {

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

} // namespace

// Bytes values live in side files, one per section and key, in the folder
// "inibin" beside the settings file.

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
    std::string bytes;
    if (!isBound() || !readWholeFile(sideFilePath(key), bytes) || bytes.empty())
        return std::string(defaultValue);
    return bytes;
}

} // namespace varnel
