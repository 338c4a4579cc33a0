#include "gui/SqlQueryWindow.h"

#include "admin/ManagerTexts.h"
#include "admin/QueryRows.h"
#include "admin/SqlText.h"
#include "design/FormTable.h"
#include "form/MainControls.h"
#include "gui/ConnectionSession.h"
#include "gui/MainNames.h"
#include "gui/ManagerWindow.h"
#include "gui/Prompts.h"
#include "gui/QtControl.h"
#include "gui/QtText.h"
#include "gui/ResultListText.h"
#include "gui/ResultTableModel.h"
#include "gui/WindowPlace.h"
#include "gui/WindowPump.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace varnel::gui {
namespace {

QPushButton *button(const char *name, const char *caption)
{
    auto *b = new QPushButton(QString::fromUtf8(caption));
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

// The program's text (CR LF) of the first `count` characters of the editor's.
std::size_t programLength(const QString &plain, qsizetype count)
{
    QString s = plain.left(count);
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return u8(s).size();
}

} // namespace

SqlQueryWindow::SqlQueryWindow(
    ManagerWindow &manager, MainNames &names, ConnectionSession &session, SettingsStore &settings)
    : QWidget(&manager, Qt::Window)
    , m_names(names)
    , m_session(session)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("SqlQueryWindow"));
    setWindowTitle(QStringLiteral("SQL查询"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildLayout();
    buildMenus();
    resize(std::max(926, minimumSizeHint().width()), std::max(508, minimumSizeHint().height()));
    restoreWindowPlace(*this, m_settings, kSqlSection);

    m_settings.setSection(kSqlSection);
    setStatementText(m_settings.readText(kSqlStatementKey, sqlDesignText()));
}

SqlQueryWindow::~SqlQueryWindow()
{
    // The model lets go of the rows it shows before they are freed.
    m_model->clear();
}

void SqlQueryWindow::buildLayout()
{
    m_runGroup = new QGroupBox(QStringLiteral("SQL 语句查询 - 一行一条SQL语句"));
    m_runGroup->setObjectName(QStringLiteral("分组框执行"));
    m_editor = new QPlainTextEdit;
    m_editor->setObjectName(QStringLiteral("编辑框SQL语句"));
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editor->setTabStopDistance(m_editor->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
    m_editor->setMinimumHeight(m_editor->fontMetrics().lineSpacing() * 10);

    auto *paste = button("按钮粘贴", "粘贴");
    auto *clear = button("按钮清空", "清空");
    auto *samples = button("按钮语句", "语句");
    auto *run = button("按钮执行", "执行");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(paste);
    buttons->addWidget(clear);
    buttons->addWidget(samples);
    buttons->addStretch(1);
    buttons->addWidget(run);

    m_runList = new QTreeWidget;
    m_runList->setObjectName(QStringLiteral("列表框执行"));
    m_runList->setRootIsDecorated(false);
    m_runList->setUniformRowHeights(true);
    m_runList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_runList->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("SQL 语句"), QStringLiteral("执行结果")});
    m_runList->setColumnWidth(0, 70);
    m_runList->setColumnWidth(1, 210);
    m_runList->setColumnWidth(2, 100);

    // Why the chosen line (or the last one that failed) failed, as the
    // server said it.
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("标签状态"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setMinimumHeight(m_status->fontMetrics().lineSpacing());

    auto *left = new QVBoxLayout(m_runGroup);
    left->addWidget(m_editor, 3);
    left->addLayout(buttons);
    left->addWidget(m_runList, 2);
    left->addWidget(m_status);

    m_resultGroup = new QGroupBox(QStringLiteral("   执行成功后，单击语句项，即可在这里显示返回的数据"));
    m_resultGroup->setObjectName(QStringLiteral("分组框结果"));
    m_refresh = new QToolButton;
    m_refresh->setObjectName(QStringLiteral("按钮刷新结果"));
    m_refresh->setToolTip(QStringLiteral("刷新结果"));
    m_refresh->setIcon(QApplication::style()->standardIcon(QStyle::SP_BrowserReload));
    m_refresh->setAutoRaise(true);
    m_model = new ResultTableModel(this);
    m_resultView = new QTableView;
    m_resultView->setObjectName(QStringLiteral("列表框结果"));
    m_resultView->setModel(m_model);
    m_resultView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_resultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_resultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultView->setWordWrap(false);
    m_resultView->verticalHeader()->setDefaultSectionSize(m_resultView->fontMetrics().height() + 6);
    m_resultView->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *right = new QGridLayout(m_resultGroup);
    right->addWidget(m_refresh, 0, 0, Qt::AlignRight);
    right->addWidget(m_resultView, 1, 0);
    right->setRowStretch(1, 1);

    // The statements' half keeps its width; the results take what is left.
    m_runGroup->setFixedWidth(std::max(420, m_runGroup->sizeHint().width()));
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(8, 8, 8, 8);
    h->addWidget(m_runGroup);
    h->addWidget(m_resultGroup, 1);

    connect(paste, &QPushButton::clicked, this, &SqlQueryWindow::pasteClipboard);
    connect(clear, &QPushButton::clicked, this, &SqlQueryWindow::clearText);
    connect(samples, &QPushButton::clicked, this,
        [this, samples] { m_samples->popup(samples->mapToGlobal(QPoint(0, samples->height()))); });
    connect(run, &QPushButton::clicked, this, &SqlQueryWindow::runStatements);
    connect(m_runList, &QTreeWidget::currentItemChanged, this, &SqlQueryWindow::showStatementResult);
    connect(m_refresh, &QToolButton::clicked, this, &SqlQueryWindow::showStatementResult);
    connect(m_resultView, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) {
        if (m_resultView->indexAt(p).isValid())
            m_resultMenu->popup(m_resultView->viewport()->mapToGlobal(p));
    });
}

void SqlQueryWindow::buildMenus()
{
    m_resultMenu = new QMenu(this);
    m_resultMenu->setObjectName(QStringLiteral("操作菜单"));
    auto add = [this](const char *name, auto slot) {
        QAction *a = m_resultMenu->addAction(QString::fromUtf8(name));
        a->setObjectName(QString::fromUtf8(name));
        connect(a, &QAction::triggered, this, slot);
    };
    add("复制选定", [this] { copy(true); });
    add("复制全部", [this] { copy(false); });
    m_resultMenu->addSeparator();
    add("导出 Csv", [this] { exportCsv(); });

    m_samples = new QMenu(this);
    m_samples->setObjectName(QStringLiteral("插入语句"));
    QMenu *menu = m_samples;
    for (const SqlSample &sample : sqlSamples()) {
        switch (sample.kind) {
        case SqlSample::Kind::SubmenuBegin:
            menu = m_samples->addMenu(qs(sample.label));
            menu->setObjectName(qs(sample.label));
            break;
        case SqlSample::Kind::SubmenuEnd:
            menu = m_samples;
            break;
        case SqlSample::Kind::Separator:
            menu->addSeparator();
            break;
        case SqlSample::Kind::Item: {
            QAction *a = menu->addAction(escapeMnemonics(qs(sample.label)));
            a->setObjectName(qs(sample.label));
            connect(a, &QAction::triggered, this, [this, &sample] { insertSample(sample); });
            break;
        }
        }
    }
}

// --- the editor -------------------------------------------------------------

std::string SqlQueryWindow::statementText() const
{
    return PlainTextControl(m_editor).text();
}

void SqlQueryWindow::setStatementText(std::string_view text)
{
    PlainTextControl(m_editor).setText(text);
}

void SqlQueryWindow::pasteClipboard()
{
    QString text = QApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_editor->setPlainText(text);
}

void SqlQueryWindow::clearText()
{
    m_editor->clear();
}

void SqlQueryWindow::insertSample(const SqlSample &sample)
{
    const QString plain = m_editor->toPlainText();
    const QTextCursor cursor = m_editor->textCursor();
    const EditorText before{
        statementText(), programLength(plain, cursor.selectionStart()), programLength(plain, cursor.selectionEnd())};
    const std::string user = m_names.userName();
    const EditorText after = insertSampleText(before, sampleText(sample, user));
    QString head = qs(std::string_view(after.text).substr(0, after.selectionStart));
    head.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setStatementText(after.text);
    QTextCursor caret = m_editor->textCursor();
    caret.setPosition(static_cast<int>(head.size()));
    m_editor->setTextCursor(caret);
    m_editor->setFocus(Qt::OtherFocusReason);
}

// --- running ----------------------------------------------------------------

void SqlQueryWindow::releaseStatementResults()
{
    m_model->clear();
    m_runList->clear();
    m_results.clear();
}

void SqlQueryWindow::runStatements()
{
    // One run at a time: the button pressed again while one runs is ignored.
    if (m_running)
        return;
    const std::vector<NumberedStatement> lines = splitStatementLines(cleanStatementText(statementText()));
    releaseStatementResults();
    m_status->clear();
    m_running = true;
    {
        BusyScope busy(m_busy);
        ThrottledPump pump = windowPump();
        for (const NumberedStatement &line : lines) {
            // A close asked for meanwhile ends the run here.
            if (m_busy.closePending())
                break;
            auto *item = new QTreeWidgetItem(
                QStringList{QString::number(line.number), qs(line.text), QStringLiteral("正在执行..")});
            m_runList->addTopLevelItem(item);
            m_results.emplace_back();
            const std::size_t row = m_results.size() - 1;
            pump();
            StatementRun run = runStatement(m_session.db(), line.text);
            m_results[row] = std::move(run.rows);
            item->setText(2, run.ok ? QStringLiteral("执行成功！") : QStringLiteral("执行失败！"));
            if (!run.ok) {
                // A typo and a missing table fail alike; the server's words
                // tell them apart.
                const QString reason = qs(run.failure);
                for (int c = 0; c < 3; ++c)
                    item->setToolTip(c, reason);
                m_status->setText(qs(statementFailedStatus(line.number, u8(reason))));
            }
            // The current row may be this one, chosen before its rows came.
            if (m_runList->currentItem() == item)
                showStatementResult();
            pump();
        }
    }
    m_running = false;
    closeWhenIdle(*this, m_busy);
}

void SqlQueryWindow::showStatementResult()
{
    QTreeWidgetItem *item = m_runList->currentItem();
    const int row = m_runList->indexOfTopLevelItem(item);
    if (row < 0 || static_cast<std::size_t>(row) >= m_results.size()) {
        m_model->clear();
        return;
    }
    if (item->text(2) == QStringLiteral("执行失败！"))
        m_status->setText(qs(statementFailedStatus(item->text(0).toInt(), u8(item->toolTip(2)))));
    else
        m_status->clear();
    std::shared_ptr<const QueryRows> result = m_results[static_cast<std::size_t>(row)];
    QStringList titles;
    if (result) {
        for (std::size_t i = 0; i < result->columnCount(); ++i)
            titles << qs(viewerColumnTitle(result->columns()[i].name, i, true));
    }
    m_model->setResult(std::move(result), titles);
    m_resultView->resizeColumnsToContents();
}

// --- copying and saving -----------------------------------------------------

QString SqlQueryWindow::copyText(bool selectedOnly) const
{
    return resultListText(*m_model, m_resultView->selectionModel(), selectedOnly);
}

void SqlQueryWindow::copy(bool selectedOnly)
{
    {
        BusyScope busy(m_busy);
        QApplication::clipboard()->setText(copyText(selectedOnly));
    }
    closeWhenIdle(*this, m_busy);
}

void SqlQueryWindow::exportCsv()
{
    writeCsv();
    closeWhenIdle(*this, m_busy);
}

void SqlQueryWindow::writeCsv()
{
    BusyScope busy(m_busy);
    saveResultListCsv(this, *m_model);
}

// --- closing ----------------------------------------------------------------

void SqlQueryWindow::closeEvent(QCloseEvent *event)
{
    // A run or a dialog of this window is under way: the window closes when
    // it has returned.
    if (m_busy.busy()) {
        m_busy.requestClose();
        event->ignore();
        return;
    }
    releaseStatementResults();
    m_settings.setSection(kSqlSection);
    m_settings.writeText(kSqlStatementKey, statementText());
    saveWindowPlace(*this, m_settings, kSqlSection);
    event->accept();
}

} // namespace varnel::gui
