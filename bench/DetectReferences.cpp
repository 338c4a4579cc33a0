#include "DetectReferences.h"

#include "text/Charset.h"
#include "util/AsciiCase.h"

#include <nlohmann/json.hpp>
#include <unicode/ucnv.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace varnel::bench {
namespace {

// Runs the program with the files as arguments; its standard output.
std::string run(const Reference &r, const std::vector<std::string> &files)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::FILE *null = std::fopen("/dev/null", "w");
        if (null)
            ::dup2(fileno(null), 2);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(r.program.c_str()));
        for (const std::string &o : r.options)
            argv.push_back(const_cast<char *>(o.c_str()));
        for (const std::string &f : files)
            argv.push_back(const_cast<char *>(f.c_str()));
        argv.push_back(nullptr);
        ::execv(r.program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[65536];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

std::string trim(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

} // namespace

const std::vector<Reference> &references()
{
    static const std::vector<Reference> all = {
        {"uchardet", "/usr/bin/uchardet", {}, Reference::Output::PathColon},
        {"enca", "/usr/bin/enca", {"-L", "chinese", "-i"}, Reference::Output::PathColon},
        {"chardet", "/usr/bin/chardetect", {}, Reference::Output::Chardet},
        {"charset-normalizer", "/usr/bin/normalizer", {}, Reference::Output::NormalizerJson},
    };
    return all;
}

bool installed(const Reference &r)
{
    return ::access(r.program.c_str(), X_OK) == 0;
}

std::vector<std::string> detect(const Reference &r, const std::vector<std::string> &files)
{
    std::vector<std::string> names(files.size());
    const std::string out = run(r, files);
    if (r.output == Reference::Output::NormalizerJson) {
        const nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
        std::map<std::string, std::string> byPath;
        auto take = [&](const nlohmann::json &o) {
            if (o.is_object() && o.contains("path") && o["path"].is_string() && o.contains("encoding")
                && o["encoding"].is_string())
                byPath[o["path"].get<std::string>()] = o["encoding"].get<std::string>();
        };
        if (j.is_array()) {
            for (const auto &o : j)
                take(o);
        } else {
            take(j);
        }
        for (std::size_t i = 0; i < files.size(); ++i)
            names[i] = byPath[files[i]];
        return names;
    }
    // One line a file, in order, each "path: name" (enca leaves the path out
    // for a single file); chardet adds " with confidence x".
    const std::vector<std::string> got = lines(out);
    for (std::size_t i = 0; i < files.size() && i < got.size(); ++i) {
        std::string line = got[i];
        if (line.starts_with(files[i] + ": "))
            line = line.substr(files[i].size() + 2);
        if (r.output == Reference::Output::Chardet)
            line = line.substr(0, line.find(" with confidence"));
        names[i] = trim(line);
    }
    return names;
}

std::string decodeAs(const std::string &reported, const std::string &bytes)
{
    std::string name = asciiLowered(reported);
    std::replace(name.begin(), name.end(), '_', '-');
    static const std::map<std::string, std::string> kDecoders = {
        {"gb2312", "GB18030"},
        {"gbk", "GB18030"},
        {"gb18030", "GB18030"},
        {"cp936", "GB18030"},
        {"euc-cn", "GB18030"},
        {"x-gbk", "GB18030"},
        {"big5", "Big5"},
        {"big5-tw", "Big5"},
        {"cp950", "windows-950"},
        {"big5hkscs", "Big5-HKSCS"},
        {"big5-hkscs", "Big5-HKSCS"},
        {"utf-16-le", "UTF-16LE"},
        {"utf-16-be", "UTF-16BE"},
        {"utf-8", "UTF-8"},
        {"utf8", "UTF-8"},
        {"ascii", "US-ASCII"},
    };
    const auto known = kDecoders.find(name);
    const std::string decoder = known != kDecoders.end() ? known->second : name;
    if (decoder.empty() || name == "???" || name == "unknown" || name == "no result")
        return {};
    UErrorCode status = U_ZERO_ERROR;
    UConverter *probe = ucnv_open(decoder.c_str(), &status);
    if (U_FAILURE(status))
        return {};
    ucnv_close(probe);
    return convertCharset(bytes, decoder, "UTF-8");
}

} // namespace varnel::bench
