#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// How a connection is encrypted, in the words of the MySQL clients.
enum class SslMode {
    Unset, // as the connection always was: TLS only when an option file asks for it
    Disabled, // never TLS
    Preferred, // TLS when the server offers it, the server's certificate unchecked
    Required, // TLS or no connection, the certificate unchecked
    VerifyCa, // TLS with a certificate issued by the given CA
    VerifyIdentity, // and made out to the host connected to
};

// "DISABLED" … "VERIFY_IDENTITY", in any case; an empty text is Unset.
std::optional<SslMode> parseSslMode(std::string_view text);
// The name parseSslMode reads; empty for Unset.
std::string_view sslModeName(SslMode mode);

// The connection is encrypted: when the server offers it, or always.
constexpr bool asksForTls(SslMode mode)
{
    return mode != SslMode::Unset && mode != SslMode::Disabled;
}
// A connection without encryption is refused.
constexpr bool requiresTls(SslMode mode)
{
    return asksForTls(mode) && mode != SslMode::Preferred;
}
// The server's certificate must be issued by a trusted CA.
constexpr bool verifiesServer(SslMode mode)
{
    return mode == SslMode::VerifyCa || mode == SslMode::VerifyIdentity;
}

// What every connect of a connection uses besides the server and the login.
struct ConnectOptions {
    SslMode sslMode = SslMode::Unset;
    std::string sslCa, sslCert, sslKey; // files; empty: not given
    // The client option files: none (the windows), the usual ones with
    // their [client] groups, or only the one file given.
    bool readOptionFiles = false;
    std::string optionFile;

    // The mode in effect: a certificate or CA given without a mode asks for
    // TLS when the server offers it.
    SslMode effectiveSslMode() const;
    bool operator==(const ConnectOptions &) const = default;
};

} // namespace varnel
