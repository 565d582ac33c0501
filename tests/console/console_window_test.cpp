// The console window offscreen: its start by the service state, and its tree, menus and toolbar.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <memory>

#include "console/form_zuye.h"
#include "platform/fakes/fakes.h"
#include "platform/gui/cstray.h"
#include "platform/gui/qt_text.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/temp_folder.h"

using console::form_zuye;
using ImageListLike = console::ImageList;
using platform::text::toUtf8;

namespace {

constexpr const char* Running = "VPN服务：正在运行中...";
constexpr const char* Stopped = "VPN服务：处于停止状态...";

std::string s(const QString& q)
{
    return q.toStdString();
}

std::vector<std::string> row(const form_zuye& w, int r)
{
    std::vector<std::string> cells;
    for (int c = 0; c < 5; ++c)
        cells.push_back(s(w.loggrid->TextMatrix(r, c)));
    return cells;
}

using Row = std::vector<std::string>;
const Row Header = {"类别", "日期", "时间", "日志内容", ""};
const Row Empty = {"", "", "", "", ""};

QTreeWidgetItem* nodeWithText(const form_zuye& w, const char* text)
{
    auto found = w.TreeView1->findItems(QString::fromUtf8(text), Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

QAction* buttonWithKey(const form_zuye& w, const char* key)
{
    for (int i = 1; i <= 6; ++i)
        if (form_zuye::buttonKey(w.toolbarButton(i)) == QString::fromUtf8(key))
            return w.toolbarButton(i);
    return nullptr;
}

struct Console : ::testing::Test {
    platform::fakes::FakeServices fakes;
    testsupport::TempFolder app;
    std::unique_ptr<form_zuye> w;

    void SetUp() override { platform::setAppFolder(app.path()); }
    void load(std::optional<int> running)
    {
        fakes.wmi.setServiceRunning(running);
        w = std::make_unique<form_zuye>();
    }
};

} // namespace

TEST_F(Console, StartUpFollowsTheServiceState)
{
    struct Case {
        std::optional<int> running;
        int interval;
        const char* panel;
    };
    const Case cases[] = {{1, 5000, Running}, {0, 0, Stopped}, {std::nullopt, 5000, Running}};
    for (const auto& c : cases) {
        load(c.running);
        SCOPED_TRACE(c.running.value_or(-1));
        EXPECT_EQ(w->Timer1->Interval(), c.interval);
        EXPECT_EQ(w->Timer1->isTicking(), c.interval != 0);
        EXPECT_EQ(s(w->StatusBar1->panelText(2)), c.panel);
        EXPECT_EQ(row(*w, 0), Header);
        EXPECT_EQ(row(*w, 1), (Row{"提示", "2026年12月09日", "8:09:11", " 成功加载VPN配置信息", ""}));
        EXPECT_EQ(row(*w, 2), (Row{"提示", "2026年12月09日", "8:09:11", " 等候VPN运行信息", ""}));
        EXPECT_EQ(row(*w, 3), Empty);
        EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(fakes.wmi.calls.size(), 1u);
        fakes.wmi.calls.clear();
    }
    EXPECT_EQ(toUtf8(platform::helpFile()), platform::text::toUtf8(platform::appPath()) + "\\help.chm");
    EXPECT_TRUE(fakes.boxes.boxes.empty());
    EXPECT_TRUE(fakes.launcher.launches.empty());
}

TEST_F(Console, ASecondCopyEndsBeforeAnythingElse)
{
    fakes.instances.another = true;
    load(1);
    EXPECT_EQ(fakes.program.ends, std::vector<int>{0});
    EXPECT_TRUE(fakes.wmi.calls.empty());
    EXPECT_EQ(w->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(row(*w, 0), Empty);
    EXPECT_EQ(w->Timer1->Interval(), 0);
    EXPECT_EQ(s(w->StatusBar1->panelText(2)), "版本号：V9.02");
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Console, TreeOfTwelveNodesAllOpen)
{
    load(0);
    struct Node {
        const char* text;
        const char* parent;
        const char* key;
    };
    const Node nodes[] = {
        {"VPN设置中心", nullptr, ""},   {"VPN配置", "VPN设置中心", "VPN配置"}, {"参数设置", "VPN配置", "参数设置"},
        {"帐号设置", "VPN配置", "帐号设置"}, {"VPN操作", "VPN设置中心", ""},    {"启动VPN", "VPN操作", "启动VPN"},
        {"停止VPN", "VPN操作", "停止VPN"}, {"查询状态", "VPN操作", "查询状态"}, {"查看日志", "VPN设置中心", "查看日志"},
        {"最新日志", "查看日志", "最新日志"}, {"测试工具", "VPN设置中心", ""},   {"PING测试", "测试工具", "PING测试"},
    };
    // Walk the tree in order: the nodes must come in the order of the table.
    std::vector<QTreeWidgetItem*> walk;
    for (QTreeWidgetItemIterator it(w->TreeView1); *it; ++it)
        walk.push_back(*it);
    ASSERT_EQ(walk.size(), 12u);
    EXPECT_EQ(w->TreeView1->topLevelItemCount(), 1);
    for (std::size_t i = 0; i < walk.size(); ++i) {
        SCOPED_TRACE(nodes[i].text);
        EXPECT_EQ(s(walk[i]->text(0)), nodes[i].text);
        EXPECT_EQ(s(form_zuye::nodeKey(walk[i])), nodes[i].key);
        EXPECT_EQ(walk[i]->parent() ? s(walk[i]->parent()->text(0)) : std::string("-"),
                  nodes[i].parent ? nodes[i].parent : "-");
        EXPECT_FALSE(walk[i]->icon(0).isNull());
        EXPECT_EQ(walk[i]->isExpanded(), walk[i]->childCount() > 0);
    }
}

// Every design value of the window in one table: a changed caption, text, font, size,
// picture or order shows here as one differing row.
TEST_F(Console, DesignValues)
{
    load(0);
    auto font = [](const QWidget* w) {
        return s(w->font().family()) + " " + s(QString::number(w->font().pointSizeF()));
    };
    auto picture = [](const ImageListLike& list, const QIcon& icon) {
        for (int i = 1; i <= list.count(); ++i)
            if (list.ListImage(i).cacheKey() == icon.cacheKey())
                return std::to_string(i);
        return std::string("?");
    };
    auto join = [](const std::vector<std::string>& parts) {
        std::string out;
        for (const auto& p : parts)
            out += (out.empty() ? "" : "|") + p;
        return out;
    };
    std::vector<std::string> menu;
    for (QAction* top : w->menuBar()->actions()) {
        std::string entry = s(top->objectName()) + " " + s(top->text());
        if (top->menu() != nullptr)
            for (QAction* item : top->menu()->actions())
                entry += " / " + s(item->objectName()) + " " + s(item->text());
        menu.push_back(entry);
    }
    std::vector<std::string> keys, pictures, tips, buttonSizes, treePictures, header, normalWidths;
    for (int i = 1; i <= 6; ++i) {
        QAction* b = w->toolbarButton(i);
        keys.push_back(s(form_zuye::buttonKey(b)) + (b->text().isEmpty() ? "" : " shows " + s(b->text())));
        pictures.push_back(picture(*w->toolbarimage, b->icon()));
        tips.push_back(s(b->toolTip()));
        const QSize size = w->Toolbar1->widgetForAction(b)->size();
        buttonSizes.push_back(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    }
    for (QTreeWidgetItemIterator it(w->TreeView1); *it; ++it)
        treePictures.push_back(picture(*w->ImageList1, (*it)->icon(0)));
    for (int c = 0; c < 5; ++c) {
        header.push_back(s(w->loggrid->TextMatrix(0, c)));
        normalWidths.push_back(std::to_string(w->loggrid->ColWidth(c)));
    }
    w->setWindowState(Qt::WindowNoState);
    w->Form_Resize();
    normalWidths.clear();
    for (int c = 0; c < 4; ++c)
        normalWidths.push_back(std::to_string(w->loggrid->ColWidth(c)));
    auto rect = [](const QRect& r) {
        return std::to_string(r.x() * 15) + "," + std::to_string(r.y() * 15) + "," + std::to_string(r.width() * 15) +
               "," + std::to_string(r.height() * 15);
    };

    using Row = std::pair<std::string, std::string>;
    const std::vector<Row> actual = {
        {"caption", s(w->windowTitle())},
        {"window icon", w->windowIcon().isNull() ? "none" : "own"},
        {"menu 1", menu.at(0)},
        {"menu 2", menu.at(1)},
        {"menu 3", menu.at(2)},
        {"menu 4", menu.at(3) + (w->gywm->menu() == nullptr ? " (a command)" : " (a list)")},
        {"toolbar keys", join(keys)},
        {"toolbar pictures", join(pictures)},
        {"toolbar tips", join(tips)},
        {"toolbar button sizes", join(buttonSizes)},
        {"toolbar icon size", std::to_string(w->Toolbar1->iconSize().width())},
        {"Text1", rect(w->Text1->geometry()) + " '" + s(w->Text1->text()) + "'"},
        {"TreeView1 font", font(w->TreeView1)},
        {"TreeView1 normal place", rect(w->TreeView1->geometry())},
        {"tree pictures", join(treePictures)},
        {"ImageList1 pictures", std::to_string(w->ImageList1->count())},
        {"toolbarimage pictures", std::to_string(w->toolbarimage->count())},
        {"loggrid font", font(w->loggrid)},
        {"loggrid rows, columns", std::to_string(w->loggrid->Rows()) + "," + std::to_string(w->loggrid->Cols())},
        {"loggrid header", join(header)},
        {"loggrid normal widths", join(normalWidths)},
        {"loggrid normal place", rect(w->loggrid->geometry())},
        {"Picture1 top", std::to_string(w->Picture1->y() * 15)},
        {"StatusBar1 panels", std::to_string(w->StatusBar1->panelCount())},
        {"panel 1", s(w->StatusBar1->panelText(1))},
        {"panel 2 after start-up", s(w->StatusBar1->panelText(2))},
        {"panel fonts", w->StatusBar1->panel(1)->font() == QFont() ? "desktop's" : "own"},
        {"traytip", s(w->cstray1->traytip())},
        {"trayicon", w->cstray1->trayicon().cacheKey() == w->windowIcon().cacheKey() ? "the program's" : "own"},
        {"intray", w->cstray1->intray() ? "True" : "False"},
    };
    const std::vector<Row> design = {
        {"caption", "CorvaneVPN控制台"},
        {"window icon", "own"},
        {"menu 1", "xitong 系统设置 / gaimima 修改控制台密码 / tuicu 退出"},
        {"menu 2", "vpncz VPN操作 / cansuo 参数设置 / zhanghao 帐号设置 / kong ----------- / start 启动VPN / "
                   "tingzi 停止VPN / chaxun 查询状态"},
        {"menu 3", "gaoji 高级设置 / gjwh 高级维护 / hardbind 硬件绑定 / kaiji 开机运行"},
        {"menu 4", "gywm 关于我们 (a command)"},
        {"toolbar keys", "启动|停止|配置|关于|帮助|退出"},
        {"toolbar pictures", "1|2|4|3|6|5"},
        {"toolbar tips", "启动VPN|||||"},
        {"toolbar button sizes", "22x23|22x23|22x23|22x23|22x23|22x23"},
        {"toolbar icon size", "16"},
        {"Text1", "2160,0,2295,315 ''"},
        {"TreeView1 font", "宋体 10.5"},
        {"TreeView1 normal place", "0,480,3495,8295"},
        {"tree pictures", "6|5|2|3|7|11|12|13|1|4|13|13"},
        {"ImageList1 pictures", "13"},
        {"toolbarimage pictures", "6"},
        {"loggrid font", "宋体 9"},
        {"loggrid rows, columns", "10000,5"},
        {"loggrid header", "类别|日期|时间|日志内容|"},
        {"loggrid normal widths", "600|1500|900|8000"},
        {"loggrid normal place", "3600,480,10935,8295"},
        {"Picture1 top", "8880"},
        {"StatusBar1 panels", "4"},
        {"panel 1", "CorvaneVPN客户端"},
        {"panel 2 after start-up", "VPN服务：处于停止状态..."},
        {"panel fonts", "desktop's"},
        {"traytip", "CorvaneVPN控制台"},
        {"trayicon", "own"},
        {"intray", "False"},
    };
    EXPECT_EQ(actual, design);
}

// The start and stop of each entry point reach the window's grid, timer and panel as
// the actions say; the order of the steps is the actions' own test.
TEST_F(Console, EntryPointsDriveTheWindow)
{
    struct Case {
        const char* name;
        std::function<void(form_zuye&)> click;
        std::optional<int> running;
        bool cleared, laidOut;
        int interval;
        const char* panel;
        std::vector<int> sleeps;
        const char* box;
    };
    auto menu = [](QAction* form_zuye::*item) { return [item](form_zuye& f) { (f.*item)->trigger(); }; };
    auto node = [](const char* text) {
        return [text](form_zuye& f) { emit f.TreeView1->itemClicked(nodeWithText(f, text), 0); };
    };
    auto button = [](const char* key) { return [key](form_zuye& f) { buttonWithKey(f, key)->trigger(); }; };
    const Case cases[] = {
        {"menu start", menu(&form_zuye::start), 0, true, true, 5000, Running, {}, "VPN服务启动成功！"},
        {"tree start", node("启动VPN"), 0, true, true, 5000, Running, {3000}, "VPN服务启动成功！"},
        {"toolbar start", button("启动"), 0, true, false, 5000, Running, {}, "VPN服务启动成功！"},
        {"menu stop", menu(&form_zuye::tingzi), 1, false, false, 5000, Stopped, {}, "VPN服务停止成功！！！"},
        {"tree stop", node("停止VPN"), 1, false, false, 3000, Stopped, {}, "VPN服务停止成功！！！"},
        {"toolbar stop", button("停止"), 1, false, false, 5000, Stopped, {}, "VPN服务停止成功！！！"},
        {"menu query", menu(&form_zuye::chaxun), 0, false, false, 0, Stopped, {}, "VPN服务处于停止状态！"},
        {"tree query", node("查询状态"), 1, false, false, 0, Stopped, {}, "VPN服务处于启动状态！"},
        {"latest log", node("最新日志"), 0, true, true, 0, Stopped, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Loaded with the service stopped (timer idle, stopped text), then the service
        // state the action sees.
        load(0);
        fakes.wmi.setServiceRunning(c.running);
        fakes.boxes.boxes.clear();
        fakes.sleeper.sleeps.clear();
        w->loggrid->setTextMatrix(5, 3, u"an older line");
        w->TreeView1->resize(10, 10);

        c.click(*w);

        EXPECT_EQ(row(*w, 0), Header);
        EXPECT_EQ(s(w->loggrid->TextMatrix(5, 3)), c.cleared ? "" : "an older line");
        EXPECT_EQ(s(w->loggrid->TextMatrix(1, 0)), c.cleared ? "" : "提示");
        EXPECT_EQ(w->TreeView1->width() != 10, c.laidOut);
        EXPECT_EQ(w->Timer1->Interval(), c.interval);
        // The menu's stop leaves panel 2 as it was: here the stopped text of the start-up.
        EXPECT_EQ(s(w->StatusBar1->panelText(2)), c.panel);
        EXPECT_EQ(fakes.sleeper.sleeps, c.sleeps);
        if (c.box == nullptr) {
            EXPECT_TRUE(fakes.boxes.boxes.empty());
        } else {
            ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
            EXPECT_EQ(toUtf8(fakes.boxes.boxes[0].text), c.box);
        }
    }
}

TEST_F(Console, StartWarningFromEveryStartEntryPoint)
{
    for (int from = 0; from < 3; ++from) {
        load(0);
        fakes.wmi.setServiceRunning(std::nullopt);
        fakes.boxes.boxes.clear();
        if (from == 0)
            w->start->trigger();
        else if (from == 1)
            w->TreeView1_NodeClick(QStringLiteral("启动VPN"));
        else
            w->Toolbar1_ButtonClick(QStringLiteral("启动"));
        ASSERT_EQ(fakes.boxes.boxes.size(), 1u);
        EXPECT_EQ(toUtf8(fakes.boxes.boxes[0].title), "警告");
        EXPECT_TRUE(fakes.launcher.launches.empty());
        EXPECT_EQ(s(w->loggrid->TextMatrix(1, 3)), " 成功加载VPN配置信息");
        EXPECT_EQ(w->Timer1->Interval(), 0);
    }
}

TEST_F(Console, ClicksThatSelectNothing)
{
    load(0);
    fakes.wmi.calls.clear();
    for (const char* text : {"VPN设置中心", "VPN配置", "VPN操作", "查看日志", "测试工具", "PING测试"})
        emit w->TreeView1->itemClicked(nodeWithText(*w, text), 0);
    for (const char* key : {"启动vpn", "启动VPN ", "停止 ", "退出 ", ""}) {
        w->TreeView1_NodeClick(QString::fromUtf8(key));
        w->Toolbar1_ButtonClick(QString::fromUtf8(key));
    }
    w->kong->trigger();
    EXPECT_TRUE(fakes.wmi.calls.empty());
    EXPECT_TRUE(fakes.launcher.launches.empty());
    EXPECT_TRUE(fakes.boxes.boxes.empty());
    EXPECT_TRUE(fakes.desktop.keys.empty());
    EXPECT_FALSE(fakes.program.ended());
    EXPECT_EQ(s(w->loggrid->TextMatrix(2, 3)), " 等候VPN运行信息");
}

TEST_F(Console, ExitAndHelp)
{
    load(1);
    buttonWithKey(*w, "帮助")->trigger();
    EXPECT_EQ(fakes.desktop.keys, std::vector<std::u16string>{u"{F1}"});
    EXPECT_FALSE(fakes.program.ended());

    buttonWithKey(*w, "退出")->trigger();
    EXPECT_EQ(fakes.program.ends.size(), 1u);
    w->tuicu->trigger();
    EXPECT_EQ(fakes.program.ends.size(), 2u);
    // Nothing is stopped on the way out.
    EXPECT_TRUE(fakes.launcher.launches.empty());
    EXPECT_TRUE(fakes.boxes.boxes.empty());
}

TEST_F(Console, TheGlobalWindowIsLoadedOnFirstUse)
{
    fakes.wmi.setServiceRunning(0);
    form_zuye& a = console::zuye();
    EXPECT_EQ(&a, &console::zuye());
    EXPECT_FALSE(a.isVisible());
    EXPECT_EQ(fakes.wmi.calls.size(), 1u);
    delete &a;
}
