#include "transfer/ConnectSettings.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/ServerAddress.h"
#include "mysql/ServerError.h"

namespace varnel {

Result<ConnectOptions> connectOptionsOf(Form &form)
{
    const std::string mode = controlText(form, ctl::kSslMode);
    const std::optional<SslMode> parsed = parseSslMode(mode);
    if (!parsed)
        return failure("加密方式“" + mode + "”不对，可用 DISABLED、PREFERRED、REQUIRED、VERIFY_CA、VERIFY_IDENTITY");
    ConnectOptions options;
    options.sslMode = *parsed;
    options.sslCa = controlText(form, ctl::kSslCa);
    options.sslCert = controlText(form, ctl::kSslCert);
    options.sslKey = controlText(form, ctl::kSslKey);
    if (options.sslCert.empty() != options.sslKey.empty())
        return failure("客户端证书和客户端私钥要同时给出（--ssl-cert 与 --ssl-key）");
    return options;
}

std::string tlsAdvice(unsigned errorNumber, const ConnectOptions &options, std::string_view server)
{
    // MySQL's ER_SECURE_TRANSPORT_REQUIRED: the server takes nothing else.
    constexpr unsigned kSecureTransportRequired = errnum::kMySqlSecureTransportRequired;
    const SslMode mode = options.effectiveSslMode();
    std::string advice = "请检查加密连接的设置：\n";
    if (errorNumber == kSecureTransportRequired && !asksForTls(mode))
        advice += "■ 服务器只接受加密连接：请选择加密方式 REQUIRED、VERIFY_CA 或 VERIFY_IDENTITY。\n";
    advice += "■ 服务器是否提供加密连接：在服务器上执行 SHOW VARIABLES LIKE 'have_ssl'，应为 YES"
              "（DISABLED 表示服务器没有配置证书和私钥）。\n";
    if (verifiesServer(mode)) {
        advice += options.sslCa.empty()
            ? "■ CA 证书：没有给出 CA 证书时，服务器证书须由系统信任的 CA 签发；否则请给出签发它的 CA 证书。\n"
            : "■ CA 证书：服务器证书须由所给的 CA 证书（" + options.sslCa + "）签发。\n";
    }
    if (mode == SslMode::VerifyIdentity) {
        // The host of a list is the one that failed, which is not known here.
        const std::vector<std::string> servers = splitServerList(server).entries;
        const std::string host = servers.size() == 1 ? parseServerAddress(servers.front()).host : std::string();
        advice += "■ 主机名：服务器证书须签发给所连接的主机名" + (host.empty() ? std::string() : "（" + host + "）")
            + "；请用证书上的名字连接，或选择 VERIFY_CA。\n";
    }
    if (options.readOptionFiles)
        advice += "■ 客户端选项文件：其中的 ssl 设置（ssl、ssl-ca、ssl-verify-server-cert 等）也会生效。\n";
    advice.pop_back();
    return advice;
}

std::string movedToServer(const std::string &lost, const std::string &now)
{
    return "与服务器 " + lost + " 的连接已断开，已改连 " + now;
}

} // namespace varnel
