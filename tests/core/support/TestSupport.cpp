#include "support/TestSupport.h"

#include "form/Control.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

namespace varnel::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

namespace {

bool writeAt(int folder, std::string_view text)
{
    const int fd = ::openat(folder, "f.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && written;
}

} // namespace

DeepTree::DeepTree(const std::filesystem::path &folder, int depth, std::string_view text)
{
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = m_fd >= 0 && writeAt(m_fd, text);
    for (; ok && m_levels < depth; ++m_levels) {
        if (::mkdirat(m_fd, "d", 0755) != 0)
            return;
        const int next = ::openat(m_fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(m_fd);
        m_fd = next;
        ok = m_fd >= 0 && writeAt(m_fd, text);
    }
    m_made = ok;
}

// Down here a path is too long to remove by: climb back, removing.
DeepTree::~DeepTree()
{
    for (bool removed = true; m_fd >= 0 && removed && m_levels > 0; --m_levels) {
        ::unlinkat(m_fd, "f.txt", 0);
        const int parent = ::openat(m_fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(m_fd);
        m_fd = parent;
        removed = m_fd >= 0 && ::unlinkat(m_fd, "d", AT_REMOVEDIR) == 0;
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

void writeBytes(const std::filesystem::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fromHex(std::string_view hex)
{
    std::string out;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out.push_back(' ');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

ScopedEnv::ScopedEnv(const char *name, const char *value)
    : m_name(name)
{
    if (const char *old = std::getenv(name))
        m_saved = old;
    set(value);
}

ScopedEnv::~ScopedEnv()
{
    set(m_saved ? m_saved->c_str() : nullptr);
}

void ScopedEnv::set(const char *value)
{
    if (value)
        ::setenv(m_name.c_str(), value, 1);
    else
        ::unsetenv(m_name.c_str());
    if (m_name == "TZ")
        ::tzset();
}

std::int64_t ScriptedRandom::between(std::int64_t lo, std::int64_t hi)
{
    std::int64_t v = m_afterwards;
    if (!m_values.empty()) {
        v = m_values.front();
        m_values.pop_front();
    }
    return std::clamp(v, lo, std::max(lo, hi));
}

void addRule(Form &form, const std::string &target, const std::string &source, const std::string &options)
{
    const int r = form.appendRow();
    form.setCell(r, 0, target);
    form.setCell(r, 1, source);
    form.setCell(r, 2, options);
}

} // namespace varnel::test
