// How varnel-cli connects: the settings of the connection, the password,
// and the connect itself.
#include "cli/Connect.h"

#include "cli/CliHost.h"
#include "cli/TerminalPassword.h"
#include "design/ControlValues.h"
#include "form/Control.h"
#include "form/MainControls.h"
#include "mysql/ConnectErrors.h"
#include "mysql/MySqlConnection.h"
#include "mysql/OptionFile.h"
#include "mysql/ServerError.h"
#include "transfer/ConnectSettings.h"
#include "util/RegularFile.h"
#include "util/SystemError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace varnel::cli {
namespace {

// The password of --password-file: the file's first line. Nothing, with the
// reason on stderr, when it cannot be read or others may read or change it.
std::optional<std::string> passwordFromFile(const std::string &path)
{
    const RegularFile file = openRegularFile(path);
    if (file.special) {
        std::fprintf(stderr, "%s\n", notRegularFileText(path).c_str());
        return std::nullopt;
    }
    if (file.error) {
        std::fprintf(stderr, "无法读取密码文件 %s：%s\n", path.c_str(), systemErrorText(file.error).c_str());
        return std::nullopt;
    }
    if (file.status.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) {
        std::fprintf(stderr, "密码文件 %s 的权限是 %s，其他用户可以读取或修改；请执行 chmod 600 %s\n", path.c_str(),
            permissionText(file.status.st_mode).c_str(), path.c_str());
        return std::nullopt;
    }
    std::string text(4096, '\0');
    const ssize_t n = ::read(file.fd.get(), text.data(), text.size());
    if (n < 0) {
        std::fprintf(stderr, "无法读取密码文件 %s：%s\n", path.c_str(), systemErrorText(errno).c_str());
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(n));
    text = text.substr(0, text.find('\n'));
    if (text.ends_with('\r'))
        text.pop_back();
    return text;
}

} // namespace

bool connectSettings(const CliOptions &options, Form &form, ConnectOptions &connect, std::string &password)
{
    const Result<ConnectOptions> tls = connectOptionsOf(form);
    if (!tls) {
        std::fprintf(stderr, "%s\n", tls.error().message.c_str());
        return false;
    }
    connect = *tls;
    connect.readOptionFiles = !options.noDefaults;
    if (options.defaultsFile) {
        // Checked here for the exit status; every connect checks it again.
        if (const auto refused = optionFileProblem(*options.defaultsFile)) {
            std::fprintf(stderr, "%s\n", refused->c_str());
            return false;
        }
        connect.optionFile = *options.defaultsFile;
    }
    // --password (or --set 编辑框密码=…) is this run's own, ahead of the
    // environment; the configuration file's comes after it.
    const bool passwordOnCommandLine = std::any_of(options.settings.begin(), options.settings.end(),
        [](const auto &setting) { return setting.first == ctl::kPassword; });
    if (options.passwordFile) {
        const std::optional<std::string> fromFile = passwordFromFile(*options.passwordFile);
        if (!fromFile)
            return false;
        password = *fromFile;
    } else if (const char *fromEnvironment = std::getenv("MYSQL_PWD"); fromEnvironment && !passwordOnCommandLine) {
        password = fromEnvironment;
    } else {
        password = controlText(form, ctl::kPassword);
    }
    return true;
}

bool connectToServer(const CliOptions &options, Form &form, CliHost &host, MySqlConnection &db,
    ConnectOptions connectOptions, const std::string &password)
{
    host.watchSocket([&db] { return db.socketDescriptor(); });
    db.setTimeout(options.timeout);
    db.setConnectOptions(std::move(connectOptions));
    const std::string server = controlText(form, ctl::kServer), user = controlText(form, ctl::kUser);
    bool connected = db.connect(server, user, password);
    // A login without a password of its own that the server refused: asked
    // for once at a terminal; without one the refusal stands.
    if (!connected && password.empty() && db.connectErrorNumber() == errnum::kAccessDenied) {
        if (const auto typed = askPasswordOnTerminal(user + "@" + server, [&host] { return host.interrupted(); }))
            connected = db.connect(server, user, *typed);
    }
    if (!connected) {
        std::fprintf(stderr, "连接到MySQL失败：%s\n", db.connectError().c_str());
        if (isTlsRefusal(db.connectErrorNumber())) {
            const std::string advice =
                tlsAdvice(db.connectErrorNumber(), db.connectOptions(), controlText(form, ctl::kServer));
            std::fprintf(stderr, "%s\n", advice.c_str());
        }
    }
    return connected;
}

} // namespace varnel::cli
