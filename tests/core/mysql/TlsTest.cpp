// Encrypted connections to the sandbox's TLS account, which requires them
// (scripts/mysql-sandbox makes its certificates and the account).
#include "mysql/MySqlConnection.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

struct TlsSettings {
    std::string server, user, password, ca, cert, key, otherCa;
};

std::optional<TlsSettings> tlsSettings()
{
    auto env = [](const char *name) {
        const char *v = std::getenv(name);
        return std::string(v ? v : "");
    };
    TlsSettings s{test::sandboxSettings().server, env("VARNEL_DB_TLS_USER"), env("VARNEL_DB_TLS_PASSWORD"),
        env("VARNEL_DB_SSL_CA"), env("VARNEL_DB_SSL_CERT"), env("VARNEL_DB_SSL_KEY"), env("VARNEL_DB_SSL_OTHER_CA")};
    if (s.user.empty() || s.ca.empty() || s.otherCa.empty())
        return std::nullopt;
    return s;
}

#define VARNEL_REQUIRE_TLS(settings)                                                                                   \
    do {                                                                                                               \
        if (!(settings)) {                                                                                             \
            if (::varnel::test::inCi())                                                                                \
                FAIL() << "no TLS account in the sandbox: run the tests through scripts/test";                         \
            GTEST_SKIP() << "no TLS account in the sandbox; run through scripts/test";                                 \
        }                                                                                                              \
    } while (0)

std::string statusValue(MySqlConnection &db, const std::string &name)
{
    const auto rows = db.fetchRows("show status like '" + name + "'");
    return rows && rows->rowCount() == 1 ? std::string(rows->cellText(0, 1)) : std::string();
}

ConnectOptions tls(SslMode mode, std::string ca = {})
{
    ConnectOptions o;
    o.sslMode = mode;
    o.sslCa = std::move(ca);
    return o;
}

TEST(Tls, VerifiedConnectionsReportTheirCipher)
{
    const auto s = tlsSettings();
    VARNEL_REQUIRE_TLS(s);
    const std::string port = s->server.substr(s->server.rfind(':'));
    // The server's certificate is made out to 127.0.0.1 and localhost.
    for (const std::string &server : {s->server, "localhost" + port}) {
        MySqlConnection db;
        db.setConnectOptions(tls(SslMode::VerifyIdentity, s->ca));
        ASSERT_TRUE(db.connect(server, s->user, s->password)) << server << ": " << db.connectError();
        EXPECT_FALSE(db.sslCipher().empty());
        EXPECT_EQ(statusValue(db, "Ssl_cipher"), db.sslCipher());
    }
    // With the client's own certificate and key too; after a lost
    // connection the same encryption is used again.
    MySqlConnection db;
    ConnectOptions withCertificate = tls(SslMode::VerifyCa, s->ca);
    withCertificate.sslCert = s->cert;
    withCertificate.sslKey = s->key;
    db.setConnectOptions(withCertificate);
    ASSERT_TRUE(db.connect(s->server, s->user, s->password)) << db.connectError();
    ASSERT_TRUE(db.reopen()) << db.connectError();
    EXPECT_FALSE(statusValue(db, "Ssl_cipher").empty());
    // REQUIRED and PREFERRED encrypt without checking the certificate.
    for (SslMode mode : {SslMode::Required, SslMode::Preferred}) {
        db.setConnectOptions(tls(mode));
        ASSERT_TRUE(db.connect(s->server, s->user, s->password)) << sslModeName(mode) << db.connectError();
        EXPECT_FALSE(db.sslCipher().empty());
    }
}

TEST(Tls, ACertificateThatDoesNotCheckOutIsRefusedClearly)
{
    const auto s = tlsSettings();
    VARNEL_REQUIRE_TLS(s);
    MySqlConnection db;
    db.setConnectOptions(tls(SslMode::VerifyIdentity, s->otherCa));
    EXPECT_FALSE(db.connect(s->server, s->user, s->password));
    EXPECT_TRUE(db.connectError().starts_with("加密连接失败（")) << db.connectError();
    EXPECT_NE(db.connectError().find("所给的 CA"), std::string::npos) << db.connectError();
    EXPECT_FALSE(db.isOpen());
    // A mode that verifies, without a CA, checks against the system's CAs,
    // which did not sign the sandbox's certificate.
    db.setConnectOptions(tls(SslMode::VerifyCa));
    EXPECT_FALSE(db.connect(s->server, s->user, s->password));
    EXPECT_NE(db.connectError().find("系统信任的 CA"), std::string::npos) << db.connectError();
    // The account requires encryption.
    for (SslMode mode : {SslMode::Unset, SslMode::Disabled}) {
        db.setConnectOptions(tls(mode));
        EXPECT_FALSE(db.connect(s->server, s->user, s->password)) << sslModeName(mode);
    }
}

} // namespace
} // namespace varnel
