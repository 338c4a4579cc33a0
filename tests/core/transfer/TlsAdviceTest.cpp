#include "transfer/ConnectSettings.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

ConnectOptions tls(SslMode mode, std::string ca = {}, bool optionFiles = false)
{
    ConnectOptions o;
    o.sslMode = mode;
    o.sslCa = std::move(ca);
    o.readOptionFiles = optionFiles;
    return o;
}

constexpr const char *kHead = "请检查加密连接的设置：\n";
constexpr const char *kHaveSsl = "■ 服务器是否提供加密连接：在服务器上执行 SHOW VARIABLES LIKE 'have_ssl'，应为 YES"
                                 "（DISABLED 表示服务器没有配置证书和私钥）。";

// Each point is there for the modes it concerns only.
TEST(TlsAdvice, ThePointsOfTheModeAsked)
{
    EXPECT_EQ(tlsAdvice(2026, tls(SslMode::Required), "db:3306"), std::string(kHead) + kHaveSsl);
    EXPECT_EQ(tlsAdvice(2026, tls(SslMode::VerifyCa, "/etc/ca.pem"), "db:3306"),
        std::string(kHead) + kHaveSsl + "\n■ CA 证书：服务器证书须由所给的 CA 证书（/etc/ca.pem）签发。");
    EXPECT_EQ(tlsAdvice(2026, tls(SslMode::VerifyIdentity, "", true), "db.example:3307"),
        std::string(kHead) + kHaveSsl
            + "\n■ CA 证书：没有给出 CA 证书时，服务器证书须由系统信任的 CA 签发；否则请给出签发它的 CA 证书。"
              "\n■ 主机名：服务器证书须签发给所连接的主机名（db.example）；请用证书上的名字连接，或选择 VERIFY_CA。"
              "\n■ 客户端选项文件：其中的 ssl 设置（ssl、ssl-ca、ssl-verify-server-cert 等）也会生效。");
    // Of a list the host that failed is not known.
    EXPECT_EQ(tlsAdvice(2026, tls(SslMode::VerifyIdentity, "/ca"), "a,b").find("（a"), std::string::npos);
    // A server that takes encrypted connections only, none asked for.
    EXPECT_EQ(tlsAdvice(3159, tls(SslMode::Unset), "db"),
        std::string(kHead) + "■ 服务器只接受加密连接：请选择加密方式 REQUIRED、VERIFY_CA 或 VERIFY_IDENTITY。\n"
            + kHaveSsl);
    EXPECT_EQ(tlsAdvice(3159, tls(SslMode::Required), "db"), std::string(kHead) + kHaveSsl);
}

} // namespace
} // namespace varnel
