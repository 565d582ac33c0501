// The console window on a desktop with a window manager, driven through the event loop
// as a person drives it: its states and their layout, the tray and the way back, the
// program's lifetime, and texts that show whole.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <cmath>
#include <memory>

#include "config/form_cansu.h"
#include "console/form_zuye.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/cstray.h"
#include "platform/gui/gui_services.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "support/temp_folder.h"
#include "support/text_fit.h"
#include "support/virtual_desktop.h"

using console::form_zuye;

namespace {

bool maximised(const form_zuye& w)
{
    return (w.windowState() & Qt::WindowMaximized) && !(w.windowState() & Qt::WindowMinimized);
}

// Waits for conditions of the window manager and of other programs, which a machine
// that also builds and tests other work may keep waiting for many seconds.
constexpr int patience = 30000;

struct ConsoleOnDesktop : ::testing::Test {
    platform::fakes::FakeServices fakes;
    testsupport::TempFolder app;
    std::unique_ptr<form_zuye> w;

    void SetUp() override { platform::setAppFolder(app.path()); }

    // As the console program shows it.
    void start()
    {
        fakes.wmi.setServiceRunning(0);
        w = std::make_unique<form_zuye>();
        w->showMaximized();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get(), patience));
        waitUntilShown(Shown::Maximised);
    }

    // Restored: back from minimised, maximised or not, as the window manager keeps it.
    enum class Shown { Maximised, Normal, Restored };

    // The window manager shows the window in this state, Qt has the same idea of it,
    // and the frame is where the window manager put it and stays there.
    void waitUntilShown(Shown shown)
    {
        QString seen;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QStringList atoms = wmStates();
                const QString state = testsupport::wmState(w->winId());
                seen = state + QLatin1Char(' ') + atoms.join(QLatin1Char(' '));
                const bool wmMaximised = atoms.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")) &&
                                         atoms.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ"));
                const bool qtMaximised = maximised(*w);
                const bool wanted = shown == Shown::Restored ? wmMaximised : shown == Shown::Maximised;
                return state == QLatin1String("Normal") && !atoms.contains(QStringLiteral("_NET_WM_STATE_HIDDEN")) &&
                       wmMaximised == wanted && qtMaximised == wanted && !w->isMinimized() && w->isVisible() &&
                       settled();
            },
            patience))
            << "the window manager has " << seen.toStdString();
    }

    // Qt has seen the place the X server has for the window, and it stays there.
    bool settled()
    {
        const QRect before = w->frameGeometry();
        if (testsupport::screenGeometry(w->winId()) != w->geometry())
            return false;
        QTest::qWait(200);
        return w->frameGeometry() == before && testsupport::screenGeometry(w->winId()) == w->geometry();
    }

    QStringList wmStates() const { return testsupport::netWmState(w->winId()); }

    // The layout of the maximised window from its outer size, in pixels of 15 twips.
    void expectMaximisedLayout()
    {
        const int W = w->frameGeometry().width(), H = w->frameGeometry().height();
        const int T = w->Toolbar1->height(), P = w->Picture1->height();
        auto px = [](double v) { return static_cast<int>(std::lround(v)); };
        EXPECT_EQ(w->TreeView1->geometry(), QRect(0, 32, px(W * 0.23), H - T - P - 80));
        EXPECT_EQ(w->loggrid->geometry(), QRect(240, 32, px(W * 0.81 - 20), H - T - P - 80));
        EXPECT_EQ(w->Picture1->geometry(), QRect(0, H - P - T - 50, W, P));
        EXPECT_EQ(w->loggrid->ColWidth(3), w->loggrid->width() * 15 - 3500);
        expectColumns({600, 1500, 900});
    }

    void expectNormalLayout()
    {
        EXPECT_EQ(w->TreeView1->geometry(), QRect(0, 32, 233, 553));
        EXPECT_EQ(w->loggrid->geometry(), QRect(240, 32, 729, 553));
        EXPECT_EQ(w->Picture1->pos(), QPoint(0, 592));
        // The outer width as the layout last read it: the frame may come a moment later.
        EXPECT_NEAR(w->Picture1->width(), w->frameGeometry().width(), 4);
        expectColumns({600, 1500, 900, 8000});
    }

    void expectColumns(std::vector<int> twips)
    {
        for (std::size_t c = 0; c < twips.size(); ++c)
            EXPECT_EQ(w->loggrid->ColWidth(static_cast<int>(c)), twips[c]) << "column " << c;
    }

    // The status panels share the bar in the design's proportions, inside the window,
    // each text whole.
    void expectPanelsFit()
    {
        const int available = w->StatusBar1->width();
        int right = 0;
        for (int p = 1; p <= 4; ++p) {
            QLabel* panel = w->StatusBar1->panel(p);
            const QRect inBar(panel->mapTo(w->StatusBar1, QPoint(0, 0)), panel->size());
            right = std::max(right, inBar.right());
            EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()))
                << "panel " << p << " cuts " << panel->text().toStdString();
            const double share = (p <= 2 ? 0.2 : 0.3) * available;
            EXPECT_NEAR(panel->width(), share, 8.0) << "panel " << p;
        }
        EXPECT_LT(right, available);
        EXPECT_LE(w->frameGeometry().width(), w->screen()->availableGeometry().width());
    }

    QSystemTrayIcon* trayIcon() const { return w->cstray1->findChild<QSystemTrayIcon*>(); }

    // Where the tray shows the icon: once its window is viewable in the tray and Qt
    // has the place the X server has. The window that Qt makes for an icon is a
    // top-level widget of its own.
    QRect trayIconPlace()
    {
        QRect place;
        const bool placed = QTest::qWaitFor(
            [&] {
                if (trayIcon() == nullptr || !trayIcon()->isVisible())
                    return false;
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top->inherits("QSystemTrayIconSys") && top->isVisible()) {
                        place = testsupport::screenGeometry(top->winId());
                        return place.isValid() && place == trayIcon()->geometry();
                    }
                return false;
            },
            patience);
        EXPECT_TRUE(placed) << "the icon is not in the tray";
        return placed ? place : QRect();
    }

    // A person clicks the icon where the tray shows it.
    void clickTrayIcon()
    {
        const QRect place = trayIconPlace();
        ASSERT_TRUE(place.isValid());
        testsupport::clickAt(place.center().x(), place.center().y());
        ASSERT_TRUE(QTest::qWaitFor([this] { return w->isVisible(); }, patience)) << "a click on the icon did nothing";
    }

    // Minimised into the tray: hidden by the console, then let go of by the window
    // manager, so that no icon of the window stays in a task bar.
    void minimiseToTheTray()
    {
        w->showMinimized();
        QString state;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                state = testsupport::wmState(w->winId());
                return !w->isVisible() && state == QLatin1String("Withdrawn");
            },
            patience))
            << "visible " << w->isVisible() << ", the window manager has it " << state.toStdString();
    }
};

} // namespace

TEST_F(ConsoleOnDesktop, StartsMaximisedAndKeepsItsSize)
{
    start();
    EXPECT_TRUE(wmStates().contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")));
    EXPECT_TRUE(wmStates().contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ")));
    // Title, panels and all on the screen.
    EXPECT_TRUE(w->screen()->availableGeometry().contains(w->frameGeometry()));

    const QRect first = w->frameGeometry();
    int resizes = 0;
    struct Counter : QObject {
        int* n;
        explicit Counter(int* count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            *n += e->type() == QEvent::Resize;
            return false;
        }
    } counter(&resizes);
    w->installEventFilter(&counter);
    QTest::qWait(2000);
    w->removeEventFilter(&counter);
    EXPECT_EQ(w->frameGeometry(), first);
    EXPECT_EQ(resizes, 0);
    expectMaximisedLayout();
    expectPanelsFit();
}

TEST_F(ConsoleOnDesktop, EveryStateGivesItsLayoutAndTheTrayLeadsBackToNormal)
{
    testsupport::desktop().startTray();
    start();
    expectMaximisedLayout();

    w->showNormal();
    waitUntilShown(Shown::Normal);
    expectNormalLayout();
    expectPanelsFit();

    w->showMaximized();
    waitUntilShown(Shown::Maximised);
    expectMaximisedLayout();

    const int interval = w->Timer1->Interval();
    minimiseToTheTray();
    EXPECT_TRUE(w->cstray1->intray());
    ASSERT_NE(trayIcon(), nullptr);

    clickTrayIcon();
    waitUntilShown(Shown::Normal);
    EXPECT_EQ(w->windowState(), Qt::WindowNoState);
    EXPECT_FALSE(w->cstray1->intray());
    EXPECT_FALSE(trayIcon()->isVisible());
    expectNormalLayout();
    EXPECT_EQ(w->Timer1->Interval(), interval);
}

TEST_F(ConsoleOnDesktop, WithoutATrayMinimisingLeavesTheWindowInTheTaskBar)
{
    start();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    w->showMinimized();
    QString seen;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList atoms = wmStates();
            const QString state = testsupport::wmState(w->winId());
            seen = state + QLatin1Char(' ') + atoms.join(QLatin1Char(' '));
            return state == QLatin1String("Iconic") && atoms.contains(QStringLiteral("_NET_WM_STATE_HIDDEN")) &&
                   w->isMinimized();
        },
        patience))
        << "the window manager has " << seen.toStdString();
    // Nothing hides it a moment later either.
    QTest::qWait(300);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isMinimized());
    EXPECT_FALSE(w->cstray1->iconShown());

    // Back from the task bar as the window manager brings it.
    testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                                     QString::number(w->winId())});
    waitUntilShown(Shown::Restored);
    EXPECT_FALSE(w->cstray1->intray());
}

// Un-minimising a withdrawn window maps it while its start state still says iconic, and
// a window manager that reads the state then takes the window minimised for a moment
// before it shows it. Here the window manager is held still over the icon's action (a
// real click would wait for it too: it holds a grab on the tray's frame) and the
// console is given that state meanwhile, as such a window manager gives it.
TEST_F(ConsoleOnDesktop, BackFromTheTrayTheConsoleStaysWhereTheWindowManagerFirstTakesItMinimised)
{
    testsupport::desktop().startTray();
    start();
    minimiseToTheTray();
    ASSERT_TRUE(trayIconPlace().isValid());

    testsupport::desktop().pauseWindowManager();
    w->cstray1->activate();
    ASSERT_TRUE(w->isVisible() && !w->cstray1->intray());
    testsupport::setWmState(w->winId(), QStringLiteral("Iconic"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->isMinimized(); }, patience));
    QTest::qWait(200); // what the console does on it, it does now
    testsupport::desktop().resumeWindowManager();

    waitUntilShown(Shown::Normal);
    EXPECT_FALSE(w->cstray1->intray());
    expectNormalLayout();
}

// The program's lifetime is Qt's own event loop: it ends when its last window closes.
TEST_F(ConsoleOnDesktop, AConsoleInTheTrayKeepsTheProgramAliveUntilTheConsoleCloses)
{
    testsupport::desktop().startTray();
    start();
    w->cansuo->trigger();
    auto* cansu = platform::windowInstance<config::form_cansu>().data();
    ASSERT_NE(cansu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(cansu, patience));
    w->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->isVisible(); }, patience));

    // The parameter window closes while the console waits in the tray.
    bool closed = false;
    QTimer::singleShot(100, cansu, [cansu, &closed] { closed = cansu->close(); });
    QTimer::singleShot(1500, qApp, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 7) << "the program ended with the console in the tray";
    EXPECT_TRUE(closed);

    // Back from the tray, then the console's own close box.
    clickTrayIcon();
    waitUntilShown(Shown::Normal);
    QTimer::singleShot(100, w.get(), [this] { w->close(); });
    std::string left;
    QTimer::singleShot(patience, qApp, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                left += " " + top->objectName().toStdString() + "(" + top->metaObject()->className() + ")";
        left += w->isVisible() ? " console visible" : " console hidden";
        left += w->cstray1->intray() ? ", in the tray" : "";
        QCoreApplication::exit(9);
    });
    EXPECT_EQ(QApplication::exec(), 0) << "the program outlived its last window; visible:" << left;
}

TEST_F(ConsoleOnDesktop, DatesAndTimesOfTheLogShowWholeInTheSongFace)
{
    // Wide and narrow digits, every month.
    std::string log;
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        log += std::string("Sat ") + months[i] + " " + std::to_string(10 + i * 2) + " " + std::to_string(8 + i) +
               ":4" + std::to_string(i % 10) + ":58 2028 line " + std::to_string(i) + "\r\n";
    log += "Wed Dec  9 08:09:11 2026 Initialization Sequence Completed\r\n";
    app.write("log/config.log", log);
    start();
    w->Timer1_Timer();

    const QFont font = w->loggrid->font();
    EXPECT_EQ(font.family(), QStringLiteral("宋体"));
    EXPECT_EQ(font.pointSizeF(), 9.0);
    EXPECT_TRUE(QFontInfo(font).family().startsWith(QStringLiteral("AR PL UMing"))) << QFontInfo(font).family().toStdString();
    const QFontMetrics metrics(font);
    const int margin = w->loggrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w->loggrid) + 1;

    ASSERT_EQ(w->loggrid->TextMatrix(13, 1), QStringLiteral("2026年12月09日"));
    ASSERT_EQ(w->loggrid->TextMatrix(13, 2), QStringLiteral(" 08:09:11"));
    for (int row = 1; row <= 13; ++row)
        for (int col : {1, 2}) {
            const QString text = w->loggrid->TextMatrix(row, col);
            SCOPED_TRACE(text.toStdString());
            ASSERT_FALSE(text.isEmpty());
            // The grid line takes the section's last pixel.
            EXPECT_LE(metrics.horizontalAdvance(text) + 2 * margin, w->loggrid->columnWidth(col) - 1);
            for (QChar c : text)
                EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
        }
    for (int col = 0; col < 4; ++col) {
        const QString header = w->loggrid->TextMatrix(0, col);
        EXPECT_LE(w->loggrid->horizontalHeader()->fontMetrics().horizontalAdvance(header),
                  w->loggrid->columnWidth(col) - 2)
            << header.toStdString();
    }
    // One line of the grid's font and a little air.
    const int rowHeight = w->loggrid->rowHeight(0);
    EXPECT_GE(rowHeight, metrics.height());
    EXPECT_LE(rowHeight, metrics.height() + 6);
    EXPECT_EQ(w->loggrid->rowHeight(5000), rowHeight);

    // And the same walk as every other window: tree, toolbar text, panels, cells in view.
    const auto faults = testsupport::textFaults(w.get());
    EXPECT_TRUE(faults.empty()) << testsupport::describe(faults);
}

TEST_F(ConsoleOnDesktop, MessageBoxesCarryChineseStandardButtons)
{
    platform::installGuiServices();
    start();
    QString title, text;
    QStringList buttons;
    bool onScreen = false;
    QTimer poll;
    poll.setInterval(50);
    QDeadlineTimer deadline(patience);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box != nullptr && box->isVisible()) {
                // Where the box is shown is the window manager's doing: read it once
                // the box is managed and Qt has its place.
                const bool placed = testsupport::wmState(box->winId()) == QLatin1String("Normal") &&
                                    testsupport::screenGeometry(box->winId()) == box->geometry();
                if (!placed && !deadline.hasExpired())
                    return;
                title = box->windowTitle();
                text = box->text();
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text().remove(QLatin1Char('&'));
                onScreen = placed && box->screen()->availableGeometry().contains(box->frameGeometry());
                box->accept();
                poll.stop();
            }
    });
    poll.start();
    w->chaxun->trigger();
    EXPECT_EQ(buttons, QStringList{QStringLiteral("确定")});
    EXPECT_EQ(text, QStringLiteral("VPN服务处于停止状态！"));
    EXPECT_TRUE(onScreen);
}

TEST_F(ConsoleOnDesktop, TheTreeDrawsLinesAndBoxes)
{
    start();
    auto* tree = w->TreeView1;
    const QImage image = tree->viewport()->grab().toImage();
    const QColor base = tree->palette().color(QPalette::Base);
    // The leaf 参数设置 sits two levels down: its branch column holds the line that
    // joins it to its parent, where a style without lines draws nothing.
    QTreeWidgetItem* leaf = tree->findItems(QStringLiteral("参数设置"), Qt::MatchExactly | Qt::MatchRecursive).front();
    const QRect row = tree->visualItemRect(leaf);
    const int indent = tree->indentation();
    int marks = 0;
    for (int x = indent; x < 2 * indent; ++x)
        for (int y = row.top(); y <= row.bottom(); ++y)
            marks += image.pixelColor(x * image.devicePixelRatio(), y * image.devicePixelRatio()) != base;
    EXPECT_GT(marks, 6);
    // The root's box: its branch column shows a minus sign for the open node.
    const QRect root = tree->visualItemRect(tree->topLevelItem(0));
    int box = 0;
    for (int x = 0; x < indent; ++x)
        for (int y = root.top(); y <= root.bottom(); ++y)
            box += image.pixelColor(x, y) != base;
    EXPECT_GT(box, 12);
}
