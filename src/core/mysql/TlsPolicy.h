#pragma once

#include "mysql/ConnectOptions.h"

#include <string>

typedef struct st_mysql MYSQL;

namespace varnel {

// Decides what each SSL mode asks of the library before a connect, and
// whether the connection made afterwards is encrypted the way it was asked.
class TlsPolicy {
public:
    explicit TlsPolicy(ConnectOptions options);

    SslMode mode() const { return m_mode; }
    // The library checks that the server's certificate is made out to the
    // host connected to (MYSQL_OPT_SSL_VERIFY_SERVER_CERT). Only
    // VERIFY_IDENTITY asks for it; every other mode turns it off, whatever
    // the library's own default is.
    static bool checksHostName(SslMode mode) { return mode == SslMode::VerifyIdentity; }

    // Sets the encryption of a handle not yet connected: files, whether TLS
    // is required, whether the host name is checked.
    void apply(MYSQL *m) const;
    // After a successful connect: why the connection must not be used (no
    // encryption where it is required, an option file that changed what was
    // asked); empty when it may.
    std::string refusal(MYSQL *m) const;
    // What a failed TLS handshake is told with under a mode that checks the
    // server's certificate; empty under the others.
    std::string handshakeAdvice() const;

private:
    // What an option file read while connecting changed of the encryption
    // that was asked for, as the names of its settings; empty when nothing.
    std::string overridden(MYSQL *m) const;

    ConnectOptions m_options;
    SslMode m_mode;
};

} // namespace varnel
