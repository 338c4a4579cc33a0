// The options that say what a run does: which files, how they go into the
// table, what is written besides, and what is shown.
#include "cli/OptionTable.h"

#include "form/MainControls.h"

namespace varnel::cli {
namespace {

constexpr CommandSet kImport = commandBit(Command::Import);
constexpr CommandSet kImportOrWatch = commandBit(Command::Import) | commandBit(Command::Watch);

constexpr CliOption kOptions[] = {
    {
        .name = "--recurse",
        .store = Store::Check,
        .control = ctl::kRecurse,
        .usage = "also import sub-folders / 遍历子目录",
        .man = "Also import sub\\-folders.",
    },
    {
        .name = "--random-order",
        .store = Store::Check,
        .control = ctl::kRandomOrder,
        .usage = "import in random order / 乱序导入",
        .man = "Import in random order.",
    },
    {
        .name = "--clear",
        .commands = kImport,
        .flag = &CliOptions::clear,
        .usage = R"(
empty the table first, without asking (the Ctrl key)
导入前清空数据表（相当于按住 Ctrl），不再询问)",
        .man = "empty the table first, without asking.",
    },
    {
        .name = "--set",
        .value = "NAME=VALUE",
        .store = Store::Setting,
        .usage = R"(
set any control of the main window by its name, e.g.
--set 编辑框摘要字数1=50 --set 选择框同步=真
按名称设置主界面的任意控件)",
        .man = "Set any control of the main window by its name.",
    },
    {
        .name = "--batch",
        .value = "N",
        .commands = kImportOrWatch,
        .store = Store::Batch,
        .max = kMaxBatch,
        .usage = R"(
rows per INSERT statement (default 500; 1 = one statement
per file). Batches are used on InnoDB tables only; a
refused batch is retried row by row, so only the refused
files are skipped.
每条 INSERT 语句的行数（默认 500，1 为每个文件一条语句）)",
        .man = R"(
rows per INSERT statement (default 500; 1 sends one statement per file).
Batches are used on InnoDB tables only; a refused batch is retried row by
row, so only the refused files are skipped.)",
    },
    {
        .name = "--timeout",
        .value = "SECONDS",
        .commands = kConnecting,
        .store = Store::Timeout,
        .max = kMaxTimeoutSeconds,
        .usage = R"(
how long one read or write on the server connection may
take before the run ends with an error (default 600;
a whole number from 1 to 2147483)
连接读写超时秒数（默认 600，1 到 2147483 的整数）)",
        .man = R"(
how long one read or write on the server connection may take before the run
ends with an error (default 600; 1 to 2147483).)",
    },
    {
        .name = "--save-counters",
        .commands = kImport,
        .flag = &CliOptions::saveCounters,
        .usage = R"(
write advanced counter start values back to the config;
when that fails, "计数器未保存：" and the reason go to
stderr and the exit status is 4
把递进数字的新起始值写回配置文件；写入失败时输出
"计数器未保存：" 和原因，退出码为 4)",
        .man = R"(
write advanced counter start values back to the configuration; when that
fails, "计数器未保存：" and the reason go to standard error and the exit
status is 4.)",
    },
    {
        .name = "--report",
        .value = "FILE",
        .commands = kConnecting,
        .store = Store::Text,
        .text = &CliOptions::report,
        .completion = Completion::FileOf,
        .words = "jsonl",
        .usage = R"(
import, export: write a run report to FILE, JSON Lines:
one object per file ("file", "file_hex" when the name
is not UTF-8, "outcome": stored, failed, unknown,
incomplete, skipped or exists, "reason", "key"), then
a summary object ("summary": true, the counts, table,
database, key, start and end time, exit status);
written whole at the end of every run, stopped or not;
a symbolic link is followed to its file; a folder, a
FIFO or a device is refused (exit 2)
写运行报告（JSON Lines，每个文件一行，最后一行为汇总），
运行结束（包括被停止）时整体写入；不写入目录、FIFO 或设备)",
        .man = R"(
write a run report to
.IR FILE ,
whole or not at all, at the end of every run (completed, stopped, with the
server lost or without a connection; for
.B watch
after every batch). See
.BR "RUN REPORT" .
A symbolic link is followed: the file it leads to is written (made when it
is not there), by a temporary file in that file's folder renamed over it.
A folder, a FIFO or a device there is refused before the run (exit status 2)
and left as it is.)",
    },
    {
        .name = "--retry",
        .value = "REPORT",
        .commands = kImport,
        .store = Store::Text,
        .text = &CliOptions::retry,
        .completion = Completion::FileOf,
        .words = "jsonl",
        .usage = R"(
import only the files of REPORT whose last outcome was
failed, unknown or skipped, each once, with the
configuration given now; a report of another table,
of an export or of a run that reached no file is
refused (exit 2)
只导入报告中最后结果为失败、未确认或未导入的文件，每个一次；
其他表、导出或未处理任何文件的运行的报告被拒绝)",
        .man = R"(
import only the files of
.I REPORT
whose last outcome was
.BR failed ,
.B unknown
or
.B skipped
(a stopped run's), each file once, with the configuration given now. A report
of another database or table, of an export, or of a run that reached none of
its files is refused (exit status 2).)",
    },
    {
        .name = "--key",
        .value = "COLUMN",
        .commands = kImportOrWatch,
        .store = Store::Text,
        .text = &CliOptions::key,
        .check = Check::ColumnName,
        .usage = R"(
a mapping target whose value identifies an article:
files whose key the table holds already are not stored
again (outcome exists, counted as "已存在 n 篇"), and
after a lost connection files of unknown outcome are
looked up by key. Keys compare as the column holds
them (needs CREATE TEMPORARY TABLES); a blank key
fails. Fast with a unique index on COLUMN.
唯一键字段：表中已有此键的文件不再导入（已存在）；连接
断开后按键确认未确认的文件。该字段有唯一索引时最快)",
        .man = R"(
a mapping target whose value identifies an article (default: the key set in
the window, 编辑框唯一键). Before each batch the run looks up which keys the
table holds already and skips those files (outcome
.BR exists ,
counted as "已存在 n 篇"); a run whose files all exist completes with exit
status 0. After a lost connection the files of unknown outcome are looked up
by key (after the old server session, found by its id, login and client port,
has ended) and stored or sent again. Keys compare as the column holds them:
they are first stored in a temporary table with the column's type and
collation, which needs the CREATE TEMPORARY TABLES privilege. A file whose key
is blank, or whose name is neither UTF\-8 nor GBK, fails. Files that exist take
no counter value. A unique index on
.I COLUMN
makes the lookups fast; without one the run says so once, each batch reads
the table once, and a batch whose keys cannot be looked up is not sent.)",
    },
    {
        .name = "--new-only",
        .commands = commandBit(Command::Watch),
        .flag = &CliOptions::newOnly,
        .usage = "watch: leave the files already there / 只导入新出现的文件",
        .man = "leave the files that are in the folder at the start.",
    },
    {
        .name = "--json",
        .commands = commandBit(Command::Preview),
        .flag = &CliOptions::json,
        .usage = "preview: one JSON object per line / 每行输出一个 JSON 对象",
        .man = R"(
one JSON object per file and line, with the fields
.BR file ,
.BR encoding ,
.B values
(target, source and value of each rule) and, when there is one,
.BR error ;
.B incomplete
for damaged gzip data and for UTF\-8 text with a few bytes that are no
UTF\-8 (each read as U+FFFD).
Text that is not valid UTF\-8 has U+FFFD in place of each bad byte; a file
name that had such bytes also comes as
.BR file_hex ,
its bytes in hexadecimal.)",
    },
    {
        .name = "--quiet",
        .shortName = "-q",
        .flag = &CliOptions::quiet,
        .usage = "no progress on stderr / 不显示进度",
        .man = "No progress on standard error.",
    },
    {
        .name = "--help",
        .shortName = "-h",
        .store = Store::Help,
        .usage = "this text / 显示本帮助",
        .man = "Print the full help, in English and Chinese, and exit.",
    },
};

} // namespace

std::span<const CliOption> runOptions()
{
    return kOptions;
}

} // namespace varnel::cli
