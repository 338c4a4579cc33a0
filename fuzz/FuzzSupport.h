#pragma once

// What the fuzz targets share: a scratch folder of the process, a message
// host that only counts, and a check that stops the run with a message.

#include "util/MessageHost.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace varnel::fuzz {

// Aborts (so libFuzzer keeps the input) when a property does not hold.
#define VARNEL_FUZZ_CHECK(condition, what)                                                                             \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, __LINE__);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// A folder of this process, in memory where the system offers it; removed at
// exit.
inline const std::filesystem::path &scratchDir()
{
    static const std::filesystem::path dir = [] {
        std::filesystem::path base = "/dev/shm";
        std::error_code ec;
        if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "varnel-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::filesystem::path made = pattern;
        static const std::filesystem::path removeAtExit = made;
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(removeAtExit, e);
        });
        return made;
    }();
    return dir;
}

inline void writeFile(const std::filesystem::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Removes the file and everything a settings store keeps beside it.
inline void removeStoreFiles(const std::filesystem::path &path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::path journal = path;
    journal += ".journal";
    std::filesystem::remove(journal, ec);
    std::filesystem::remove_all(path.parent_path() / "inibin", ec);
}

class CountingHost : public MessageHost {
public:
    void showMessage(std::string_view, std::string_view, MessageIcon) override { ++messages; }
    bool askOkCancel(std::string_view, std::string_view, MessageIcon) override
    {
        ++questions;
        return true;
    }
    int messages = 0;
    int questions = 0;
};

} // namespace varnel::fuzz
