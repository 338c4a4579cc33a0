#include "mysql/TlsPolicy.h"

#include <mysql.h>

#include <utility>

namespace varnel {
namespace {

constexpr const char *kSystemCaFolder = "/etc/ssl/certs";

const char *fileOrNull(const std::string &path)
{
    return path.empty() ? nullptr : path.c_str();
}

} // namespace

TlsPolicy::TlsPolicy(ConnectOptions options)
    : m_options(std::move(options))
    , m_mode(m_options.effectiveSslMode())
{
}

void TlsPolicy::apply(MYSQL *m) const
{
    // Set in every mode: an option file read while connecting may still turn
    // it on, which overridden() tells only where it was asked for.
    my_bool checkHost = checksHostName(m_mode) ? 1 : 0;
    mysql_optionsv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &checkHost);
    if (!asksForTls(m_mode))
        return;
    // The server's certificate is checked against the CA given, or against
    // the system's trusted ones when a mode that verifies has none.
    const char *systemCas = verifiesServer(m_mode) && m_options.sslCa.empty() ? kSystemCaFolder : nullptr;
    mysql_ssl_set(m, fileOrNull(m_options.sslKey), fileOrNull(m_options.sslCert), fileOrNull(m_options.sslCa),
        systemCas, nullptr);
    if (!requiresTls(m_mode))
        return;
    my_bool on = 1;
    mysql_optionsv(m, MYSQL_OPT_SSL_ENFORCE, &on);
}

std::string TlsPolicy::refusal(MYSQL *m) const
{
    if (requiresTls(m_mode) && !mysql_get_ssl_cipher(m))
        return "服务器没有提供加密连接（SSL 模式 " + std::string(sslModeName(m_mode)) + " 要求加密）";
    if (const std::string changed = overridden(m); !changed.empty())
        return "客户端选项文件改变了加密设置（" + changed + "），与所要求的不符；请修改选项文件或不读取它";
    return {};
}

std::string TlsPolicy::handshakeAdvice() const
{
    if (!verifiesServer(m_mode))
        return {};
    return std::string(m_options.sslCa.empty() ? "（没有给出 CA 证书：请检查服务器证书是否由系统信任的 CA 签发"
                                               : "（请检查服务器证书是否由所给的 CA 签发")
        + (m_mode == SslMode::VerifyIdentity ? "、是否签发给所连接的主机名" : "") + "）";
}

// Only what apply() set is compared: a mode without encryption sets no files.
std::string TlsPolicy::overridden(MYSQL *m) const
{
    if (!m_options.readOptionFiles || m_mode == SslMode::Unset)
        return {};
    std::string changed;
    auto note = [&](const char *name) { changed += (changed.empty() ? "" : "、") + std::string(name); };
    auto file = [&](mysql_option option, const std::string &wanted, const char *name) {
        char *value = nullptr;
        if (wanted.empty() || mysql_get_optionv(m, option, &value) != 0)
            return;
        if (!value || wanted != value)
            note(name);
    };
    if (asksForTls(m_mode)) {
        file(MYSQL_OPT_SSL_CA, m_options.sslCa, "ssl-ca");
        file(MYSQL_OPT_SSL_CERT, m_options.sslCert, "ssl-cert");
        file(MYSQL_OPT_SSL_KEY, m_options.sslKey, "ssl-key");
    }
    if (checksHostName(m_mode)) {
        my_bool verify = 0;
        if (mysql_get_optionv(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify) != 0 || !verify)
            note("ssl-verify-server-cert");
    }
    if (m_mode == SslMode::Disabled && mysql_get_ssl_cipher(m))
        note("ssl");
    return changed;
}

} // namespace varnel
