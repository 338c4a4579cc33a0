#include "transfer/ConnectSettings.h"

#include "form/Control.h"
#include "form/MainControls.h"

namespace varnel {

std::optional<ConnectOptions> connectOptionsOf(Form &form, std::string &problem)
{
    const std::string mode = controlText(form, ctl::kSslMode);
    const std::optional<SslMode> parsed = parseSslMode(mode);
    if (!parsed) {
        problem = "加密方式“" + mode + "”不对，可用 DISABLED、PREFERRED、REQUIRED、VERIFY_CA、VERIFY_IDENTITY";
        return std::nullopt;
    }
    ConnectOptions options;
    options.sslMode = *parsed;
    options.sslCa = controlText(form, ctl::kSslCa);
    options.sslCert = controlText(form, ctl::kSslCert);
    options.sslKey = controlText(form, ctl::kSslKey);
    if (options.sslCert.empty() != options.sslKey.empty()) {
        problem = "客户端证书和客户端私钥要同时给出（--ssl-cert 与 --ssl-key）";
        return std::nullopt;
    }
    return options;
}

std::string movedToServer(const std::string &lost, const std::string &now)
{
    return "与服务器 " + lost + " 的连接已断开，已改连 " + now;
}

} // namespace varnel
