#pragma once

#include "text/ArticleFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace varnel {

// A file name made safe: \ / : * ? | < > become their full-width forms,
// double quotes, line breaks and tabs are removed.
std::string safeFileName(std::string_view name);

// The extension of exported files from the file-type patterns.
std::string exportExtension(std::string_view fileTypes);

// The names an export gives its files in one folder. A row's name is made
// safe and cut so that it fits in a file name with the extension; a second
// row of the same name in the run gets "name (2)", and so on, so no row
// overwrites another, while files of earlier runs are replaced.
//
// Only a 64-bit hash of each name given is kept, so that a run over millions
// of rows does not hold millions of names. A name whose hash was seen is
// taken as used when its file is there or still waits to be written: a name
// never given whose hash happens to match is free unless a file of that name
// exists (which the run would otherwise replace).
class ExportFileNames {
public:
    // `folder` ends with '/'; `extension` is made safe already. The folder is
    // listed here, once, calling `pump` now and then.
    ExportFileNames(std::string folder, std::string extension, const std::function<void()> &pump);

    // A free name for the file of a row named `rowName`, taken until
    // settle(): its file is queued for writing.
    std::string claim(std::string_view rowName);
    // The file was written or failed; from now on the disk tells.
    void settle(const std::string &fileName);

    // Unknown unless the name was not in the folder when the run started:
    // such a file is written without a look for an old one to take the
    // permissions of.
    TargetHint hintFor(const std::string &fileName) const;

    const std::string &folder() const { return m_folder; }

private:
    bool taken(const std::string &fileName) const;
    void reserve(const std::string &fileName);
    bool place(std::uint64_t h);
    void grow();
    void listFolder(const std::function<void()> &pump);

    std::string m_folder;
    std::string m_extension;
    // The names given in this run, an open-addressed set of hashes (0: empty).
    std::vector<std::uint64_t> m_slots;
    std::size_t m_used = 0;
    std::unordered_set<std::string> m_pending; // at most the writer's queue
    // The names in the folder at the start, as sorted hashes; not listed
    // when it holds more than a million.
    bool m_listed = false;
    std::vector<std::size_t> m_atStart;
};

} // namespace varnel
