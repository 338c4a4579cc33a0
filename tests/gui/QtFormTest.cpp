// The Qt form against the in-memory one: the same design makes the same
// controls, and the same state saves to the same bytes.
#include "GuiSupport.h"

#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "gui/QtForm.h"
#include "gui/QtText.h"
#include "gui/QtTransferHost.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace varnel;
using namespace varnel::gui;

class QtFormTest : public QObject {
    Q_OBJECT

private slots:
    void init() { test::scriptPrompts(); }
    void cleanup() { test::verifyPromptsUsed(); }
    void everyDesignControlIsAWidgetWithItsDefault();
    void theSameStateSavesToTheSameBytes();
    void radioGroupsCanBeClearedAndStayExclusive();
    void aFailedFileIsOneLineWhateverItsName();
};

void QtFormTest::everyDesignControlIsAWidgetWithItsDefault()
{
    QWidget owner;
    QtForm form(mainFormSpec(), &owner);
    MemoryForm reference(mainFormSpec());
    for (const ControlSpec &spec : mainFormSpec().controls) {
        QWidget *w = owner.findChild<QWidget *>(qs(spec.name));
        QVERIFY2(w, spec.name.c_str());
        Control *qt = form.control(spec.name);
        Control *mem = reference.control(spec.name);
        QVERIFY(qt && mem);
        QCOMPARE(qt->text(), mem->text());
        QCOMPARE(qt->isChecked(), mem->isChecked());
        QCOMPARE(qt->currentIndex(), mem->currentIndex());
        QCOMPARE(qt->items(), mem->items());
        QCOMPARE(qt->isEnabled(), mem->isEnabled());
    }
    // The two-line caption is kept as the program's text and shown with LF.
    auto *toggle = form.widgetAs<QPushButton>("按钮导出条件");
    QCOMPARE(toggle->text(), QStringLiteral("导出\n条件"));
    QCOMPARE(form.control("按钮导出条件")->text(), std::string("导出\r\n条件"));
}

void QtFormTest::theSameStateSavesToTheSameBytes()
{
    QTemporaryDir dir;
    QWidget owner;
    QtForm form(mainFormSpec(), &owner);
    QTreeWidget list(&owner);
    list.setColumnCount(3);
    form.setList(&list);
    MemoryForm reference(mainFormSpec());

    for (Form *f : {static_cast<Form *>(&form), static_cast<Form *>(&reference)}) {
        f->control("编辑框固定的文本")->setText("第一行\r\n第二行");
        f->control("编辑框词组")->setText("词1\r\n词2");
        f->control("单选框随机时")->setChecked(true);
        f->control("单选框包含")->setChecked(true);
        f->control("组合框数据来源")->setCurrentIndex(11);
        f->control("组合框文件编码")->setCurrentIndex(4);
        f->control("选择框转为繁体")->setChecked(true);
        f->control("按钮库列表")->setTag("a\r\nb&c");
        f->appendRow();
        f->setCell(0, 0, "标题");
        f->setCell(0, 1, "固定文本");
        f->setCell(0, 2, "x\r\ny");
    }
    const auto save = [&](Form &f, const char *file) {
        SettingsStore store;
        store.open(dir.filePath(QString::fromLatin1(file)).toStdString());
        saveMainConfig(store, f);
        return store.rawText();
    };
    const std::string qtBytes = save(form, "qt.ini");
    QCOMPARE(qtBytes, save(reference, "memory.ini"));

    // And back into a fresh window.
    QWidget owner2;
    QtForm back(mainFormSpec(), &owner2);
    QTreeWidget list2(&owner2);
    list2.setColumnCount(3);
    back.setList(&list2);
    SettingsStore store;
    store.open(dir.filePath(QStringLiteral("qt.ini")).toStdString());
    restoreMainConfig(store, back);
    QCOMPARE(back.control("编辑框固定的文本")->text(), std::string("第一行\r\n第二行"));
    QCOMPARE(back.control("单选框随机时")->isChecked(), true);
    QCOMPARE(back.control("单选框现在时")->isChecked(), false);
    QCOMPARE(back.control("组合框数据来源")->currentIndex(), 11);
    QCOMPARE(back.control("按钮库列表")->tag(), std::string("a\r\nb&c"));
    QCOMPARE(back.rowCount(), 1);
    QCOMPARE(back.cell(0, 2), std::string("x\r\ny"));
}

void QtFormTest::radioGroupsCanBeClearedAndStayExclusive()
{
    QWidget owner;
    QtForm form(mainFormSpec(), &owner);
    Control *now = form.control("单选框现在时");
    Control *file = form.control("单选框文件时");
    QVERIFY(now->isChecked());
    file->setChecked(true);
    QVERIFY(!now->isChecked());
    // A restored file may have every radio of a group off.
    file->setChecked(false);
    QVERIFY(!file->isChecked() && !now->isChecked());
    // Radios of other groups on the same page are not touched.
    QVERIFY(form.control("单选框秒")->isChecked());
    // The group is still exclusive for the user.
    QTest::mouseClick(form.widgetAs<QRadioButton>("单选框随机时"), Qt::LeftButton);
    form.widgetAs<QRadioButton>("单选框现在时")->click();
    QVERIFY(now->isChecked());
    QVERIFY(!form.control("单选框随机时")->isChecked());
}

// The failure text of a run, shown to the user after the final message: a
// name with a line break, a tab, a backslash and a byte that is not UTF-8
// stays one line, above its reason.
void QtFormTest::aFailedFileIsOneLineWhateverItsName()
{
    QWidget owner;
    QtForm form(mainFormSpec(), &owner);
    QtTransferHost host(&owner, form, QStringLiteral("Varnel"));
    host.reportFailures("未能导入的文件", {{"/d/a\nforged: line\tb\\c\xFF.txt", "原因"}});
    const auto [title, text] = host.takeFailureReport();
    QCOMPARE(title, QStringLiteral("未能导入的文件"));
    QCOMPARE(text, QStringLiteral("未能导入的文件：\r\n/d/a\\nforged: line\\tb\\\\c\\xFF.txt\r\n    原因\r\n"));
}

QTEST_MAIN(QtFormTest)
#include "QtFormTest.moc"
