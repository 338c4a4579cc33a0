#include "gui/HelpTexts.h"

#include "gui/TextInputDialog.h"

#include <QStringList>

namespace varnel::gui {
namespace {

QString joinLines(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

// check-format: table
QString helpText()
{
    // One empty line between the items, two before the export heading.
    return joinLines({
        QStringLiteral("--------------【软件介绍】--------------"),
        QString(),
        QStringLiteral("Varnel软件")
            + QStringLiteral("出品的一款 MySQL 数据库导入导出工具。可以将一批文章以及本软件内置支持"
                             "的扩展数据导入到 MySQL 数据库，也可以将库中的文章导出成为 txt 或 html 文件。"),
        QString(),
        QStringLiteral("--------------【导入文章到 MySQL 数据库】--------------"),
        QString(),
        QStringLiteral("在导入前，请设置好导入的文章目录和MySQL数据库登录信息。导入时按住Ctrl键将清空记录。"),
        QString(),
        QStringLiteral("文件类型：*.* 代表所有文件；*.txt 或 *.html 代表txt或html扩展名的文件"),
        QString(),
        QStringLiteral("服务器：可以填ip或域名。如果是在服务器上运行或本机有安装MySQL测试，可填：127.0.0.1"),
        QStringLiteral("用户名、密码：登录到MySQL的用户名和密码"),
        QStringLiteral(
            "库名、表名：指定已经存在的库表，如果不存在，在导入时将自动创建（根据 数据字段设置 自动指派字段）。"),
        QString(),
        QStringLiteral(
            "数据字段设置：可以添加字段名以及该字段对应的数据来源。一般是至少添加2个字段，数据来源分别是文件内容和文件"
            "主名。文件主名，比如“123.txt”中的“123”"),
        QStringLiteral("其他扩展字段可以设置的数据来源包括网页标题、内容摘要、文件时间（创建修改访问三种）、随机汉字、"
                       "随机数字字母、"
                       "随机时间、随机词组等等。"),
        QString(),
        QStringLiteral(
            "字段名或字段位置：在导入到已有数据库时或导出时，可以指定字段位置，从  1 开始，从左往右数。如果要导入到的数"
            "据库不存在时软件会自动创建数据库，这时指定字段位置就不适用了，所以一般建议指定字段名。"),
        QString(),
        QStringLiteral(
            "读入当前表的字段设置：读入该数据库中指定表的字段列表到 数据字段设置 中，然后逐个设置 数据来源 即可。如果数"
            "据库尚未创建，本功能不可用。"),
        QString(),
        QStringLiteral(
            "拖放文件：拖放的是目录，将输入到“文章目录”；拖放的是“.ini”文件，将导入配置；其他视为要导入的文章列表，将"
            "会在拖放后开始导入。"),
        QStringLiteral("如果你想要按照资源管理器里排序好的顺序导入，请在全选文件列表后，按住第一个文件拖放。"),
        QString(),
        QString(),
        QStringLiteral("--------------【从 MySQL 数据库导出文章】--------------"),
        QString(),
        QStringLiteral("在导出前，请设置好导出的文章目录和MySQL数据库登录信息。"),
        QString(),
        QStringLiteral("最重要的是 数据字段设置 。"),
        QStringLiteral("导出主要有二个项目，一个是文件内容，一个是文件主名（如“123.txt”中的“123”）"),
        QStringLiteral("所以必须在 数据字段设置 里面设置指定字段名的 数据来源 为 文件内容 和 文件主名 "),
        QStringLiteral("文件主名 的字段如果没有指定，将寻找 网页标题 的字段代替，如果也不存在 网页标题 "
                       "的字段，将自动读取 文件内容 中"
                       "的随机一句当 文件主名"),
        QString(),
        QString(),
        QStringLiteral("--------------【后来加入的功能】--------------"),
        QString(),
        QStringLiteral(
            "加密..：“服务器”一栏右边的按钮。选择加密方式（如 REQUIRED 必须加密、VERIFY_IDENTITY "
            "还校验证书和主机名），需要时给出 CA 证书、客户端证书和私钥。按钮上显示“加密✓”表示下次连接会加密；"
            "修改在下次“建立连接”时生效。"),
        QString(),
        QStringLiteral(
            "不保存密码：勾选后，密码不写入设置文件，也不写入导出的配置文件。以后每次运行程序，第一次连接时会"
            "弹出“输入密码”对话框。"),
        QStringLiteral(
            "记住密码：“输入密码”对话框里的选项。勾选后密码保存在桌面的密钥环中（GNOME 密钥环、KWallet），"
            "下次连接不再询问；没有密钥环时，密码像以前一样保存在设置文件中，程序会先说明。不勾选时密码只用于"
            "这次运行。"),
        QString(),
        QStringLiteral(
            "唯一键：在 数据字段设置 列表里右击一行，选“设为唯一键”，该行以粗体显示。导入时，表中已有相同键值"
            "的文章不会再导入一次，结束时的提示里显示“已存在 N 篇”。断线后重新连接时，程序也靠唯一键确认哪些"
            "文章已经存进去，不会重复也不会遗漏。再右击选“取消唯一键”即可取消。"),
        QString(),
        QStringLiteral("保存报告：导入或导出结束后，如果有未能导入、未确认或尚未导入的文件，会列出这些文件，列表下方有"
                       "“保存报告”按钮，保存为 .jsonl 运行报告（每行一个文件及其结果）。命令行程序 varnel-cli 的 "
                       "--retry 报告文件 只重新导入报告中没有成功的文件。"),
        QString(),
        QStringLiteral("导出条件：主界面右下方的“导出条件”按钮打开设置。勾选“启用”后，只导出满足条件的记录：字段名和"
                       "字段值用分隔符（默认“|"
                       "”）隔开可写多个，可选相等、不相等、包含、不包含，多个字段之间选“或逻辑”或“且逻辑”。"),
        QString(),
        QStringLiteral("定时运行：用主界面“导出配置”保存一份配置文件，然后用命令行程序 varnel-cli 导入或导出，例如"
                       "在 cron 中每天运行：varnel-cli import --config 配置文件.ini --key 标题 --report 报告.jsonl。"
                       "密码可放在只有自己能读的选项文件或密码文件里（--defaults-file、--password-file），"
                       "详见 man varnel-cli。"),
    });
}

QString connectionHelpText()
{
    return joinLines({
        QStringLiteral("连接 Mysql 失败，请检查连接参数和权限！"),
        QString(),
        QStringLiteral("以下因素之一导致不能连接："),
        QStringLiteral(
            "■ 连接参数有误：服务器地址可以是域名，也可以是 IP 地址，请确认填写无误；再检查用户名和密码是否正确。"),
        QStringLiteral("■ 网络不通，或客户机、服务器或两者之间的防火墙阻止了 3306 端口。"),
        QStringLiteral("■ 服务器拒绝其他主机的连接：MySQL 的账号默认只允许在服务器本机上登录。"),
        QString(),
        QStringLiteral("------------------- 【解决办法】 ----------------------"),
        QString(),
        QStringLiteral("一、建账号法。"),
        QStringLiteral(
            "在服务器本机上连接 MySQL，为运行本程序的电脑建立一个专用账号，只授予它用到的权限（例如 IP 地址为 "
            "192.168.1.3 的电脑，只使用 文章库 这一个库），依次执行："),
        QStringLiteral("CREATE USER '用户'@'192.168.1.3' IDENTIFIED BY '密码';"),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, ALTER, INDEX ON `文章库`.* TO "
                       "'用户'@'192.168.1.3';"),
        QStringLiteral("select host, user from mysql.user;"),
        QStringLiteral(
            "最后一句用来查看结果。请不要把管理员账号 root 的主机改为“%”：那样任何主机都可以尝试以管理员身份登录。"),
        QString(),
        QStringLiteral("二、授权法。"),
        QStringLiteral("允许用户从任何主机连接："),
        QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO '用户'@'%' IDENTIFIED BY '密码' WITH GRANT OPTION;"),
        QStringLiteral("只允许从一台客户机（例如 IP 地址为 192.168.1.3 的电脑）连接："),
        QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO '用户'@'192.168.1.3' IDENTIFIED BY '密码' WITH GRANT OPTION;"),
        QStringLiteral(
            "其中“用户”和“密码”换成实际的用户名和密码。MySQL 8.0 及以后的版本不再接受 GRANT 里的 IDENTIFIED BY，"
            "请先用 CREATE USER 建立该用户，再执行去掉 IDENTIFIED BY '密码' 的 GRANT 语句。"),
        QString(),
        QStringLiteral("（以上SQL语句在本程序的“SQL查询”功能里的“语句”按钮里有提供）"),
        QString(),
        QStringLiteral("有关常识："),
        QStringLiteral("（1）、服务器：运行 MySQL "
                       "服务程序的那台电脑。本程序是它的客户端，可以在服务器本机上运行，也可以在别的电脑上"
                       "运行。"),
        QStringLiteral(
            "（2）、主机：网络上的每一台电脑都是一台主机。MySQL 的账号由“用户名@主机”组成，主机部分规定该用户可以从哪里"
            "连接：localhost 只代表服务器本机，% 代表任意主机。"),
        QStringLiteral("（3）、IP 地址：主机在网络上的数字地址，例如 192.168.1.3。127.0.0.1 总是代表本机。"),
        QStringLiteral(
            "（4）、局域网地址（如 192.168.x.x、10.x.x.x）只在同一局域网内有效；从外网连接时要填写服务器的公网 IP "
            "地址或域名。"),
        QStringLiteral(
            "（5）、域名：便于记忆的主机名称，例如 db.example.com，连接时会先被解析成 IP 地址。“服务器”一栏填写域名或 "
            "IP 地址都可以。"),
        QStringLiteral(
            "（6）、端口：一台主机上区分不同服务程序的编号。MySQL 的默认端口是 3306，服务器和途中的防火墙都必须放行这个"
            "端口。"),
        QStringLiteral(
            "（7）、本程序默认连接服务器的 3306 端口，这是 MySQL 的默认端口；服务器使用别的端口时，在“服务器”一栏写成"
            "“主机:端口”，例如 192.168.1.3:3307（IPv6 地址写成 [地址]:端口）。"),
    });
}

void showHelp(QWidget *owner)
{
    TextInputRequest request;
    request.initialText = helpText();
    request.title = QStringLiteral("疑点说明");
    request.parent = owner;
    request.wantsResult = false;
    TextInputDialog::run(request, nullptr);
}

} // namespace varnel::gui
