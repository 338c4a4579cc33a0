// The options that say what a run reads and where it connects: the
// configuration, the values of it they override, and the connection's
// credentials and encryption.
#include "cli/OptionTable.h"

#include "form/MainControls.h"

namespace varnel::cli {
namespace {

constexpr CliOption kOptions[] = {
    {
        .name = "--config",
        .value = "FILE",
        .store = Store::Text,
        .text = &CliOptions::config,
        .completion = Completion::FileOf,
        .words = "ini",
        .usage = R"(
configuration file to read: GBK text with the section
[主界面], CR LF or LF line ends. A file that cannot be
read so is refused (exit 2), never replaced by defaults.
配置文件：GBK 文本，含 [主界面] 一节，换行为 CR LF 或 LF；
无法读取时报错（退出码 2），不会改用默认设置)",
        .man = R"(
The configuration to read: GBK text with the section
.BR [主界面] ,
CR LF or LF line ends.
A file that cannot be read so is refused (exit status 2), never replaced by
the defaults.
A FIFO, a device or a socket given where a file is to be read (this file, the
program's own settings file,
.BR \-\-retry ", " \-\-password\-file ", " \-\-defaults\-file )
is refused at once with "不是普通文件：" and its name (exit status 2).)",
    },
    {
        .name = "--server",
        .value = "HOST[:PORT][,HOST[:PORT]...]",
        .store = Store::Control,
        .control = ctl::kServer,
        .man = R"(
Override one value of the configuration.
The patterns of
.B \-\-types
(separated by "|") are taken one after another, so a file two of them
match is imported twice:
.B *.txt|*.*
imports each .txt file twice.
Symbolic links to files are followed.
.B \-\-server
may list several servers,
.IR HOST [: PORT ], HOST [: PORT ],...
(a cluster): they are tried in order, and a connection lost during a run
moves to the next one (the unknown outcomes of the batch on its way are then
settled by
.BR \-\-key ).
Entries are separated by commas only; an empty entry, a stray comma, a
semicolon or any text that is no
.IR HOST ", " HOST : PORT
or
.RI [ V6\-ADDRESS ]: PORT
is refused with "服务器地址无效：" and the text (exit status 2).
A host that is named is reached over TCP whatever socket an option file names;
.B localhost
alone is the local socket.
Only an empty value leaves the server to the option files and the client
library (the local server).
A batch the server undid for a deadlock or a cluster conflict (error 1213)
is sent again.)",
    },
    {.name = "--user", .value = "NAME", .store = Store::Control, .control = ctl::kUser, .head = Head::Beside},
    {.name = "--password", .value = "TEXT", .store = Store::Control, .control = ctl::kPassword, .head = Head::Beside},
    {.name = "--database", .value = "NAME", .store = Store::Control, .control = ctl::kDatabase, .head = Head::Below},
    {.name = "--table", .value = "NAME", .store = Store::Control, .control = ctl::kTable, .head = Head::Beside},
    {
        .name = "--folder",
        .value = "DIR",
        .store = Store::Control,
        .control = ctl::kFolder,
        .completion = Completion::Folder,
        .head = Head::Beside,
    },
    {.name = "--types", .value = "PATTERNS", .store = Store::Control, .control = ctl::kFileTypes, .head = Head::Beside},
    {
        .name = "--encoding",
        .value = "N",
        .store = Store::Control,
        .control = ctl::kEncoding,
        .check = Check::Encoding,
        .completion = Completion::Words,
        .words = "0 1 2 3 4",
        .head = Head::Below,
        // The text beside --encoding is the one of the server options above
        // it as well.
        .usage = R"(
0 自动识别, 1 ANSI, 2 UTF-8, 3 Unicode, 4 UnicodeBE
A list of servers (a cluster) is tried in order; a
connection lost during a run moves to the next one.
An empty entry or a text that is no HOST[:PORT] or
[V6]:PORT is refused (exit 2).
服务器可写成逗号分隔的列表（集群），依次尝试；运行中
连接断开时改连下一台；空项或无效的地址被拒绝)",
        .man = R"(
.B \-\-encoding
sets the encoding of the article files: 0 detect, 1 ANSI (GBK), 2 UTF\-8,
3 UTF\-16 (little endian), 4 UTF\-16 big endian.)",
    },
    {
        .name = "--ssl-mode",
        .value = "MODE",
        .store = Store::Control,
        .control = ctl::kSslMode,
        .check = Check::SslMode,
        .completion = Completion::Words,
        .words = "DISABLED PREFERRED REQUIRED VERIFY_CA VERIFY_IDENTITY",
        .usage = R"(
DISABLED, PREFERRED, REQUIRED, VERIFY_CA (the server's
certificate must be issued by --ssl-ca, or by a CA the
system trusts) or VERIFY_IDENTITY (and made out to the
host connected to). Without it the connection is not
encrypted unless an option file asks for it.
加密连接方式；VERIFY_CA 校验证书由 CA 签发，
VERIFY_IDENTITY 另校验主机名)",
        .man = R"(
Encryption of the connection:
.B DISABLED
(never),
.B PREFERRED
(when the server offers it),
.B REQUIRED
(always, the certificate unchecked unless a CA is given),
.B VERIFY_CA
(a server certificate issued by the CA of
.BR \-\-ssl\-ca ,
or by one the system trusts),
.B VERIFY_IDENTITY
(and made out to the host connected to).
Without it the connection is not encrypted unless an option file asks.
An empty
.I MODE
is refused.
A refusal over encryption is followed by what to check: the server's
.BR have_ssl ,
the CA, the host name in the certificate.)",
    },
    {
        .name = "--ssl-ca",
        .value = "FILE",
        .store = Store::Control,
        .control = ctl::kSslCa,
        .completion = Completion::File,
        .usage = R"(
the CA certificate, and the client's certificate and key
CA 证书、客户端证书和私钥)",
        .man = R"(
The CA certificate, and the client's certificate and key.)",
    },
    {
        .name = "--ssl-cert",
        .value = "FILE",
        .store = Store::Control,
        .control = ctl::kSslCert,
        .completion = Completion::File,
        .head = Head::Beside,
    },
    {
        .name = "--ssl-key",
        .value = "FILE",
        .store = Store::Control,
        .control = ctl::kSslKey,
        .completion = Completion::File,
        .head = Head::Beside,
    },
    {
        .name = "--defaults-file",
        .value = "FILE",
        .commands = kConnecting,
        .store = Store::Text,
        .text = &CliOptions::defaultsFile,
        .completion = Completion::File,
        .usage = R"(
read the client option file FILE (its [client] groups:
user, password, host, ssl-ca, ...) instead of the usual
ones (/etc/mysql/my.cnf, ~/.my.cnf, ...), which are read
otherwise; what the configuration sets comes first.
Refused when others may change it (or a file it
includes), or when it holds a password others may
read (chmod 600).
读取指定的客户端选项文件，代替默认的 my.cnf 等；其他用户
可修改、或含有密码而其他用户可读取的文件被拒绝)",
        .man = R"(
read only this client option file (its
.B [client]
and
.B [client\-mariadb]
groups), instead of the usual ones
.RI ( /etc/mysql/my.cnf ", " ~/.my.cnf ", ...),"
which are read otherwise. What the configuration sets comes first.
.I FILE
and the files its
.B !include
and
.B !includedir
lines name must be regular files that others may not change, and one that
holds a password must be readable by its owner only (chmod 600), as with
.BR \-\-password\-file ;
a file without a password may stay 0644. Refused otherwise (exit status 2).)",
    },
    {
        .name = "--no-defaults",
        .commands = kConnecting,
        .flag = &CliOptions::noDefaults,
        .usage = "read no client option file / 不读取客户端选项文件",
        .man = "read no client option file.",
    },
    {
        .name = "--password-file",
        .value = "FILE",
        .commands = kConnecting,
        .store = Store::Text,
        .text = &CliOptions::passwordFile,
        .completion = Completion::File,
        .usage = R"(
the password is the first line of FILE, which only its
owner may read (refused otherwise, exit 2). Without it
the password comes from --password, then MYSQL_PWD,
then the configuration file, then the option files.
A password is never printed.
密码取自文件第一行（文件须只有属主可读写）；否则依次取
--password、MYSQL_PWD、配置文件、选项文件；从不输出密码)",
        .man = R"(
the password is the first line of
.IR FILE ,
which only its owner may read (refused otherwise, exit status 2).
Without it the password comes from
.BR \-\-password ,
then
.B MYSQL_PWD
when that is set, then the configuration file, then (when that is empty)
the option files. An empty user likewise lets the option files' user, or
the login name, apply. When the server refuses a login that none of these
gave a password and standard input is a terminal, the password is asked for
once on the terminal, without echo; without a terminal the run ends with the
server's reason (exit status 1). A password is never printed.)",
    },
};

} // namespace

std::span<const CliOption> sourceAndConnectionOptions()
{
    return kOptions;
}

} // namespace varnel::cli
