#include "cli/CliOptions.h"

#include "form/MainControls.h"

#include <map>

namespace varnel::cli {

const char *const kUsage = R"(Usage / 用法:
  varnel-cli import  [--config FILE] [options] [FILE...]
  varnel-cli export  [--config FILE] [options]
  varnel-cli preview [--config FILE] [options] [--json] FILE...

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
  preview   show, for each FILE, the encoding found and every rule's value,
            exactly as import would store them, or why the import would skip
            it; no server is needed
            显示每个文件识别出的编码和每个字段的值（与导入相同），或导入时跳过
            该文件的原因；不连接服务器

Options / 选项:
  --config FILE       configuration file to read: GBK text with the section
                      [主界面], CR LF or LF line ends. A file that cannot be
                      read so is refused (exit 2), never replaced by defaults.
                      配置文件：GBK 文本，含 [主界面] 一节，换行为 CR LF 或 LF；
                      无法读取时报错（退出码 2），不会改用默认设置
  --server HOST[:PORT] --user NAME --password TEXT
  --database NAME --table NAME --folder DIR --types PATTERNS
  --encoding N        0 自动识别, 1 ANSI, 2 UTF-8, 3 Unicode, 4 UnicodeBE
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
A second one ends the program at once.
Ctrl+C（SIGINT）或 SIGTERM 如同停止按钮：正在执行的语句完成后结束，输出最终结果和
清单，退出码 130。再次收到则立即退出。

Exit status / 退出码:
  0    completed / 完成
  1    anything else: bad options, no connection, a run ended by a server or
       fetch error (its final message on stdout, the reason on stderr)
       其他错误：选项错误、无法连接、运行因服务器或读取错误中断（最终结果输出到
       stdout，原因输出到 stderr）
  2    a validation message (missing database name, folder not found, a
       configuration that cannot be read, a counter outside 64 bits, a bad
       --timeout, ...), on stderr
       校验失败（缺少库名、目录不存在、配置文件无法读取、递进数字超出 64 位、
       --timeout 无效等），信息输出到 stderr
  3    completed, but some files or rows failed, some files were stored only
       in part, or it is not known whether some files were stored (listed on
       stderr); preview: some file cannot be read or only in part
       完成，但有文件或记录失败、文件内容不完整或未确认是否已导入（清单输出到
       stderr）；preview：有文件无法读取或只读出一部分
  4    completed, but --save-counters could not write the counters
       完成，但 --save-counters 未能保存计数器
  130  stopped by Ctrl+C or SIGTERM / 被 Ctrl+C 或 SIGTERM 停止
)";

std::optional<CliOptions> parseCommandLine(const std::vector<std::string> &args, CommandLineError &failure)
{
    static const std::map<std::string, std::string> kValueOptions = {
        {"--server", std::string(ctl::kServer)},
        {"--user", std::string(ctl::kUser)},
        {"--password", std::string(ctl::kPassword)},
        {"--database", std::string(ctl::kDatabase)},
        {"--table", std::string(ctl::kTable)},
        {"--folder", std::string(ctl::kFolder)},
        {"--types", std::string(ctl::kFileTypes)},
        {"--encoding", std::string(ctl::kEncoding)},
    };
    CliOptions o;
    std::string &error = failure.text;
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const std::string &command = args[0];
    if (command == "import")
        o.command = Command::Import;
    else if (command == "export")
        o.command = Command::Export;
    else if (command == "preview")
        o.command = Command::Preview;
    else if (command == "-h" || command == "--help" || command == "help")
        return o;
    else {
        error = "unknown command: " + command;
        return std::nullopt;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            o.command = Command::Help;
            return o;
        }
        if (a == "--config") {
            auto v = value();
            if (!v)
                return std::nullopt;
            o.config = *v;
        } else if (auto it = kValueOptions.find(a); it != kValueOptions.end()) {
            auto v = value();
            if (!v)
                return std::nullopt;
            if (a == "--encoding" && (v->size() != 1 || (*v)[0] < '0' || (*v)[0] > '4')) {
                error = "--encoding takes 0 to 4";
                return std::nullopt;
            }
            o.settings.emplace_back(it->second, *v);
        } else if (a == "--recurse") {
            o.settings.emplace_back("选择框遍历子目录", "真");
        } else if (a == "--random-order") {
            o.settings.emplace_back("选择框乱序导入", "真");
        } else if (a == "--set") {
            auto v = value();
            if (!v)
                return std::nullopt;
            const auto eq = v->find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set takes NAME=VALUE";
                return std::nullopt;
            }
            o.settings.emplace_back(v->substr(0, eq), v->substr(eq + 1));
        } else if (a == "--batch") {
            auto v = value();
            if (!v)
                return std::nullopt;
            std::size_t n = 0;
            for (char c : *v)
                n = (c >= '0' && c <= '9' && n < 1000000) ? n * 10 + static_cast<std::size_t>(c - '0') : 0;
            if (n == 0) {
                error = "--batch takes a number of rows, 1 or more";
                return std::nullopt;
            }
            o.batch = n;
        } else if (a == "--timeout") {
            auto v = value();
            if (!v)
                return std::nullopt;
            unsigned long long n = 0;
            bool digits = !v->empty();
            for (char c : *v) {
                digits = digits && c >= '0' && c <= '9';
                if (digits && n <= kMaxTimeoutSeconds)
                    n = n * 10 + static_cast<unsigned>(c - '0');
            }
            if (!digits || n == 0 || n > kMaxTimeoutSeconds) {
                error = "--timeout takes a whole number of seconds from 1 to " + std::to_string(kMaxTimeoutSeconds)
                    + ", not \"" + *v + "\"";
                failure.validation = true;
                return std::nullopt;
            }
            o.timeout = static_cast<unsigned>(n);
        } else if (a == "--clear") {
            o.clear = true;
        } else if (a == "--save-counters") {
            o.saveCounters = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a.starts_with("--")) {
            error = "unknown option: " + a;
            return std::nullopt;
        } else {
            o.files.push_back(a);
        }
    }
    if (o.command == Command::Preview && o.files.empty()) {
        error = "preview needs at least one FILE";
        return std::nullopt;
    }
    if (o.command == Command::Export && !o.files.empty()) {
        error = "export takes no FILE";
        return std::nullopt;
    }
    return o;
}

} // namespace varnel::cli
