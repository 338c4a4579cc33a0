// The folder chooser, showing a path on the desktop, and the help text.
#include "GuiSupport.h"

#include "gui/FolderTools.h"
#include "gui/HelpTexts.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <utility>
#include <vector>

using namespace varnel;
using namespace varnel::gui;

class FolderToolsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chosenFolderIsTrimmed();
    void cancelledChoiceIsEmpty();
    void executableFilesStartOthersOpen();
    void helpTextHasItsLinesAndGaps();
    void connectionHelpOpensWithItsCauses();
    void helpShowsInTheInfoDialog();
};

void FolderToolsTest::init()
{
    test::scriptPrompts();
}

void FolderToolsTest::cleanup()
{
    test::verifyPromptsUsed();
}

void FolderToolsTest::chosenFolderIsTrimmed()
{
    Prompts::queueFile(QStringLiteral("  /x/y  "));
    QCOMPARE(chooseFolder(nullptr, QStringLiteral("/start")), QStringLiteral("/x/y"));
    const Prompts::Record &r = Prompts::records().back();
    QCOMPARE(r.kind, Prompts::Kind::Folder);
    QCOMPARE(r.title, QStringLiteral("请选择一个文件夹"));
    QCOMPARE(r.directory, QStringLiteral("/start"));
    Prompts::queueFile(QStringLiteral("/z"));
    QCOMPARE(chooseFolder(nullptr, {}, QStringLiteral("导出到")), QStringLiteral("/z"));
    QCOMPARE(Prompts::records().back().title, QStringLiteral("导出到"));
}

void FolderToolsTest::cancelledChoiceIsEmpty()
{
    QCOMPARE(chooseFolder(nullptr, QStringLiteral("/start")), QString());
}

void FolderToolsTest::executableFilesStartOthersOpen()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("run.sh"));
    const QString notProgram = dir.filePath(QStringLiteral("x.exe"));
    for (const QString &path : {program, notProgram}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
    }
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::setPermissions(notProgram, QFile::ReadOwner | QFile::WriteOwner));

    openInFileManager(dir.path());
    openInFileManager(program);
    openInFileManager(notProgram);
    openInFileManager(QString());
    std::vector<std::pair<QString, QString>> launches;
    for (const Prompts::Record &r : Prompts::records()) {
        QCOMPARE(r.kind, Prompts::Kind::Launch);
        launches.emplace_back(r.title, r.text);
    }
    const std::vector<std::pair<QString, QString>> expected{
        {QStringLiteral("open"), dir.path()},
        {QStringLiteral("start"), program},
        {QStringLiteral("open"), notProgram},
    };
    QCOMPARE(launches, expected);
}

void FolderToolsTest::helpTextHasItsLinesAndGaps()
{
    const QString text = helpText();
    QVERIFY(!text.endsWith(QLatin1Char('\n')));
    QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\\r]\\n"))));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 49);
    QCOMPARE(lines.first(), QStringLiteral("--------------【软件介绍】--------------"));
    QVERIFY(lines[2].startsWith(QStringLiteral("Varnel软件出品的一款 MySQL 数据库导入导出工具。")));
    QVERIFY(lines[17].contains(QStringLiteral("从  1 开始")));
    // Two empty lines before the export part, one elsewhere.
    QCOMPARE(lines[23], QString());
    QCOMPARE(lines[24], QString());
    QCOMPARE(lines[25], QStringLiteral("--------------【从 MySQL 数据库导出文章】--------------"));
    QCOMPARE(lines[10],
        QStringLiteral("服务器：可以填ip或域名。如果是在服务器上运行或本机有安装MySQL测试，可填：127.0.0.1"));
    QCOMPARE(lines[11], QStringLiteral("用户名、密码：登录到MySQL的用户名和密码"));
    QCOMPARE(
        lines[31], QStringLiteral("所以必须在 数据字段设置 里面设置指定字段名的 数据来源 为 文件内容 和 文件主名 "));
    QVERIFY(lines[32].endsWith(QStringLiteral("将自动读取 文件内容 中的随机一句当 文件主名")));
    // What came later, a short section each, after two empty lines.
    QCOMPARE(lines[35], QStringLiteral("--------------【后来加入的功能】--------------"));
    const QString later = lines.mid(36).join(QStringLiteral("\n"));
    for (const char *topic : {"加密..：", "不保存密码：", "记住密码：", "设为唯一键", "已存在 N 篇", "保存报告：",
             "--retry", "导出条件：", "varnel-cli import --config"})
        QVERIFY2(later.contains(QString::fromUtf8(topic)), topic);
    int empty = 0;
    for (const QString &line : lines)
        empty += line.isEmpty() ? 1 : 0;
    QCOMPARE(empty, 21);
}

void FolderToolsTest::connectionHelpOpensWithItsCauses()
{
    const QStringList lines = connectionHelpText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.first(), QStringLiteral("连接 Mysql 失败，请检查连接参数和权限！"));
    QVERIFY(lines.contains(QStringLiteral("以下因素之一导致不能连接：")));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^■"))).size(), 3);
    for (const QString &line : {
             QStringLiteral("------------------- 【解决办法】 ----------------------"),
             QStringLiteral("一、建账号法。"),
             QStringLiteral("CREATE USER '用户'@'192.168.1.3' IDENTIFIED BY '密码';"),
             QStringLiteral("select host, user from mysql.user;"),
             QStringLiteral("二、授权法。"),
             QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO '用户'@'%' IDENTIFIED BY '密码' WITH GRANT OPTION;"),
             QStringLiteral("（以上SQL语句在本程序的“SQL查询”功能里的“语句”按钮里有提供）"),
             QStringLiteral("有关常识："),
         })
        QVERIFY2(lines.contains(line), qPrintable(line));
    for (int n = 1; n <= 7; ++n)
        QCOMPARE(lines.filter(QStringLiteral("（%1）、").arg(n)).size(), 1);
    QVERIFY(lines.last().startsWith(QStringLiteral("（7）、")));
    QVERIFY(lines.last().contains(QStringLiteral("3306")));
    // A typed port is honoured, and the administrator is never opened to
    // every host.
    QVERIFY(lines.last().contains(QStringLiteral("“主机:端口”")));
    QVERIFY(!lines.last().contains(QStringLiteral("不需要填写端口")));
    for (const QString &line : lines)
        QVERIFY2(!line.contains(QStringLiteral("where user = 'root'")), qPrintable(line));
}

void FolderToolsTest::helpShowsInTheInfoDialog()
{
    QWidget owner;
    showHelp(&owner);
    QCOMPARE(Prompts::records().size(), std::size_t(1));
    const Prompts::Record &shown = Prompts::records().front();
    QCOMPARE(shown.kind, Prompts::Kind::Info);
    QCOMPARE(shown.dialog.parent, &owner);
    QCOMPARE(shown.title, QStringLiteral("疑点说明"));
    QCOMPARE(shown.text, helpText());
    QCOMPARE(shown.prompt, QString());
}

QTEST_MAIN(FolderToolsTest)
#include "FolderToolsTest.moc"
