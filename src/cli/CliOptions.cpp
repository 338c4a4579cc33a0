#include "cli/CliOptions.h"

#include "form/MainControls.h"
#include "mysql/ConnectOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>

namespace varnel::cli {

const char *const kUsage = R"(Usage / 用法:
  varnel-cli import  [--config FILE] [options] [FILE... | --retry REPORT]
  varnel-cli export  [--config FILE] [options]
  varnel-cli preview [--config FILE] [options] [--json] FILE...
  varnel-cli watch   [--config FILE] [options] [--new-only]

Runs the import and export of the Varnel window without a display, from a saved
configuration (section "主界面"). Without --config it reads the program's own
settings file, so it uses what the window last saved. The configuration file is
never written, except for counter start values with --save-counters.
无需窗口运行导入和导出，配置取自保存的配置文件（"主界面"一节）。不指定 --config
时读取程序自己的设置文件，即窗口上次保存的设置。除 --save-counters 外从不改写配置。

Commands / 命令:
  import    import the article folder, or the FILEs given, into the table
            导入文章目录（或给出的文件）到数据表
  export    write the table's rows out as article files into the folder
            把数据表的记录导出为文章文件
  preview   show, for each FILE, the encoding found (", uncertain" when
            自动识别 could not be sure and read it as GBK) and every rule's
            value, exactly as import would store them, or why the import
            would skip it; no server is needed
            显示每个文件识别出的编码（无法确定时按 GBK 读取并注明）和每个字段
            的值（与导入相同），或导入时跳过该文件的原因；不连接服务器
  watch     import every file that appears in the article folder (and its
            sub-folders with 遍历子目录 / --recurse) once it is complete
            (closed after writing, or moved in), in batches, until Ctrl+C
            or SIGTERM (exit 130); the files there at the start first,
            unless --new-only. A server that goes away is connected again
            before the next batch; with --key nothing is stored twice, also
            after a restart of the watcher. Uses inotify, no polling.
            监视文章目录，文件写完（关闭）或移入后分批导入，直到 Ctrl+C 或
            SIGTERM（退出码 130）；先导入启动时已有的文件（--new-only 除外）。
            服务器断开后在下一批前重新连接；使用 --key 时不会重复导入

Options / 选项 (--option VALUE or --option=VALUE / 值可写作 --option VALUE 或
--option=VALUE; "--" ends the options, for a FILE that begins with "-" /
"--" 之后均为文件名):
  --config FILE       configuration file to read: GBK text with the section
                      [主界面], CR LF or LF line ends. A file that cannot be
                      read so is refused (exit 2), never replaced by defaults.
                      配置文件：GBK 文本，含 [主界面] 一节，换行为 CR LF 或 LF；
                      无法读取时报错（退出码 2），不会改用默认设置
  --server HOST[:PORT][,HOST[:PORT]...] --user NAME --password TEXT
  --database NAME --table NAME --folder DIR --types PATTERNS
  --encoding N        0 自动识别, 1 ANSI, 2 UTF-8, 3 Unicode, 4 UnicodeBE
                      A list of servers (a cluster) is tried in order; a
                      connection lost during a run moves to the next one.
                      An empty entry or a text that is no HOST[:PORT] or
                      [V6]:PORT is refused (exit 2).
                      服务器可写成逗号分隔的列表（集群），依次尝试；运行中
                      连接断开时改连下一台；空项或无效的地址被拒绝
  --ssl-mode MODE     DISABLED, PREFERRED, REQUIRED, VERIFY_CA (the server's
                      certificate must be issued by --ssl-ca, or by a CA the
                      system trusts) or VERIFY_IDENTITY (and made out to the
                      host connected to). Without it the connection is not
                      encrypted unless an option file asks for it.
                      加密连接方式；VERIFY_CA 校验证书由 CA 签发，
                      VERIFY_IDENTITY 另校验主机名
  --ssl-ca FILE --ssl-cert FILE --ssl-key FILE
                      the CA certificate, and the client's certificate and key
                      CA 证书、客户端证书和私钥
  --defaults-file FILE
                      read the client option file FILE (its [client] groups:
                      user, password, host, ssl-ca, ...) instead of the usual
                      ones (/etc/mysql/my.cnf, ~/.my.cnf, ...), which are read
                      otherwise; what the configuration sets comes first.
                      Refused when others may change it (or a file it
                      includes), or when it holds a password others may
                      read (chmod 600).
                      读取指定的客户端选项文件，代替默认的 my.cnf 等；其他用户
                      可修改、或含有密码而其他用户可读取的文件被拒绝
  --no-defaults       read no client option file / 不读取客户端选项文件
  --password-file FILE
                      the password is the first line of FILE, which only its
                      owner may read (refused otherwise, exit 2). Without it
                      the password comes from --password, then MYSQL_PWD,
                      then the configuration file, then the option files.
                      A password is never printed.
                      密码取自文件第一行（文件须只有属主可读写）；否则依次取
                      --password、MYSQL_PWD、配置文件、选项文件；从不输出密码
  --recurse           also import sub-folders / 遍历子目录
  --random-order      import in random order / 乱序导入
  --clear             empty the table first, without asking (the Ctrl key)
                      导入前清空数据表（相当于按住 Ctrl），不再询问
  --set NAME=VALUE    set any control of the main window by its name, e.g.
                      --set 编辑框摘要字数1=50 --set 选择框同步=真
                      按名称设置主界面的任意控件
  --batch N           rows per INSERT statement (default 500; 1 = one statement
                      per file). Batches are used on InnoDB tables only; a
                      refused batch is retried row by row, so only the refused
                      files are skipped.
                      每条 INSERT 语句的行数（默认 500，1 为每个文件一条语句）
  --timeout SECONDS   how long one read or write on the server connection may
                      take before the run ends with an error (default 600;
                      a whole number from 1 to 2147483)
                      连接读写超时秒数（默认 600，1 到 2147483 的整数）
  --save-counters     write advanced counter start values back to the config;
                      when that fails, "计数器未保存：" and the reason go to
                      stderr and the exit status is 4
                      把递进数字的新起始值写回配置文件；写入失败时输出
                      "计数器未保存：" 和原因，退出码为 4
  --report FILE       import, export: write a run report to FILE, JSON Lines:
                      one object per file ("file", "file_hex" when the name
                      is not UTF-8, "outcome": stored, failed, unknown,
                      incomplete, skipped or exists, "reason", "key"), then
                      a summary object ("summary": true, the counts, table,
                      database, key, start and end time, exit status);
                      written whole at the end of every run, stopped or not;
                      a symbolic link is followed to its file; a folder, a
                      FIFO or a device is refused (exit 2)
                      写运行报告（JSON Lines，每个文件一行，最后一行为汇总），
                      运行结束（包括被停止）时整体写入；不写入目录、FIFO 或设备
  --retry REPORT      import only the files of REPORT whose last outcome was
                      failed, unknown or skipped, each once, with the
                      configuration given now; a report of another table,
                      of an export or of a run that reached no file is
                      refused (exit 2)
                      只导入报告中最后结果为失败、未确认或未导入的文件，每个一次；
                      其他表、导出或未处理任何文件的运行的报告被拒绝
  --key COLUMN        a mapping target whose value identifies an article:
                      files whose key the table holds already are not stored
                      again (outcome exists, counted as "已存在 n 篇"), and
                      after a lost connection files of unknown outcome are
                      looked up by key. Keys compare as the column holds
                      them (needs CREATE TEMPORARY TABLES); a blank key
                      fails. Fast with a unique index on COLUMN.
                      唯一键字段：表中已有此键的文件不再导入（已存在）；连接
                      断开后按键确认未确认的文件。该字段有唯一索引时最快
  --new-only          watch: leave the files already there / 只导入新出现的文件
  --json              preview: one JSON object per line / 每行输出一个 JSON 对象
  -q, --quiet         no progress on stderr / 不显示进度
  -h, --help          this text / 显示本帮助

Progress goes to stderr (on a terminal one line updated in place: done/total,
percent, files per second, time left, current file; otherwise at most one line
a second), the final message to stdout. The server's reason
behind a message that ended a run follows it on the next line of stderr; the
lists of failed files or rows and of files not known to be stored follow, each
under its heading.
进度输出到 stderr（终端上为原地刷新的一行：完成数/总数、百分比、每秒篇数、剩余时间、
当前文件；否则每秒最多一行），最终结果输出到 stdout。导致运行结束的服务器原因紧随该信息输出到
stderr 的下一行；失败的文件或记录、未确认是否已导入的文件分别列在各自标题下（stderr）。

Ctrl+C (SIGINT) or SIGTERM stops a run like the stop button: the statement in
flight completes, the final message and the lists are printed, exit status 130.
A second one cuts the statement in flight short (its files are then of unknown
outcome) and ends the run at once, still with its message, lists and report; a
third ends the program.
Ctrl+C（SIGINT）或 SIGTERM 如同停止按钮：正在执行的语句完成后结束，输出最终结果和
清单，退出码 130。再次收到则不再等待正在执行的语句，立即结束并仍输出结果和报告；
第三次收到则立即退出。

Exit status / 退出码:
  0    completed / 完成
  1    anything else: no connection, a run ended by a server or fetch error,
       a server lost that could not be reached again (its final message on
       stdout, the reason on stderr)
       其他错误：无法连接、运行因服务器或读取错误中断（最终结果输出到 stdout，
       原因输出到 stderr）
  2    a mistake in the command line (an unknown command or option, a missing
       or bad value, a --set naming no control), one line on stderr; or a
       validation message (missing database name, folder not found, a
       configuration that cannot be read, a counter outside 64 bits, ...),
       on stderr
       命令行错误（未知的命令或选项、缺少值或值无效、--set 的控件名不存在），
       在 stderr 输出一行；或校验失败（缺少库名、目录不存在、配置文件无法读取、
       递进数字超出 64 位等），信息输出到 stderr
  3    completed, but some files or rows failed, some files were stored only
       in part, or it is not known whether some files were stored (listed on
       stderr); preview: some file cannot be read or only in part
       完成，但有文件或记录失败、文件内容不完整或未确认是否已导入（清单输出到
       stderr）；preview：有文件无法读取或只读出一部分
  4    completed, but --save-counters could not write the counters
       完成，但 --save-counters 未能保存计数器
  130  stopped by Ctrl+C or SIGTERM / 被 Ctrl+C 或 SIGTERM 停止
)";

namespace {

// CLI11 shows this program's own bilingual text for --help, on every command.
class UsageFormatter : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App *, std::string, CLI::AppFormatMode) const override { return kUsage; }
};

// A whole decimal number from 1 to max, or nothing.
std::optional<unsigned long long> wholeNumber(const std::string &text, unsigned long long max)
{
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || n > max)
            return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n == 0 || n > max)
        return std::nullopt;
    return n;
}

// The options every command takes; what each one does with its value is
// decided after parsing, in the order they were given.
struct OptionSet {
    CLI::Option *config = nullptr;
    std::map<const CLI::Option *, std::string> controls; // option -> the control it sets
    std::map<const CLI::Option *, std::pair<std::string, std::string>> checks; // flag -> control, value
    CLI::Option *set = nullptr;
    CLI::Option *batch = nullptr;
    CLI::Option *timeout = nullptr;
    CLI::Option *clear = nullptr;
    CLI::Option *saveCounters = nullptr;
    CLI::Option *json = nullptr;
    CLI::Option *quiet = nullptr;
    CLI::Option *report = nullptr;
    CLI::Option *retry = nullptr;
    CLI::Option *key = nullptr;
    CLI::Option *newOnly = nullptr;
    CLI::Option *defaultsFile = nullptr;
    CLI::Option *noDefaults = nullptr;
    CLI::Option *passwordFile = nullptr;
};

void addOptions(CLI::App &command, OptionSet &set)
{
    auto value = [&](const char *name, const char *type) {
        return command.add_option(name)->type_name(type)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    auto flag = [&](const char *name) { return command.add_flag(name)->disable_flag_override(); };
    set.config = value("--config", "FILE");
    const std::pair<const char *, std::string_view> controls[] = {
        {"--server", ctl::kServer},
        {"--user", ctl::kUser},
        {"--password", ctl::kPassword},
        {"--database", ctl::kDatabase},
        {"--table", ctl::kTable},
        {"--folder", ctl::kFolder},
        {"--types", ctl::kFileTypes},
        {"--encoding", ctl::kEncoding},
        {"--ssl-mode", ctl::kSslMode},
        {"--ssl-ca", ctl::kSslCa},
        {"--ssl-cert", ctl::kSslCert},
        {"--ssl-key", ctl::kSslKey},
    };
    for (const auto &[name, control] : controls)
        set.controls[value(name, "VALUE")] = std::string(control);
    set.checks[flag("--recurse")] = {"选择框遍历子目录", "真"};
    set.checks[flag("--random-order")] = {"选择框乱序导入", "真"};
    set.set = value("--set", "NAME=VALUE");
    set.batch = value("--batch", "N");
    set.timeout = value("--timeout", "SECONDS");
    set.clear = flag("--clear");
    set.saveCounters = flag("--save-counters");
    set.json = flag("--json");
    set.quiet = flag("-q,--quiet");
    set.report = value("--report", "FILE");
    set.retry = value("--retry", "REPORT");
    set.key = value("--key", "COLUMN");
    set.newOnly = flag("--new-only");
    set.defaultsFile = value("--defaults-file", "FILE");
    set.noDefaults = flag("--no-defaults");
    set.passwordFile = value("--password-file", "FILE");
}

// Reads the parsed options in the order given into o; false with the
// reason on a bad value.
bool applyOptions(const CLI::App &command, const OptionSet &set, CliOptions &o, CommandLineError &failure)
{
    std::map<const CLI::Option *, std::size_t> seen;
    for (const CLI::Option *option : command.parse_order()) {
        const std::size_t index = seen[option]++;
        const std::string v = index < option->results().size() ? option->results()[index] : std::string();
        if (option == set.config) {
            o.config = v;
        } else if (auto control = set.controls.find(option); control != set.controls.end()) {
            if (control->second == ctl::kEncoding && (v.size() != 1 || v[0] < '0' || v[0] > '4')) {
                failure.text = "--encoding takes 0 to 4, not \"" + v + "\"";
                return false;
            }
            // An empty mode is what a settings file without one holds; on the
            // command line it is a mistake.
            if (control->second == ctl::kSslMode && (v.empty() || !parseSslMode(v))) {
                failure.text =
                    "--ssl-mode takes DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY, not \"" + v + "\"";
                return false;
            }
            o.settings.emplace_back(control->second, v);
        } else if (auto check = set.checks.find(option); check != set.checks.end()) {
            o.settings.push_back(check->second);
        } else if (option == set.set) {
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                failure.text = "--set takes NAME=VALUE, not \"" + v + "\"";
                return false;
            }
            o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (option == set.batch) {
            const auto n = wholeNumber(v, kMaxBatch);
            if (!n) {
                failure.text = "--batch takes a whole number of rows from 1 to " + std::to_string(kMaxBatch)
                    + ", not \"" + v + "\"";
                return false;
            }
            o.batch = static_cast<std::size_t>(*n);
        } else if (option == set.timeout) {
            const auto n = wholeNumber(v, kMaxTimeoutSeconds);
            if (!n) {
                failure.text = "--timeout takes a whole number of seconds from 1 to "
                    + std::to_string(kMaxTimeoutSeconds) + ", not \"" + v + "\"";
                return false;
            }
            o.timeout = static_cast<unsigned>(*n);
        } else if (option == set.clear) {
            o.clear = true;
        } else if (option == set.saveCounters) {
            o.saveCounters = true;
        } else if (option == set.json) {
            o.json = true;
        } else if (option == set.quiet) {
            o.quiet = true;
        } else if (option == set.report) {
            o.report = v;
        } else if (option == set.retry) {
            o.retry = v;
        } else if (option == set.key) {
            if (v.empty()) {
                failure.text = "--key needs a column name";
                return false;
            }
            o.key = v;
        } else if (option == set.newOnly) {
            o.newOnly = true;
        } else if (option == set.defaultsFile) {
            o.defaultsFile = v;
        } else if (option == set.noDefaults) {
            o.noDefaults = true;
        } else if (option == set.passwordFile) {
            o.passwordFile = v;
        }
    }
    return true;
}

// CLI11's reason for a value that is missing or not wanted, in this
// program's words.
std::string parseErrorText(const CLI::ParseError &e)
{
    std::string text = e.what();
    if (!dynamic_cast<const CLI::ArgumentMismatch *>(&e))
        return text;
    if (const auto colon = text.find(": "); colon != std::string::npos && text.ends_with(" missing"))
        return text.substr(0, colon) + " needs a value";
    if (constexpr std::string_view flag = " was given a disallowed flag override"; text.ends_with(flag))
        return "--" + text.substr(0, text.size() - flag.size()) + " takes no value";
    return text;
}

// What CLI11 left unplaced, without the "--" that ends the options.
std::vector<std::string> unplaced(const CLI::App &app)
{
    std::vector<std::string> extras = app.remaining();
    std::erase(extras, "--");
    return extras;
}

} // namespace

std::optional<CliOptions> parseCommandLine(const std::vector<std::string> &args, CommandLineError &failure)
{
    CLI::App app("varnel-cli", "varnel-cli");
    app.formatter(std::make_shared<UsageFormatter>());
    app.set_help_flag("-h,--help");
    // Anything CLI11 does not place is kept and named below, one reason at a
    // time, so every mistake reads as one line.
    app.allow_extras();
    app.require_subcommand(0, 1);

    CliOptions o;
    const std::pair<const char *, Command> names[] = {{"import", Command::Import}, {"export", Command::Export},
        {"preview", Command::Preview}, {"watch", Command::Watch}};
    std::map<const CLI::App *, Command> commands;
    std::map<const CLI::App *, OptionSet> optionSets;
    for (const auto &[name, command] : names) {
        CLI::App *sub = app.add_subcommand(name);
        commands[sub] = command;
        addOptions(*sub, optionSets[sub]);
        if (command == Command::Import || command == Command::Preview)
            sub->add_option("FILE", o.files);
    }
    app.add_subcommand("help");

    // "--option=" gives the option an empty value, as "--option ''" does;
    // CLI11 would take the next argument instead.
    std::vector<std::string> reversed;
    bool optionsEnded = false;
    for (const std::string &a : args) {
        if (!optionsEnded && a.starts_with("--") && a.size() > 3 && a.find('=') == a.size() - 1) {
            reversed.push_back(a.substr(0, a.size() - 1));
            reversed.emplace_back();
        } else {
            reversed.push_back(a);
        }
        optionsEnded = optionsEnded || a == "--";
    }
    std::reverse(reversed.begin(), reversed.end());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        o = CliOptions();
        return o;
    } catch (const CLI::ParseError &e) {
        failure.text = parseErrorText(e);
        return std::nullopt;
    }

    const std::vector<CLI::App *> chosen = app.get_subcommands();
    if (chosen.empty()) {
        const std::vector<std::string> extras = unplaced(app);
        if (extras.empty())
            failure.text = "no command given: import, export, preview or watch (varnel-cli --help tells more)";
        else if (extras.front().starts_with("-"))
            failure.text = "unknown option: " + extras.front() + " (varnel-cli --help lists the options)";
        else
            failure.text = "unknown command: " + extras.front() + " (import, export, preview or watch)";
        return std::nullopt;
    }
    CLI::App *sub = chosen.front();
    const auto command = commands.find(sub);
    if (command == commands.end())
        return CliOptions(); // help
    o.command = command->second;
    if (const std::vector<std::string> extras = unplaced(*sub); !extras.empty()) {
        if (extras.front().size() > 1 && extras.front().starts_with("-"))
            failure.text = "unknown option: " + extras.front() + " (varnel-cli --help lists the options)";
        else
            failure.text = sub->get_name() + " takes no FILE, not \"" + extras.front() + "\"";
        return std::nullopt;
    }
    if (!applyOptions(*sub, optionSets[sub], o, failure))
        return std::nullopt;
    if (o.command != Command::Import && o.retry) {
        failure.text = "--retry is for import only";
        return std::nullopt;
    }
    if (o.command != Command::Import && o.command != Command::Watch && o.key) {
        failure.text = "--key is for import and watch";
        return std::nullopt;
    }
    if (o.command != Command::Watch && o.newOnly) {
        failure.text = "--new-only is for watch only";
        return std::nullopt;
    }
    if (o.command == Command::Preview && o.report) {
        failure.text = "--report is for import, export and watch";
        return std::nullopt;
    }
    if (o.retry && !o.files.empty()) {
        failure.text = "--retry imports the files of its report, not FILE";
        return std::nullopt;
    }
    if (o.defaultsFile && o.noDefaults) {
        failure.text = "--defaults-file and --no-defaults exclude each other";
        return std::nullopt;
    }
    if (o.command == Command::Preview && o.files.empty()) {
        failure.text = "preview needs at least one FILE";
        return std::nullopt;
    }
    return o;
}

} // namespace varnel::cli
