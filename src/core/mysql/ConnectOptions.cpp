#include "mysql/ConnectOptions.h"

#include "util/AsciiCase.h"

#include <array>
#include <utility>

namespace varnel {
namespace {

constexpr std::array<std::pair<SslMode, std::string_view>, 5> kModeNames{{
    {SslMode::Disabled, "DISABLED"},
    {SslMode::Preferred, "PREFERRED"},
    {SslMode::Required, "REQUIRED"},
    {SslMode::VerifyCa, "VERIFY_CA"},
    {SslMode::VerifyIdentity, "VERIFY_IDENTITY"},
}};

} // namespace

std::optional<SslMode> parseSslMode(std::string_view text)
{
    if (text.empty())
        return SslMode::Unset;
    for (const auto &[mode, name] : kModeNames) {
        if (equalsIgnoringAsciiCase(text, name))
            return mode;
    }
    return std::nullopt;
}

std::string_view sslModeName(SslMode mode)
{
    for (const auto &[m, name] : kModeNames) {
        if (m == mode)
            return name;
    }
    return {};
}

SslMode ConnectOptions::effectiveSslMode() const
{
    if (sslMode == SslMode::Unset && !(sslCa.empty() && sslCert.empty() && sslKey.empty()))
        return SslMode::Preferred;
    return sslMode;
}

} // namespace varnel
