#pragma once

#include "cli/CliOptions.h"
#include "mysql/ConnectOptions.h"

#include <string>

namespace varnel {
class Form;
class MySqlConnection;
} // namespace varnel

namespace varnel::cli {

class CliHost;

// How varnel-cli connects: the encryption of the configuration and the
// options, the client option files, and the password from the first of
// --password-file, --password, MYSQL_PWD and the configuration file. False,
// with the reason on stderr, on a bad setting.
bool connectSettings(const CliOptions &options, Form &form, ConnectOptions &connect, std::string &password);

// Connects to the configuration's server, asking for a password at a
// terminal when the server refused a login without one; false, with why on
// stderr, when no connection was made.
bool connectToServer(const CliOptions &options, Form &form, CliHost &host, MySqlConnection &db,
    ConnectOptions connectOptions, const std::string &password);

} // namespace varnel::cli
