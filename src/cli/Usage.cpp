// The text of varnel-cli --help: what comes before and after the options
// is written here, the options come from the option table.
#include "cli/Usage.h"

#include "cli/OptionTable.h"

#include <string_view>

namespace varnel::cli {
namespace {

constexpr std::string_view kBeforeOptions = R"(Usage / 用法:
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
)";

constexpr std::string_view kAfterOptions = R"(
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

// Where the text of an option begins, beside its name when that is short.
constexpr std::size_t kTextColumn = 22;

// "--config FILE", "-q, --quiet".
std::string usageHead(const CliOption &option)
{
    std::string head = option.shortName.empty() ? std::string() : std::string(option.shortName) + ", ";
    head += option.name;
    if (!option.value.empty())
        head += " " + std::string(option.value);
    return head;
}

// One entry of the options: their names, a line of them at a time, then
// their text.
void appendEntry(std::string &out, std::span<const CliOption> entry)
{
    std::vector<std::string> heads;
    std::vector<std::string_view> lines;
    for (const CliOption &option : entry) {
        if (heads.empty() || option.head == Head::Below)
            heads.push_back("  " + usageHead(option));
        else
            heads.back() += " " + usageHead(option);
        const std::vector<std::string_view> text = textLines(option.usage);
        lines.insert(lines.end(), text.begin(), text.end());
    }
    for (std::size_t i = 0; i + 1 < heads.size(); ++i)
        out += heads[i] + "\n";
    std::string line = heads.back();
    for (const std::string_view text : lines) {
        if (line.size() >= kTextColumn) {
            out += line + "\n";
            line.clear();
        }
        line.resize(kTextColumn, ' ');
        line += text;
    }
    out += line + "\n";
}

} // namespace

std::string usageText()
{
    std::string text(kBeforeOptions);
    for (const std::span<const CliOption> entry : optionEntries())
        appendEntry(text, entry);
    text += kAfterOptions;
    return text;
}

} // namespace varnel::cli
