// Where the windows come back: the place each was left in, from run to run,
// and the design size and a new window's place when what is kept will not do.
#include "GuiSupport.h"

#include "gui/CreateTableWindow.h"
#include "gui/MainWindow.h"
#include "gui/ManagerWindow.h"
#include "gui/RecordViewerWindow.h"
#include "gui/SqlQueryWindow.h"
#include "gui/UserAdminWindow.h"
#include "gui/WindowPlace.h"
#include "mysql/MySqlConnection.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>

#include <memory>

using namespace varnel;
using namespace varnel::gui;

namespace {

const QList<QRect> kTwoScreens = {QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1000)};

QString placeText(const QRect &r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

// The places below are chosen for the offscreen screen at scale 1; scaled
// up, it is smaller than the main window can be.
#define VARNEL_SKIP_ON_A_SMALL_SCREEN()                                                                                \
    do {                                                                                                               \
        if (QGuiApplication::primaryScreen()->availableGeometry().height() < 730)                                      \
            QSKIP("the screen is smaller than the main window");                                                       \
    } while (0)

class WindowPlaceTest : public QObject {
    Q_OBJECT

private:
    test::GuiSandbox m_sandbox = test::guiSandbox();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<MySqlConnection> m_db;

    std::unique_ptr<MainWindow> openMain(bool connect)
    {
        auto w = std::make_unique<MainWindow>(*m_settings, *m_db);
        w->form().control("编辑框服务器")->setText(m_sandbox.server);
        w->form().control("编辑框用户名")->setText(m_sandbox.user);
        w->form().control("编辑框密码")->setText(m_sandbox.password);
        w->show();
        if (connect)
            w->connectAction();
        return w;
    }
    // The main window and every window it leads to, open.
    QList<QWidget *> openAll(MainWindow &main)
    {
        main.openManager();
        ManagerWindow *m = main.manager();
        if (!m)
            return {};
        // The server's own tables, for the viewer.
        if (!QTest::qWaitFor(
                [m] { return !m->databaseList()->findItems(QStringLiteral("mysql"), Qt::MatchExactly).isEmpty(); },
                5000))
            return {};
        m->databaseList()->setCurrentItem(
            m->databaseList()->findItems(QStringLiteral("mysql"), Qt::MatchExactly).front());
        if (!QTest::qWaitFor([m] { return m->tableList()->count() > 0; }, 5000))
            return {};
        m->tableList()->item(0)->setSelected(true);
        m->openViewer(false);
        m->openSqlWindow();
        m->openUserAdmin();
        main.openCreateTable();
        return {&main, m, m->viewer(), m->sqlWindow(), m->userAdmin(), main.createTableWindow()};
    }
    void keep(std::string_view section, const QString &text)
    {
        m_settings->setSection(section);
        m_settings->writeText(kWindowPlaceKey, u8(text));
    }
    QString kept(std::string_view section)
    {
        SettingsStore saved;
        saved.openReadOnly(m_dir->filePath(QStringLiteral("settings.ini")).toStdString());
        saved.setSection(section);
        return qs(saved.readText(kWindowPlaceKey));
    }

private slots:
    void init()
    {
        test::openTestFiles(m_dir, m_settings, m_db);
        test::scriptPrompts();
    }
    void cleanup()
    {
        test::closeTestFiles(m_dir, m_settings, m_db);
        test::verifyPromptsUsed();
    }

    void savedTextsAgainstTheScreens_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("positioned");
        QTest::addColumn<QRect>("rect");
        const QRect none;
        QTest::newRow("on the first") << "100,80,800,600" << true << true << QRect(100, 80, 800, 600);
        QTest::newRow("on the second") << "2000,100,800,600" << true << true << QRect(2000, 100, 800, 600);
        QTest::newRow("across both") << "1500,100,800,600" << true << true << QRect(1500, 100, 800, 600);
        // Reaching past an edge: moved in, size kept.
        QTest::newRow("partly off") << "-300,-20,800,600" << true << true << QRect(0, 0, 800, 600);
        QTest::newRow("spaces") << " 10, 20 ,800,600" << true << true << QRect(10, 20, 800, 600);
        // Cut to the screen that shows most of it, and moved into it.
        QTest::newRow("taller than its screen") << "2000,100,800,1400" << true << true << QRect(2000, 0, 800, 1000);
        QTest::newRow("larger than its screen") << "1900,10,3000,3000" << true << true << QRect(1920, 0, 1280, 1000);
        // Off every screen: placed anew.
        QTest::newRow("off to the left") << "-3000,100,800,600" << true << false << QRect(0, 0, 800, 600);
        QTest::newRow("below all") << "100,5000,800,600" << true << false << QRect(0, 0, 800, 600);
        QTest::newRow("off and too large") << "-9000,0,2500,600" << true << false << QRect(0, 0, 1920, 600);
        for (const char *bad : {"", "garbage", "1,2,3", "1,2,3,4,5", "1,2,800,x", "1.5,2,800,600", "1,2,-800,600",
                 "1,2,800,0", "1,2,40,30", "1,2,399,600", "1,2,800,299", "99999999999,0,800,600", "0,0,800,9999999"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << false << false << none;
    }
    void savedTextsAgainstTheScreens()
    {
        QFETCH(QString, text);
        QFETCH(bool, used);
        QFETCH(bool, positioned);
        QFETCH(QRect, rect);
        const auto place = windowPlaceFor(text, QSize(400, 300), kTwoScreens);
        QCOMPARE(place.has_value(), used);
        if (!place)
            return;
        QCOMPARE(place->positioned, positioned);
        if (positioned)
            QCOMPARE(place->rect, rect);
        else
            QCOMPARE(place->rect.size(), rect.size());
    }
    // The frame counts: a window as large as its screen is made smaller by
    // the frame, and one whose title would sit above the screen comes down.
    void theFrameStaysOnTheScreen()
    {
        const QMargins frame(4, 24, 4, 4);
        auto place = windowPlaceFor(QStringLiteral("0,0,1920,1050"), QSize(400, 300), kTwoScreens, frame);
        QVERIFY(place && place->positioned);
        QCOMPARE(place->rect, QRect(4, 24, 1912, 1022));
        place = windowPlaceFor(QStringLiteral("100,0,800,600"), QSize(400, 300), kTwoScreens, frame);
        QCOMPARE(place->rect, QRect(100, 24, 800, 600));
        place = windowPlaceFor(QStringLiteral("100,500,800,600"), QSize(400, 300), kTwoScreens, frame);
        QCOMPARE(place->rect.marginsAdded(frame).bottom(), 1049);
    }
    // A first opening: right of the main window where it fits, else left,
    // else centred on it; always on the screen.
    void aFirstOpeningGoesBesideTheMainWindow()
    {
        const QMargins frame(2, 20, 2, 2);
        const QRect screen(0, 0, 1600, 1200);
        const QRect main(100, 50, 704, 722); // a frame
        const QRect right = placeBeside(QSize(600, 400), frame, main, screen);
        QCOMPARE(right.marginsAdded(frame).left(), main.right() + 1 + 8);
        QCOMPARE(right.marginsAdded(frame).top(), main.top());
        const QRect mainRight(880, 50, 704, 722);
        const QRect left = placeBeside(QSize(600, 400), frame, mainRight, screen);
        QCOMPARE(left.marginsAdded(frame).right(), mainRight.left() - 1 - 8);
        // Too wide for either side, but room below.
        const QRect below = placeBeside(QSize(1000, 300), frame, QRect(300, 100, 1000, 600), screen);
        QCOMPARE(below.marginsAdded(frame).top(), 100 + 600 + 8);
        QCOMPARE(below.marginsAdded(frame).left(), 300);
        // No room on any side: centred on it, inside the screen.
        const QRect centred = placeBeside(QSize(1000, 900), frame, QRect(300, 100, 1000, 1000), screen);
        QCOMPARE(centred.center(), QRect(300, 100, 1000, 1000).center());
        const QRect low = placeBeside(QSize(1000, 900), frame, QRect(300, 700, 1000, 500), screen);
        QVERIFY(screen.contains(low.marginsAdded(frame)));
        const QRect huge = placeBeside(QSize(3000, 3000), frame, main, screen);
        QVERIFY(screen.contains(huge.marginsAdded(frame)));
        // Opened from the manager right of the main window: left of the
        // manager would cover the main window, below it covers nothing.
        const QRect mainAtLeft(0, 1, 646, 755), manager(654, 1, 666, 485);
        const QRect fromManager = placeBeside(QSize(437, 268), frame, manager, screen, mainAtLeft);
        QCOMPARE(fromManager.marginsAdded(frame).top(), manager.bottom() + 1 + 8);
        QVERIFY(!fromManager.marginsAdded(frame).intersects(mainAtLeft));
        // Where every place that fits covers it, the first that fits.
        const QRect crowded = placeBeside(QSize(437, 268), frame, manager, QRect(0, 0, 1330, 760), mainAtLeft);
        QCOMPARE(crowded.marginsAdded(frame).right(), manager.left() - 1 - 8);
    }

    // A screen smaller than the window can be: the window stays at its least.
    void aSmallScreenGivesTheLeastSize()
    {
        const auto place = windowPlaceFor(QStringLiteral("0,0,900,900"), QSize(700, 650), {QRect(0, 0, 640, 480)});
        QVERIFY(place);
        QCOMPARE(place->rect.size(), QSize(700, 650));
    }

    // The main window without a server: design size without a kept place,
    // and when the kept one is damaged or off every screen now.
    void theMainWindowFallsBackToItsDesign()
    {
        VARNEL_SKIP_ON_A_SMALL_SCREEN();
        const QSize design = openMain(false)->size();
        const QPoint newPlace = openMain(false)->pos();
        for (const char *bad : {"", "1,2,3", "10,10,-700,700", "10,10,20,20", "abc,def,ghi,jkl"}) {
            keep("主界面", QString::fromLatin1(bad));
            auto w = openMain(false);
            QCOMPARE(w->size(), design);
            QCOMPARE(w->pos(), newPlace);
        }
        keep("主界面", QStringLiteral("-8000,-8000,700,700"));
        auto w = openMain(false);
        QCOMPARE(w->size(), QSize(700, 700));
        QCOMPARE(w->pos(), newPlace);

        // Larger than the screen: cut to it, frame and all.
        keep("主界面", QStringLiteral("10,10,9000,9000"));
        w = openMain(false);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QTRY_VERIFY2(area.contains(w->frameGeometry()), qPrintable(placeText(w->frameGeometry())));
        QVERIFY(w->width() > area.width() - 20 && w->height() > area.height() - 60);
    }

    void aMaximizedWindowKeepsThePlaceItReturnsTo()
    {
        VARNEL_SKIP_ON_A_SMALL_SCREEN();
        const QRect normal(31, 17, 650, 735);
        {
            auto w = openMain(false);
            w->setGeometry(normal);
            w->showMaximized();
            QTRY_VERIFY(w->isMaximized() && w->geometry() != normal);
            QVERIFY(w->close());
        }
        QCOMPARE(openMain(false)->geometry(), normal);
    }

    void everyWindowComesBackWhereItWasLeft()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        VARNEL_SKIP_ON_A_SMALL_SCREEN();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QList<QRect> places;
        {
            auto main = openMain(true);
            const QList<QWidget *> windows = openAll(*main);
            QCOMPARE(windows.size(), 6);
            for (int i = 0; i < windows.size(); ++i) {
                QWidget *w = windows[i];
                QVERIFY2(w, qPrintable(QString::number(i)));
                const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
                // Each a little off its neighbour, and inside the small
                // offscreen screen.
                const QRect r(screen.x() + 3 + i, screen.y() + 5 + 3 * i, std::max(least.width(), 420) + 3 * i,
                    std::max(least.height(), 310) + 2 * i);
                QVERIFY2(screen.contains(r), qPrintable(w->objectName()));
                w->setGeometry(r);
                places << r;
            }
            QApplication::processEvents();
            // The main window closes the others through their own close.
            QVERIFY(main->close());
        }
        m_db->disconnect(); // as at the end of a run
        auto main = openMain(true);
        const QList<QWidget *> windows = openAll(*main);
        QCOMPARE(windows.size(), 6);
        for (int i = 0; i < windows.size(); ++i)
            QCOMPARE(windows[i]->geometry(), places[i]);
        QVERIFY(main->close());
    }

    // A disconnect closes the manager and its windows and table creation;
    // each keeps its place.
    void aDisconnectKeepsThePlaces()
    {
        VARNEL_GUI_REQUIRE_SANDBOX(m_sandbox);
        auto main = openMain(true);
        const QList<QWidget *> windows = openAll(*main);
        QCOMPARE(windows.size(), 6);
        const char *sections[] = {"", "管理器", "记录查看器", "SQL查询", "用户管理", "新建表"};
        QList<QPointer<QWidget>> watched;
        for (int i = 1; i < windows.size(); ++i) {
            windows[i]->move(windows[i]->pos() + QPoint(9 + i, 4 + i));
            watched << windows[i];
        }
        QStringList expected;
        for (int i = 1; i < windows.size(); ++i)
            expected << placeText(windows[i]->geometry());
        main->connectAction(); // disconnect
        for (const auto &w : watched)
            QTRY_VERIFY(!w);
        for (int i = 1; i < windows.size(); ++i)
            QCOMPARE(kept(sections[i]), expected[i - 1]);
        QCOMPARE(kept("主界面"), QString());
    }
};

QTEST_MAIN(WindowPlaceTest)
#include "WindowPlaceTest.moc"
