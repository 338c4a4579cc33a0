// The main window without a server: first run, the mapping editor, the
// export conditions, configuration files, drops, the folder button, help,
// the encryption dialog and the password kept out of the files.
#include "GuiSupport.h"

#include "gui/FolderTools.h"
#include "gui/MainWindow.h"
#include "gui/MappingEditorPanel.h"
#include "gui/MappingList.h"
#include "gui/MouseButtons.h"
#include "gui/Translations.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

#include <unistd.h>

using namespace varnel;
using namespace varnel::gui;
using varnel::test::saveScreenshot;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    MySqlConnection m_db;

    std::unique_ptr<MainWindow> open()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, m_db);
        w->show();
        return w;
    }
    std::string text(MainWindow &w, const char *name) { return w.form().control(name)->text(); }
    QString lastMessage() { return Prompts::messages().value(Prompts::messages().size() - 1); }
    QString writeFile(const QString &name)
    {
        QFile f(m_dir->filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write("-----BEGIN CERTIFICATE-----\n") < 0)
            return {};
        return f.fileName();
    }
    static QPushButton *encryptionButton(MainWindow &w)
    {
        return w.findChild<QPushButton *>(QStringLiteral("按钮加密"));
    }
    static std::vector<std::string> encryption(MainWindow &w)
    {
        std::vector<std::string> out;
        for (const char *name : {"编辑框加密方式", "编辑框CA证书", "编辑框客户端证书", "编辑框客户端私钥"})
            out.push_back(w.form().control(name)->text());
        return out;
    }
    static void setEncryption(MainWindow &w, const std::vector<std::string> &values)
    {
        const char *names[] = {"编辑框加密方式", "编辑框CA证书", "编辑框客户端证书", "编辑框客户端私钥"};
        for (std::size_t i = 0; i < values.size() && i < std::size(names); ++i)
            w.form().control(names[i])->setText(values[i]);
    }
    // The encryption dialog's parts, by their names.
    static QComboBox *modeBox(QDialog &d) { return d.findChild<QComboBox *>(QStringLiteral("组合框加密方式")); }
    static QLineEdit *fileBox(QDialog &d, const char *name)
    {
        return d.findChild<QLineEdit *>(QString::fromUtf8(name));
    }
    static void chooseMode(QDialog &d, const char *mode)
    {
        QComboBox *box = modeBox(d);
        box->setCurrentIndex(box->findData(QString::fromUtf8(mode)));
    }
    static void press(QDialog &d, const char *button)
    {
        d.findChild<QPushButton *>(QString::fromUtf8(button))->click();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<SettingsStore>();
        m_settings->open(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        test::scriptPrompts();
    }
    void cleanup()
    {
        m_settings.reset();
        m_dir.reset();
        test::verifyPromptsUsed();
    }

    // Qt's own buttons and dialogs read Chinese whatever the locale.
    void standardTextsAreChinese()
    {
        QVERIFY(loadChineseTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QStringLiteral("x"),
            QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')).left(1), QStringLiteral("是"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')).left(1), QStringLiteral("否"));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QStringList labels;
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            labels << label->text();
        QVERIFY2(!labels.contains(QStringLiteral("Look in:")), qPrintable(labels.join(QLatin1Char('|'))));
        QVERIFY2(
            !labels.join(QString()).contains(QStringLiteral("File name")), qPrintable(labels.join(QLatin1Char('|'))));
    }

    void firstRunShowsTheDesignDefaults()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnel MySQL 文章导入导出"));
        QCOMPARE(text(*w, "编辑框服务器"), std::string("127.0.0.1"));
        QCOMPARE(text(*w, "编辑框用户名"), std::string("root"));
        QCOMPARE(text(*w, "编辑框密码"), std::string("tqmv"));
        QCOMPARE(text(*w, "编辑框文件类型"), std::string("*.*"));
        QCOMPARE(w->form().control("组合框文件编码")->currentIndex(), 0);
        QCOMPARE(w->form().rowCount(), 4);
        QCOMPARE(w->form().cell(2, 0), std::string("title"));
        QCOMPARE(w->form().cell(3, 1), std::string("文件内容"));
        QCOMPARE(w->optionPages()->currentIndex(), 1);
        QVERIFY(w->conditionGroup()->isHidden());
        QVERIFY(!w->form().control("编辑框条件字段名")->isEnabled());
        for (const char *name : {"按钮库列表", "按钮表列表", "按钮读表字段", "按钮导入", "按钮导出"})
            QVERIFY2(!w->form().control(name)->isEnabled(), name);
        QCOMPARE(text(*w, "按钮建立连接"), std::string("建立连接"));
        QVERIFY(w->width() >= 644 && w->height() >= 730);
        saveScreenshot(*w, QStringLiteral("main"));
        for (int page = 0; page < w->optionPages()->count(); ++page) {
            w->optionPages()->setCurrentIndex(page);
            saveScreenshot(*w->optionPages(), QStringLiteral("main-page-%1").arg(page, 2, 10, QLatin1Char('0')));
        }
    }

    void valuesComeBackAfterARestart()
    {
        {
            auto w = open();
            w->form().control("编辑框固定的文本")->setText("一\r\n二");
            w->form().control("编辑框词组")->setText("a\r\nb");
            w->form().control("单选框随机时")->setChecked(true);
            w->form().control("单选框次要常用")->setChecked(true);
            w->form().control("组合框数据来源")->setCurrentIndex(8);
            w->form().control("编辑框库名")->setText("库");
            w->close();
        }
        auto w = open();
        QCOMPARE(text(*w, "编辑框固定的文本"), std::string("一\r\n二"));
        QCOMPARE(text(*w, "编辑框词组"), std::string("a\r\nb"));
        QVERIFY(w->form().control("单选框随机时")->isChecked());
        QVERIFY(!w->form().control("单选框现在时")->isChecked());
        QVERIFY(w->form().control("单选框次要常用")->isChecked());
        QCOMPARE(text(*w, "编辑框库名"), std::string("库"));
        // The restored source shows its page.
        QCOMPARE(w->optionPages()->currentIndex(), 8);
    }

    void mappingEditorFollowsTheButtons()
    {
        auto w = open();
        auto *list = static_cast<MappingList *>(w->mappingList());
        auto click = [&](const char *name) { w->form().widgetAs<QPushButton>(name)->click(); };

        w->form().control("编辑框字段名")->setText("title");
        click("按钮添加");
        QCOMPARE(lastMessage(), QStringLiteral("字段名不能重复：title"));
        QCOMPARE(list->currentRow(), 2);
        w->form().control("编辑框字段名")->setText(" 　");
        click("按钮添加");
        QCOMPARE(lastMessage(), QStringLiteral("请输入字段名或字段索引！"));
        w->form().control("编辑框字段名")->setText("Title");
        w->form().control("组合框数据来源")->setCurrentIndex(10);
        w->form().control("编辑框固定的文本")->setText("固定");
        click("按钮添加");
        QCOMPARE(w->form().rowCount(), 5);
        QCOMPARE(w->form().cell(4, 2), std::string("固定"));
        QCOMPARE(list->currentRow(), 4);

        // Choosing a row loads it into the editors and shows its page.
        list->makeCurrent(0);
        QCOMPARE(text(*w, "编辑框字段名"), std::string("标题"));
        QCOMPARE(w->optionPages()->currentIndex(), 0);

        // Deleting the last of the rows makes the new last one current.
        list->makeCurrent(4);
        click("按钮删除");
        QCOMPARE(w->form().rowCount(), 4);
        QCOMPARE(list->currentRow(), 3);
        QCOMPARE(text(*w, "编辑框字段名"), std::string("content"));

        // A row deleted in the middle: its neighbour becomes current and is
        // what the editors hold, so 修改 right after keeps its name and source.
        const std::vector<std::string> before = {w->form().cell(2, 0), w->form().cell(2, 1)};
        list->makeCurrent(1);
        click("按钮删除");
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(text(*w, "编辑框字段名"), before[0]);
        click("按钮修改");
        QCOMPARE(w->form().rowCount(), 3);
        QCOMPARE((std::vector<std::string>{w->form().cell(1, 0), w->form().cell(1, 1)}),
            (std::vector<std::string>{before[0], before[1]}));
        QCOMPARE(w->form().cell(0, 0), std::string("标题"));

        // Tab focus into a list without a current row leaves the editors.
        list->setCurrentItem(nullptr);
        w->form().control("编辑框字段名")->setText("typing");
        w->form().widget("编辑框字段名")->setFocus();
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(text(*w, "编辑框字段名"), std::string("typing"));
        QCOMPARE(list->currentRow(), -1);
        click("按钮删除");
        QCOMPARE(lastMessage(), QStringLiteral("请选中一个字段再删除！右击按钮将全部清空！"));

        // Clearing all asks first, with no title.
        Prompts::queueAnswer(false);
        emit w->form().widgetAs<gui::RightButton>("按钮删除")->rightPressed();
        QCOMPARE(Prompts::records().back().title, QString());
        QCOMPARE(lastMessage(), QStringLiteral("确定要删除所有字段吗？"));
        QCOMPARE(w->form().rowCount(), 3);
        Prompts::queueAnswer(true);
        list->makeCurrent(0);
        emit w->form().widgetAs<gui::RightButton>("按钮删除")->rightPressed();
        QCOMPARE(w->form().rowCount(), 0);
        // No row: the editors name none, and 修改 adds nothing.
        QCOMPARE(text(*w, "编辑框字段名"), std::string());
        click("按钮修改");
        QCOMPARE(w->form().rowCount(), 0);
        saveScreenshot(*w, QStringLiteral("main-mapping-empty"));
    }

    void exportConditionsOpenAndEnable()
    {
        auto w = open();
        auto *toggle = w->form().widgetAs<QPushButton>("按钮导出条件");
        toggle->click();
        QVERIFY(w->conditionGroup()->isVisible());
        QCOMPARE(text(*w, "按钮导出条件"), std::string("关闭\r\n设置"));
        QCOMPARE(toggle->text(), QStringLiteral("关闭\n设置"));
        // Off, the boxes show their conditions as text, not as grey hints.
        auto *names = w->form().widgetAs<QLineEdit>("编辑框条件字段名");
        QVERIFY(!names->isEnabled());
        QCOMPARE(names->text(), QStringLiteral("fid|message"));
        QCOMPARE(names->palette().color(QPalette::Disabled, QPalette::Text),
            names->palette().color(QPalette::Active, QPalette::Text));
        w->form().widgetAs<QCheckBox>("选择框启用导出条件")->click();
        QVERIFY(w->form().control("编辑框字段分隔符")->isEnabled());
        // Clicked into, a box selects its text, and typing replaces it.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::mouseClick(names, Qt::LeftButton, {}, QPoint(4, names->height() / 2));
        QVERIFY(names->hasFocus());
        QTRY_COMPARE(names->selectedText(), QStringLiteral("fid|message"));
        QTest::keyClicks(names, QStringLiteral("title"));
        QCOMPARE(names->text(), QStringLiteral("title"));
        saveScreenshot(*w, QStringLiteral("main-conditions"));
        // Nothing of the panel may leave the window.
        QVERIFY(w->rect().contains(w->conditionGroup()->geometry()));
        toggle->click();
        QVERIFY(w->conditionGroup()->isHidden());
        QCOMPARE(text(*w, "按钮导出条件"), std::string("导出\r\n条件"));
    }

    void configurationFilesThroughTheDialogs()
    {
        auto w = open();
        const QString file = m_dir->filePath(QStringLiteral("mine.ini"));
        w->form().control("编辑框表名")->setText("文章");
        Prompts::queueFile(file);
        w->form().widgetAs<QPushButton>("按钮导出配置")->click();
        QCOMPARE(Prompts::records().front().title, QStringLiteral("选择一个文件路径保存当前界面配置："));
        QCOMPARE(lastMessage(), QStringLiteral("导出配置完成！"));
        QCOMPARE(w->form().control("按钮导入配置")->tag(), file.toStdString());

        w->form().control("编辑框表名")->setText("别的");
        Prompts::queueFile(m_dir->filePath(QStringLiteral("mine")));
        w->form().widgetAs<QPushButton>("按钮导入配置")->click();
        QCOMPARE(lastMessage(), QStringLiteral("导入配置完成！"));
        QCOMPARE(text(*w, "编辑框表名"), std::string("文章"));
        QCOMPARE(Prompts::records().back().kind, Prompts::Kind::Message);

        Prompts::queueFile(m_dir->filePath(QStringLiteral("none")));
        w->form().widgetAs<QPushButton>("按钮导入配置")->click();
        QCOMPARE(lastMessage(), QStringLiteral("请选择一个已存在的ini文件！"));
        Prompts::queueFile(m_dir->filePath(QStringLiteral("no/such/folder.ini")));
        w->form().widgetAs<QPushButton>("按钮导出配置")->click();
        QCOMPARE(lastMessage(), QStringLiteral("导出配置失败，文件无法写入！"));
        // A name typed without an extension is saved as .ini, which the
        // import dialog's filter shows.
        Prompts::queueFile(m_dir->filePath(QStringLiteral("cfg1")));
        w->form().widgetAs<QPushButton>("按钮导出配置")->click();
        QCOMPARE(lastMessage(), QStringLiteral("导出配置完成！"));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("cfg1.ini"))));
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("cfg1"))));
        // A cancelled dialog does nothing.
        const auto shown = Prompts::records().size();
        w->form().widgetAs<QPushButton>("按钮导入配置")->click();
        QCOMPARE(Prompts::records().size(), shown + 1);
    }

    // A drop with no file of this machine (a link from a browser) is refused
    // at once: nothing is asked.
    void dropsWithoutLocalFilesAreRefused()
    {
        auto w = open();
        auto enter = [&](const QList<QUrl> &urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(w.get(), &event);
            return event.isAccepted();
        };
        QVERIFY(!enter({QUrl(QStringLiteral("https://example.com/a.html"))}));
        QVERIFY(!enter({}));
        QVERIFY(enter({QUrl(QStringLiteral("https://example.com/a.html")), QUrl::fromLocalFile(m_dir->path())}));

        QMimeData link;
        link.setUrls({QUrl(QStringLiteral("https://example.com/a.html"))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &link, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &drop);
        QCoreApplication::processEvents();
        QVERIFY(Prompts::records().empty());
    }

    void dropsSetTheFolderLoadConfigurationsOrAsk()
    {
        auto w = open();
        const QString folder = m_dir->path();
        w->dropPaths({folder});
        QCOMPARE(text(*w, "编辑框文章目录"), folder.toStdString());
        QVERIFY(Prompts::records().empty());

        QFile a(m_dir->filePath(QStringLiteral("a.txt"))), b(m_dir->filePath(QStringLiteral("b.txt")));
        QVERIFY(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
        a.close();
        b.close();
        w->form().control("编辑框表名")->setText("t");
        Prompts::queueAnswer(false);
        w->dropPaths({folder, a.fileName(), b.fileName()});
        QCOMPARE(lastMessage(), QStringLiteral("确定要导入被拖放的 2 个文件到表[t]中吗？请首先设置好所有参数"));
        Prompts::queueAnswer(false);
        w->dropPaths({a.fileName()});
        QCOMPARE(lastMessage(), QStringLiteral("确定要导入被拖放的 1 个文件到表[t]中吗？请首先设置好所有参数"));

        // One configuration file, the extension in capitals.
        w->form().control("编辑框表名")->setText("saved");
        Prompts::queueFile(m_dir->filePath(QStringLiteral("x.INI")));
        w->form().widgetAs<QPushButton>("按钮导出配置")->click();
        w->form().control("编辑框表名")->setText("changed");
        w->dropPaths({m_dir->filePath(QStringLiteral("x.INI"))});
        QCOMPARE(lastMessage(), QStringLiteral("导入配置完成！"));
        QCOMPARE(text(*w, "编辑框表名"), std::string("saved"));
    }

    // The mapping list's context menu makes a row's field the import's key:
    // the row is marked, the key is saved with the window and comes back.
    void theKeyIsSetFromTheMappingListAndSaved()
    {
        auto w = open();
        auto *panel = w->findChild<MappingEditorPanel *>();
        auto *list = w->findChild<MappingList *>();
        QVERIFY(panel && list);
        QVERIFY(!w->form().widget("编辑框唯一键")->isVisible());
        panel->toggleKey(0);
        QCOMPARE(text(*w, "编辑框唯一键"), std::string("标题"));
        QVERIFY(list->topLevelItem(0)->font(0).bold());
        QVERIFY(!list->topLevelItem(0)->toolTip(0).isEmpty());
        panel->toggleKey(1);
        QCOMPARE(text(*w, "编辑框唯一键"), std::string("内容"));
        QVERIFY(!list->topLevelItem(0)->font(0).bold());
        QVERIFY(list->topLevelItem(1)->font(0).bold());
        saveScreenshot(*w, QStringLiteral("main-key"));
        const int id = w->form().appendRow();
        w->form().setCell(id, 0, "ID");
        w->form().setCell(id, 1, "固定值");
        panel->toggleKey(id);
        QCOMPARE(lastMessage(), QStringLiteral("这个字段不能作唯一键：ID"));
        QCOMPARE(text(*w, "编辑框唯一键"), std::string("内容"));
        w->close();
        w.reset();
        m_settings->setSection("主界面");
        QCOMPARE(m_settings->readText("编辑框唯一键", ""), std::string("内容"));

        auto again = open();
        auto *list2 = again->findChild<MappingList *>();
        QVERIFY(list2->topLevelItem(1)->font(0).bold());
        again->findChild<MappingEditorPanel *>()->toggleKey(1);
        QCOMPARE(text(*again, "编辑框唯一键"), std::string());
        QVERIFY(!list2->topLevelItem(1)->font(0).bold());
    }

    void folderButtonAndHelp()
    {
        auto w = open();
        Prompts::queueFile(QStringLiteral("  /x/y  "));
        w->form().widgetAs<QPushButton>("按钮选择目录")->click();
        QCOMPARE(text(*w, "编辑框文章目录"), std::string("/x/y"));
        QCOMPARE(Prompts::records().back().title, QStringLiteral("请选择一个文件夹"));
        w->form().widgetAs<QPushButton>("按钮选择目录")->click(); // cancelled
        QCOMPARE(text(*w, "编辑框文章目录"), std::string("/x/y"));

        emit w->form().widgetAs<gui::RightButton>("按钮选择目录")->rightReleased();
        QCOMPARE(test::recordedCount(Prompts::Kind::Launch), 1);
        QVERIFY(test::lastRecorded(Prompts::Kind::Launch).text.endsWith(QStringLiteral("/x/y")));

        // Help: info mode, read-only, titled 疑点说明.
        w->findChild<QToolButton *>(QStringLiteral("图片疑点说明"))->click();
        QCOMPARE(Prompts::records().back().kind, Prompts::Kind::Info);
        QCOMPARE(Prompts::records().back().title, QStringLiteral("疑点说明"));
        saveScreenshot(Prompts::records().back(), QStringLiteral("help"));
    }

    // The encryption boxes are the form's (saved and restored with the
    // window) but not on screen; the 加密.. button ends the server's row and
    // the 不保存密码 box stands beside the password, nothing overlapping.
    void encryptionButtonAndPasswordBoxSitInTheirRows()
    {
        auto w = open();
        for (const char *name : {"编辑框加密方式", "编辑框CA证书", "编辑框客户端证书", "编辑框客户端私钥"}) {
            QVERIFY2(w->form().widget(name), name);
            QVERIFY2(!w->form().widget(name)->isVisible(), name);
        }
        QPushButton *button = encryptionButton(*w);
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), QStringLiteral("加密.."));
        QVERIFY2(button->toolTip().startsWith(QStringLiteral("加密连接（TLS）设置")), qPrintable(button->toolTip()));
        auto *notStored = w->form().widgetAs<QCheckBox>("选择框不保存密码");
        QVERIFY(notStored->isVisible());
        QCOMPARE(notStored->text(), QStringLiteral("不保存密码"));
        QVERIFY(notStored->toolTip().contains(QStringLiteral("--password-file、MYSQL_PWD")));

        auto place = [&](QWidget *x) { return QRect(x->mapTo(w.get(), QPoint(0, 0)), x->size()); };
        const QRect server = place(w->form().widget("编辑框服务器")), connect = place(w->form().widget("按钮建立连接"));
        const QRect password = place(w->form().widget("编辑框密码")), box = place(notStored);
        const QRect enc = place(button);
        QVERIFY(enc.left() > server.right() && enc.right() < connect.left());
        QVERIFY(std::abs(enc.center().y() - server.center().y()) <= 2);
        QVERIFY(box.left() > password.right() && std::abs(box.center().y() - password.center().y()) <= 2);
        // The group's own widgets: each whole inside it, none over another.
        QWidget *group = w->findChild<QGroupBox *>(QStringLiteral("分组框2"));
        QList<QWidget *> shown;
        for (QWidget *child : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible())
                shown << child;
        }
        for (QWidget *a : shown) {
            QVERIFY2(group->rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (QWidget *b : shown)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                    qPrintable(a->objectName() + QLatin1Char('|') + b->objectName()));
        }
        // The check box's caption is not cut off.
        QVERIFY(notStored->width() >= notStored->sizeHint().width());
        QVERIFY(button->width() >= button->fontMetrics().horizontalAdvance(QStringLiteral("加密✓")));
    }

    void encryptionSettingsComeFromTheDialogAndStay()
    {
        const QString ca = writeFile(QStringLiteral("ca.pem"));
        const QString cert = writeFile(QStringLiteral("client-cert.pem"));
        const QString key = writeFile(QStringLiteral("client-key.pem"));
        const QString exported = m_dir->filePath(QStringLiteral("exported.ini"));
        {
            auto w = open();
            Prompts::queueFile(ca);
            Prompts::queueFile(key);
            Prompts::queueDialog([&](QDialog &d) {
                QCOMPARE(d.windowTitle(), QStringLiteral("加密连接"));
                QCOMPARE(modeBox(d)->currentText(), QStringLiteral("未设置（不加密）"));
                QCOMPARE(modeBox(d)->count(), 6);
                QVERIFY(!d.findChild<QLabel *>(QStringLiteral("标签加密方式无法识别")));
                QCOMPARE(d.findChild<QLabel *>(QStringLiteral("标签加密生效"))->text(),
                    QStringLiteral("修改在下次建立连接时生效。"));
                chooseMode(d, "VERIFY_IDENTITY");
                QCOMPARE(modeBox(d)->currentText(), QStringLiteral("VERIFY_IDENTITY 必须加密，校验 CA 和主机名"));
                press(d, "按钮选择CA证书");
                QCOMPARE(test::lastRecorded(Prompts::Kind::OpenFile).title, QStringLiteral("选择 CA 证书文件"));
                QCOMPARE(fileBox(d, "编辑框CA证书文件")->text(), ca);
                // Typed with blanks around it; the key chosen where the CA is.
                fileBox(d, "编辑框客户端证书文件")->setText(QStringLiteral("  ") + cert + QStringLiteral(" "));
                press(d, "按钮选择客户端私钥");
                QCOMPARE(test::lastRecorded(Prompts::Kind::OpenFile).directory, m_dir->path());
                d.show();
                QVERIFY(QTest::qWaitForWindowExposed(&d));
                saveScreenshot(d, QStringLiteral("encryption"));
                press(d, "按钮确定");
            });
            encryptionButton(*w)->click();
            QCOMPARE(test::lastRecorded(Prompts::Kind::Dialog).title, QStringLiteral("加密连接"));
            QCOMPARE(encryption(*w),
                (std::vector<std::string>{"VERIFY_IDENTITY", ca.toStdString(), cert.toStdString(), key.toStdString()}));
            QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密✓"));
            QVERIFY(encryptionButton(*w)->toolTip().contains(QStringLiteral("VERIFY_IDENTITY 必须加密")));
            QVERIFY(encryptionButton(*w)->toolTip().contains(ca));
            saveScreenshot(*w, QStringLiteral("main-encrypted"));
            Prompts::queueFile(exported);
            w->exportConfig();
            QCOMPARE(lastMessage(), QStringLiteral("导出配置完成！"));
            w->close();
        }
        // The settings file brings them back, and the dialog shows them.
        auto w = open();
        QCOMPARE(encryption(*w),
            (std::vector<std::string>{"VERIFY_IDENTITY", ca.toStdString(), cert.toStdString(), key.toStdString()}));
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密✓"));
        Prompts::queueDialog([&](QDialog &d) {
            QCOMPARE(modeBox(d)->currentData().toString(), QStringLiteral("VERIFY_IDENTITY"));
            QCOMPARE(fileBox(d, "编辑框客户端私钥文件")->text(), key);
            press(d, "按钮取消");
        });
        encryptionButton(*w)->click();

        // A configuration file carries them too.
        setEncryption(*w, {"", "", "", ""});
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密.."));
        Prompts::queueFile(exported);
        w->importConfig();
        QCOMPARE(lastMessage(), QStringLiteral("导入配置完成！"));
        QCOMPARE(encryption(*w),
            (std::vector<std::string>{"VERIFY_IDENTITY", ca.toStdString(), cert.toStdString(), key.toStdString()}));
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密✓"));

        // DISABLED is set, but encrypts nothing: no mark.
        setEncryption(*w, {"DISABLED"});
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密.."));
        QVERIFY(encryptionButton(*w)->toolTip().contains(QStringLiteral("DISABLED 不加密")));
    }

    // Cancel, the window's close button or no answer at all: the boxes keep
    // what they held, whatever was changed in the dialog.
    void aCancelledEncryptionDialogChangesNothing()
    {
        const QString ca = writeFile(QStringLiteral("ca.pem"));
        auto w = open();
        const std::vector<std::string> before = {"REQUIRED", ca.toStdString(), "", ""};
        setEncryption(*w, before);
        Prompts::queueDialog([&](QDialog &d) {
            chooseMode(d, "DISABLED");
            fileBox(d, "编辑框CA证书文件")->clear();
            press(d, "按钮取消");
        });
        encryptionButton(*w)->click();
        QCOMPARE(encryption(*w), before);
        Prompts::queueDialog([&](QDialog &d) {
            chooseMode(d, "PREFERRED");
            d.reject();
        });
        encryptionButton(*w)->click();
        QCOMPARE(encryption(*w), before);
        encryptionButton(*w)->click();
        QCOMPARE(test::recordedCount(Prompts::Kind::Dialog), 3);
        QCOMPARE(encryption(*w), before);
        QVERIFY(Prompts::messages().isEmpty());
    }

    // What could not work is refused with a message, at the field to mend;
    // the boxes keep what they held.
    void encryptionDialogRefusesWhatCannotWork_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<QString>("cert");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("mend");
        const QString none = QStringLiteral("@dir/none.pem");
        QTest::newRow("CA missing") << "REQUIRED" << none << ""
                                    << ""
                                    << "CA 证书文件不存在：@dir/none.pem"
                                    << "编辑框CA证书文件";
        QTest::newRow("key missing") << "REQUIRED"
                                     << ""
                                     << "@cert" << none << "客户端私钥文件不存在：@dir/none.pem"
                                     << "编辑框客户端私钥文件";
        QTest::newRow("CA a folder") << "VERIFY_CA"
                                     << "@dir"
                                     << ""
                                     << ""
                                     << "CA 证书不是一个文件：@dir"
                                     << "编辑框CA证书文件";
        QTest::newRow("certificate unreadable") << "REQUIRED"
                                                << ""
                                                << "@locked"
                                                << "@cert"
                                                << "客户端证书文件无法读取（没有权限）：@locked"
                                                << "编辑框客户端证书文件";
        QTest::newRow("VERIFY_CA without CA")
            << "VERIFY_CA"
            << ""
            << ""
            << ""
            << "VERIFY_CA 要校验服务器的证书，需要 CA 证书：请选择签发服务器证书的 CA 证书文件。"
            << "编辑框CA证书文件";
        QTest::newRow("VERIFY_IDENTITY without CA")
            << "VERIFY_IDENTITY"
            << "  "
            << "@cert"
            << "@cert"
            << "VERIFY_IDENTITY 要校验服务器的证书，需要 CA 证书：请选择签发服务器证书的 CA 证书文件。"
            << "编辑框CA证书文件";
        QTest::newRow("certificate alone") << "REQUIRED"
                                           << "@cert"
                                           << "@cert"
                                           << ""
                                           << "只填了客户端证书，没有客户端私钥：两者要同时填写，或都不填。"
                                           << "编辑框客户端私钥文件";
        QTest::newRow("key alone") << "PREFERRED"
                                   << ""
                                   << ""
                                   << "@cert"
                                   << "只填了客户端私钥，没有客户端证书：两者要同时填写，或都不填。"
                                   << "编辑框客户端证书文件";
        QTest::newRow("files without a mode")
            << ""
            << "@cert"
            << ""
            << ""
            << "填写了证书文件，却没有选加密方式：请选择一种加密方式，或清空证书文件。"
            << "组合框加密方式";
    }
    void encryptionDialogRefusesWhatCannotWork()
    {
        QFETCH(QString, mode);
        QFETCH(QString, ca);
        QFETCH(QString, cert);
        QFETCH(QString, key);
        QFETCH(QString, message);
        QFETCH(QString, mend);
        const QString certFile = writeFile(QStringLiteral("cert.pem"));
        const QString locked = writeFile(QStringLiteral("locked.pem"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        if (message.contains(QStringLiteral("@locked")) && ::geteuid() == 0)
            QSKIP("root reads every file");
        auto expand = [&](QString s) {
            return s.replace(QStringLiteral("@dir"), m_dir->path())
                .replace(QStringLiteral("@cert"), certFile)
                .replace(QStringLiteral("@locked"), locked);
        };
        auto w = open();
        const std::vector<std::string> before = {"PREFERRED", "", "", ""};
        setEncryption(*w, before);
        Prompts::queueDialog([&](QDialog &d) {
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            chooseMode(d, mode.toUtf8().constData());
            fileBox(d, "编辑框CA证书文件")->setText(expand(ca));
            fileBox(d, "编辑框客户端证书文件")->setText(expand(cert));
            fileBox(d, "编辑框客户端私钥文件")->setText(expand(key));
            press(d, "按钮确定");
            QCOMPARE(lastMessage(), expand(message));
            QCOMPARE(Prompts::records().back().title, QStringLiteral("加密连接"));
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget() ? d.focusWidget()->objectName() : QString(), mend);
            press(d, "按钮取消");
        });
        encryptionButton(*w)->click();
        QCOMPARE(encryption(*w), before);
    }

    // A mode the program does not know (a settings file edited by hand) is
    // shown as none set with a note, and replaced by what is confirmed; a
    // known one in small letters is taken and written in capitals.
    void unknownOrOddlyWrittenModes()
    {
        auto w = open();
        setEncryption(*w, {"TLSv9"});
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密?"));
        QVERIFY(encryptionButton(*w)->toolTip().contains(QStringLiteral("加密方式“TLSv9”无法识别")));
        Prompts::queueDialog([&](QDialog &d) {
            QCOMPARE(modeBox(d)->currentIndex(), 0);
            auto *noteLabel = d.findChild<QLabel *>(QStringLiteral("标签加密方式无法识别"));
            QVERIFY(noteLabel);
            QVERIFY2(noteLabel->text().contains(QStringLiteral("“TLSv9”")), qPrintable(noteLabel->text()));
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            QVERIFY(noteLabel->isVisible());
            saveScreenshot(d, QStringLiteral("encryption-unknown-mode"));
            press(d, "按钮确定");
        });
        encryptionButton(*w)->click();
        QCOMPARE(encryption(*w), (std::vector<std::string>{"", "", "", ""}));
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密.."));

        // Quoted on one short line, whatever the file holds.
        setEncryption(*w, {"A\r\nB" + std::string(5000, 'x')});
        QVERIFY(encryptionButton(*w)->toolTip().contains(
            QStringLiteral("“A B") + QString(37, QLatin1Char('x')) + QStringLiteral("…”")));
        Prompts::queueDialog([&](QDialog &d) {
            const QString shown = d.findChild<QLabel *>(QStringLiteral("标签加密方式无法识别"))->text();
            QVERIFY2(shown.size() < 120 && !shown.contains(QLatin1Char('\n')), qPrintable(shown));
            QVERIFY(d.sizeHint().width() < 1000);
            press(d, "按钮取消");
        });
        encryptionButton(*w)->click();

        setEncryption(*w, {"required"});
        QCOMPARE(encryptionButton(*w)->text(), QStringLiteral("加密✓"));
        Prompts::queueDialog([&](QDialog &d) {
            QCOMPARE(modeBox(d)->currentData().toString(), QStringLiteral("REQUIRED"));
            QVERIFY(!d.findChild<QLabel *>(QStringLiteral("标签加密方式无法识别")));
            press(d, "按钮确定");
        });
        encryptionButton(*w)->click();
        QCOMPARE(text(*w, "编辑框加密方式"), std::string("REQUIRED"));
    }

    // Checked, the password is written to no file: neither the settings
    // file (nor its side files) at close, nor an exported configuration;
    // the window comes back with an empty password and the box checked.
    void aPasswordNotStoredIsWrittenNowhere()
    {
        const QByteArray password = "Zq7-not-kept";
        const QString exported = m_dir->filePath(QStringLiteral("exported.ini"));
        auto filesHolding = [&](const QByteArray &bytes) {
            QStringList holding;
            for (QDirIterator it(m_dir->path(), QDir::Files | QDir::Hidden); it.hasNext();) {
                QFile f(it.next());
                if (f.open(QIODevice::ReadOnly) && f.readAll().contains(bytes))
                    holding << f.fileName();
            }
            return holding;
        };
        {
            auto w = open();
            w->form().control("编辑框密码")->setText(password.toStdString());
            w->form().widgetAs<QCheckBox>("选择框不保存密码")->click();
            Prompts::queueFile(exported);
            w->exportConfig();
            QCOMPARE(lastMessage(), QStringLiteral("导出配置完成！"));
            w->close();
        }
        QVERIFY(QFile::exists(exported));
        QCOMPARE(filesHolding(password), QStringList());
        m_settings->setSection("主界面");
        QCOMPARE(m_settings->readText("编辑框密码"), std::string());
        {
            auto w = open();
            QCOMPARE(text(*w, "编辑框密码"), std::string());
            QVERIFY(w->form().control("选择框不保存密码")->isChecked());
            // Unchecked, the password is kept as before.
            w->form().control("编辑框密码")->setText(password.toStdString());
            w->form().widgetAs<QCheckBox>("选择框不保存密码")->click();
            w->close();
        }
        auto w = open();
        QCOMPARE(text(*w, "编辑框密码"), password.toStdString());
        QVERIFY(!w->form().control("选择框不保存密码")->isChecked());
        // Ticked again, the stored password leaves the settings file at once,
        // not only when the window closes.
        m_settings->setSection("主界面");
        QCOMPARE(m_settings->readText("编辑框密码"), password.toStdString());
        w->form().widgetAs<QCheckBox>("选择框不保存密码")->click();
        QCOMPARE(filesHolding(password), QStringList());
        // A configuration that keeps no password leaves the one typed now.
        Prompts::queueFile(exported);
        w->importConfig();
        QCOMPARE(text(*w, "编辑框密码"), password.toStdString());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
