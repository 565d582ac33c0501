// The console window on a desktop with a window manager, driven through the event loop
// as a person drives it: its states and their layout, the tray and the way back, the
// program's lifetime, and texts that show whole.
#include <gtest/gtest.h>

#include <QApplication>
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
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return maximised(*w) && settled(); }, 10000));
    }

    // The window manager has placed the frame where it stays.
    bool settled()
    {
        const QRect before = w->frameGeometry();
        QTest::qWait(200);
        return w->frameGeometry() == before;
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

    // A person clicks the icon once the tray has given it its place and the window
    // manager has done with the minimising.
    // Clicks the tray icon until the console is back: on a busy machine a click
    // can reach the tray before it has finished placing the icon.
    void clickTrayIcon()
    {
        for (int attempt = 0; attempt < 3 && !w->isVisible(); ++attempt) {
            QRect place;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    if (trayIcon() == nullptr || !trayIcon()->isVisible())
                        return false;
                    const QRect before = trayIcon()->geometry();
                    QTest::qWait(1000);
                    place = trayIcon()->geometry();
                    return place.isValid() && place == before;
                },
                10000));
            testsupport::clickAt(place.center().x(), place.center().y());
            (void)QTest::qWaitFor([this] { return w->isVisible(); }, 3000);
        }
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
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->windowState() == Qt::WindowNoState && settled(); }, 10000));
    EXPECT_FALSE(wmStates().contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ")));
    expectNormalLayout();
    expectPanelsFit();

    w->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return maximised(*w) && settled(); }, 10000));
    expectMaximisedLayout();

    const int interval = w->Timer1->Interval();
    w->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->isVisible(); }, 10000));
    EXPECT_TRUE(w->cstray1->intray());
    ASSERT_NE(trayIcon(), nullptr);
    EXPECT_EQ(testsupport::wmState(w->winId()), QStringLiteral("Withdrawn"));

    clickTrayIcon();
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->isVisible() && settled(); }, 10000));
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
    ASSERT_TRUE(QTest::qWaitFor([this] { return testsupport::wmState(w->winId()) == QLatin1String("Iconic"); }, 10000));
    QTest::qWait(300);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isMinimized());
    EXPECT_TRUE(wmStates().contains(QStringLiteral("_NET_WM_STATE_HIDDEN")));

    // Back from the task bar as the window manager brings it.
    testsupport::runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                                     QString::number(w->winId())});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->isMinimized() && settled(); }, 10000));
    EXPECT_EQ(testsupport::wmState(w->winId()), QStringLiteral("Normal"));
    EXPECT_FALSE(w->cstray1->intray());
}

// The program's lifetime is Qt's own event loop: it ends when its last window closes.
TEST_F(ConsoleOnDesktop, AConsoleInTheTrayKeepsTheProgramAliveUntilTheConsoleCloses)
{
    testsupport::desktop().startTray();
    start();
    w->cansuo->trigger();
    auto* cansu = platform::windowInstance<config::form_cansu>().data();
    ASSERT_NE(cansu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(cansu));
    w->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !w->isVisible(); }, 10000));

    // The parameter window closes while the console waits in the tray.
    bool closed = false;
    QTimer::singleShot(100, cansu, [cansu, &closed] { closed = cansu->close(); });
    QTimer::singleShot(1500, qApp, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 7) << "the program ended with the console in the tray";
    EXPECT_TRUE(closed);

    // Back from the tray, then the console's own close box.
    clickTrayIcon();
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->isVisible() && settled(); }, 10000));
    QTimer::singleShot(100, w.get(), [this] { w->close(); });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(9); });
    EXPECT_EQ(QApplication::exec(), 0) << "the program outlived its last window";
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
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box != nullptr && box->isVisible()) {
                title = box->windowTitle();
                text = box->text();
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text().remove(QLatin1Char('&'));
                onScreen = box->screen()->availableGeometry().contains(box->frameGeometry());
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
