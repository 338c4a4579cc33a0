// What each SSL mode asks of the library before a connect. The library's own
// default for checking the server's host name differs between its versions,
// and an option file may have set it: every mode sets it itself.
#include "mysql/TlsPolicy.h"

#include <mysql.h>

#include <gtest/gtest.h>

#include <memory>

namespace varnel {
namespace {

using Handle = std::unique_ptr<MYSQL, decltype(&mysql_close)>;

bool checksHostName(MYSQL *m)
{
    my_bool on = 0;
    EXPECT_EQ(mysql_get_optionv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on), 0);
    return on != 0;
}

TEST(TlsPolicy, OnlyVerifyIdentityChecksTheHostNameWhateverWasSetBefore)
{
    for (SslMode mode : {SslMode::Unset, SslMode::Disabled, SslMode::Preferred, SslMode::Required, SslMode::VerifyCa,
             SslMode::VerifyIdentity}) {
        for (my_bool before : {my_bool(0), my_bool(1)}) {
            const Handle m(mysql_init(nullptr), &mysql_close);
            ASSERT_TRUE(m);
            mysql_optionsv(m.get(), MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &before);
            ConnectOptions options;
            options.sslMode = mode;
            TlsPolicy(options).apply(m.get());
            EXPECT_EQ(checksHostName(m.get()), mode == SslMode::VerifyIdentity)
                << sslModeName(mode) << ", set before: " << int(before);
        }
    }
    // A CA given without a mode asks for TLS when the server offers it,
    // without checking the host name.
    const Handle m(mysql_init(nullptr), &mysql_close);
    ConnectOptions options;
    options.sslCa = "/nonexistent/ca.pem";
    const TlsPolicy policy(options);
    EXPECT_EQ(policy.mode(), SslMode::Preferred);
    policy.apply(m.get());
    EXPECT_FALSE(checksHostName(m.get()));
}

TEST(TlsPolicy, OnlyModesThatVerifyAdviseOnAFailedHandshake)
{
    for (SslMode mode : {SslMode::Unset, SslMode::Disabled, SslMode::Preferred, SslMode::Required}) {
        ConnectOptions options;
        options.sslMode = mode;
        EXPECT_EQ(TlsPolicy(options).handshakeAdvice(), "") << sslModeName(mode);
    }
    ConnectOptions options;
    options.sslMode = SslMode::VerifyCa;
    EXPECT_EQ(TlsPolicy(options).handshakeAdvice(), "（没有给出 CA 证书：请检查服务器证书是否由系统信任的 CA 签发）");
    options.sslMode = SslMode::VerifyIdentity;
    options.sslCa = "/etc/ca.pem";
    EXPECT_EQ(
        TlsPolicy(options).handshakeAdvice(), "（请检查服务器证书是否由所给的 CA 签发、是否签发给所连接的主机名）");
}

} // namespace
} // namespace varnel
