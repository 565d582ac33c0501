#include "console/form_zuye.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleFactory>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <cmath>

#include "config/form_cansu.h"
#include "config/form_hard.h"
#include "config/form_zhanghao.h"
#include "console/form_about.h"
#include "console/form_gaimima.h"
#include "console/form_kaiji.h"
#include "console/form_weihu.h"
#include "console/form_zuye_images.h"
#include "console/log_view.h"
#include "console/logchange.h"
#include "platform/gui/cstray.h"
#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"
#include "platform/gui/small_window.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace console {

using platform::inTwips;
using platform::qs;
using platform::twips;
using platform::u16;

namespace {

// The style of the tree's lines and plus and minus boxes; the rest of the window keeps
// the desktop's style.
QStyle* treeLineStyle()
{
    static QStyle* style = [] {
        QStyle* s = QStyleFactory::create(QStringLiteral("Windows"));
        // Lives as long as the application, after every window.
        if (s != nullptr)
            s->setParent(qApp);
        return s;
    }();
    return style;
}

// A text as wide as any date or time of its pattern can be in the font: every 0 stands
// for the font's widest digit.
QString widestOf(QString pattern, const QFont& font)
{
    const QFontMetrics metrics(font);
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(d);
    return pattern.replace(QLatin1Char('0'), widest);
}

constexpr int KeyRole = Qt::UserRole;

} // namespace

// ---------------------------------------------------------------- the window

namespace {

class GridRows final : public LogGrid {
public:
    GridRows(FlexGrid& grid, TimerControl& timer) : grid_(grid), timer_(timer) {}
    void setRow(int row, const LogRow& cells) override
    {
        grid_.setTextMatrix(row, 0, cells.category);
        grid_.setTextMatrix(row, 1, cells.date);
        grid_.setTextMatrix(row, 2, cells.time);
        grid_.setTextMatrix(row, 3, cells.message);
    }
    void clearRowsFrom(int row) override
    {
        const QString empty;
        for (int r = row; r < FlexGrid::RowCount; ++r)
            for (int c = 0; c < 4; ++c)
                grid_.setTextMatrix(r, c, empty);
    }
    void moveRowsUp(int count) override { grid_.moveRowsUp(1, count); }
    std::uint64_t revision() const override { return grid_.revision(); }
    void setLogInterval(int milliseconds) override { timer_.setInterval(milliseconds); }

private:
    FlexGrid& grid_;
    TimerControl& timer_;
};

} // namespace

form_zuye::form_zuye()
{
    setObjectName(QStringLiteral("form_zuye"));
    setWindowTitle(QStringLiteral("CorvaneVPN控制台"));
    setWindowIcon(images::programIcon());
    buildControls();
    buildToolbar();
    buildMenus();
    resize(twips(14715), twips(9735) + menuBar()->sizeHint().height());
    Form_Load();
}

form_zuye::~form_zuye() = default;

void form_zuye::buildControls()
{
    // The client area keeps the design's coordinates: the toolbar docks into it at the
    // top, as the tree and grid positions below expect.
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->installEventFilter(this);
    setCentralWidget(client_);

    ImageList1 = new ImageList(images::treePictures(), this);
    ImageList1->setObjectName(QStringLiteral("ImageList1"));
    toolbarimage = new ImageList(images::toolbarPictures(), this);
    toolbarimage->setObjectName(QStringLiteral("toolbarimage"));

    TreeView1 = new QTreeWidget(client_);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setFont(platform::songFont(10.5));
    if (QStyle* lines = treeLineStyle())
        TreeView1->setStyle(lines);
    TreeView1->setHeaderHidden(true);
    TreeView1->setGeometry(twips(0), twips(480), twips(3495), twips(8295));
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node, int) { TreeView1_NodeClick(nodeKey(node)); });

    loggrid = new FlexGrid(client_);
    loggrid->setObjectName(QStringLiteral("loggrid"));
    loggrid->setFont(platform::songFont(9));
    // Dates and times show whole even where the face's digits are wider than the design's.
    loggrid->setColWidestText(1, widestOf(QStringLiteral("0000年00月00日"), loggrid->font()));
    loggrid->setColWidestText(2, widestOf(QStringLiteral(" 00:00:00"), loggrid->font()));
    loggrid->setGeometry(twips(3600), twips(480), twips(11175), twips(8295));

    Picture1 = new QFrame(client_);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twips(0), twips(8880), twips(14535), twips(495));

    StatusBar1 = new StatusBarControl(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(twips(375));
    StatusBar1->setPanelText(1, QStringLiteral("CorvaneVPN客户端"));
    StatusBar1->setPanelText(2, QStringLiteral("版本号：V9.02"));
    StatusBar1->setPanelText(3, QStringLiteral("版权所有，侵权必究"));
    StatusBar1->setPanelText(4, QStringLiteral("技术支持热线：请联系您的VPN服务商"));
    setStatusBar(StatusBar1);

    Timer1 = new TimerControl(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &TimerControl::Timer, this, &form_zuye::Timer1_Timer);

    cstray1 = new platform::cstray(this);
    cstray1->setObjectName(QStringLiteral("cstray1"));
    cstray1->setTrayicon(images::trayIcon());
    cstray1->setTraytip(QStringLiteral("CorvaneVPN控制台"));
    connect(cstray1, &platform::cstray::TrayActivate, this, [this](int, int) { cstray1_TrayActivate(); });
}

void form_zuye::buildToolbar()
{
    Toolbar1 = new QToolBar(client_);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setGeometry(0, 0, twips(14715), twips(420));

    struct Button {
        const char16_t* key;
        int picture;
        const char16_t* tip;
    };
    static constexpr Button design[] = {
        {u"启动", 1, u"启动VPN"}, {u"停止", 2, nullptr}, {u"配置", 4, nullptr},
        {u"关于", 3, nullptr},   {u"帮助", 6, nullptr}, {u"退出", 5, nullptr},
    };
    for (const auto& b : design) {
        auto* action = Toolbar1->addAction(toolbarimage->ListImage(b.picture), QString());
        action->setData(qs(b.key));
        // The button's second text has no other use than telling what it does.
        action->setToolTip(b.tip != nullptr ? qs(b.tip) : QString());
        if (auto* button = Toolbar1->widgetForAction(action))
            button->setFixedSize(22, 23);
        connect(action, &QAction::triggered, this, [this, action] { Toolbar1_ButtonClick(buttonKey(action)); });
        buttons_.push_back(action);
    }

    Text1 = new QLineEdit(Toolbar1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(2160), twips(0), twips(2295), twips(320));
}

void form_zuye::buildMenus()
{
    auto topLevel = [this](const QString& name, const QString& caption, QAction*& entry) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        entry = menu->menuAction();
        entry->setObjectName(name);
        return menu;
    };
    auto item = [this](QMenu* menu, const QString& name, const QString& caption, QAction*& action,
                       void (form_zuye::*handler)()) {
        action = menu->addAction(caption);
        action->setObjectName(name);
        if (handler != nullptr)
            connect(action, &QAction::triggered, this, handler);
    };

    QMenu* m = topLevel(QStringLiteral("xitong"), QStringLiteral("系统设置"), xitong);
    item(m, QStringLiteral("gaimima"), QStringLiteral("修改控制台密码"), gaimima, &form_zuye::gaimima_Click);
    item(m, QStringLiteral("tuicu"), QStringLiteral("退出"), tuicu, &form_zuye::tuicu_Click);

    m = topLevel(QStringLiteral("vpncz"), QStringLiteral("VPN操作"), vpncz);
    item(m, QStringLiteral("cansuo"), QStringLiteral("参数设置"), cansuo, &form_zuye::cansuo_Click);
    item(m, QStringLiteral("zhanghao"), QStringLiteral("帐号设置"), zhanghao, &form_zuye::zhanghao_Click);
    item(m, QStringLiteral("kong"), QStringLiteral("-----------"), kong, nullptr);
    item(m, QStringLiteral("start"), QStringLiteral("启动VPN"), start, &form_zuye::start_Click);
    item(m, QStringLiteral("tingzi"), QStringLiteral("停止VPN"), tingzi, &form_zuye::tingzi_Click);
    item(m, QStringLiteral("chaxun"), QStringLiteral("查询状态"), chaxun, &form_zuye::chaxun_Click);

    m = topLevel(QStringLiteral("gaoji"), QStringLiteral("高级设置"), gaoji);
    item(m, QStringLiteral("gjwh"), QStringLiteral("高级维护"), gjwh, &form_zuye::gjwh_Click);
    item(m, QStringLiteral("hardbind"), QStringLiteral("硬件绑定"), hardbind, &form_zuye::hardbind_Click);
    item(m, QStringLiteral("kaiji"), QStringLiteral("开机运行"), kaiji, &form_zuye::kaiji_Click);

    // A top-level entry that is itself the command.
    gywm = menuBar()->addAction(QStringLiteral("关于我们"));
    gywm->setObjectName(QStringLiteral("gywm"));
    connect(gywm, &QAction::triggered, this, &form_zuye::gywm_Click);
}

void form_zuye::buildTree()
{
    struct Node {
        int parent;
        const char16_t* key;
        const char16_t* text;
        int picture;
    };
    static constexpr Node design[] = {
        {0, nullptr, u"VPN设置中心", 6}, {1, u"VPN配置", u"VPN配置", 5},   {2, u"参数设置", u"参数设置", 2},
        {2, u"帐号设置", u"帐号设置", 3}, {1, nullptr, u"VPN操作", 7},      {5, u"启动VPN", u"启动VPN", 11},
        {5, u"停止VPN", u"停止VPN", 12},  {5, u"查询状态", u"查询状态", 13}, {1, u"查看日志", u"查看日志", 1},
        {9, u"最新日志", u"最新日志", 4}, {1, nullptr, u"测试工具", 13},     {11, u"PING测试", u"PING测试", 13},
    };
    QList<QTreeWidgetItem*> nodes;
    for (const auto& n : design) {
        QTreeWidgetItem* node = n.parent == 0 ? new QTreeWidgetItem(TreeView1) : new QTreeWidgetItem(nodes[n.parent - 1]);
        node->setText(0, qs(n.text));
        node->setIcon(0, ImageList1->ListImage(n.picture));
        if (n.key != nullptr)
            node->setData(0, KeyRole, qs(n.key));
        nodes.push_back(node);
    }
}

QAction* form_zuye::toolbarButton(int index) const
{
    return index >= 1 && index <= buttons_.size() ? buttons_[index - 1] : nullptr;
}

QString form_zuye::buttonKey(const QAction* button)
{
    return button != nullptr ? button->data().toString() : QString();
}

QString form_zuye::nodeKey(const QTreeWidgetItem* node)
{
    return node != nullptr ? node->data(0, KeyRole).toString() : QString();
}

int form_zuye::widthTwips() const
{
    return inTwips(frameGeometry().width());
}

int form_zuye::heightTwips() const
{
    return inTwips(frameGeometry().height());
}

void form_zuye::writeHeaderRow()
{
    for (int c = 0; c < 4; ++c)
        loggrid->setTextMatrix(0, c, GridHeader[c]);
}

// ---------------------------------------------------------------- start-up and layout

void form_zuye::Form_Load()
{
    if (platform::service<platform::Instances>().prevInstance()) {
        platform::End();
        return;
    }
    loaded_ = true;

    platform::setHelpFile(platform::appPath() + u"\\help.chm");

    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setRootIsDecorated(true);
    TreeView1->setItemsExpandable(true);

    buildTree();

    // A state that cannot be told counts as a running service.
    auto count = ServiceStateQuery();
    if (!count || *count != 0) {
        Timer1->setInterval(5000);
        StatusBar1->setPanelText(2, RunningText);
    } else {
        Timer1->setInterval(0);
        StatusBar1->setPanelText(2, StoppedText);
    }

    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = TreeView1->topLevelItem(i);
        root->setExpanded(true);
        for (int c = 0; c < root->childCount(); ++c)
            if (root->child(c)->childCount() > 0)
                root->child(c)->setExpanded(true);
    }

    writeHeaderRow();
    loggrid->setTextMatrix(1, 0, LogCategory);
    loggrid->setTextMatrix(1, 1, logchange::TodayText());
    loggrid->setTextMatrix(1, 2, logchange::NowTimeText());
    loggrid->setTextMatrix(1, 3, u" 成功加载VPN配置信息");
    loggrid->setTextMatrix(2, 0, LogCategory);
    loggrid->setTextMatrix(2, 1, logchange::TodayText());
    loggrid->setTextMatrix(2, 2, logchange::NowTimeText());
    loggrid->setTextMatrix(2, 3, u" 等候VPN运行信息");

    setWindowState(Qt::WindowMaximized);
    Form_Resize();
}

namespace {

enum { Normal = 0, Minimised = 1, Maximised = 2 };

int stateOf(const QWidget& w)
{
    Qt::WindowStates s = w.windowState();
    if (s & Qt::WindowMinimized)
        return Minimised;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return Maximised;
    return Normal;
}

void setWidthTwips(QWidget* w, double value)
{
    w->resize(twips(value), w->height());
}

void setHeightTwips(QWidget* w, double value)
{
    w->resize(w->width(), twips(value));
}

// The window's design layout when maximised, in twips, from its outer width and height.
constexpr double TreeWidthShare = 0.23; // the tree: this share of the width
constexpr double GridWidthShare = 0.81; // the grid: this share of the width, less GridWidthLess
constexpr int GridWidthLess = 300;
constexpr int TreeAndGridHeightLess = 1200; // both: the height less toolbar, strip and this
constexpr int StripTopLess = 750;           // the strip's top: the height less strip, toolbar and this
constexpr int LastColumnLess = 3500;        // column 3: the grid's width less this

} // namespace

void form_zuye::Form_Resize()
{
    auto panels = [this] {
        const double w = widthTwips();
        StatusBar1->setPanelWidth(1, static_cast<int>(std::lround(w * 0.2)));
        StatusBar1->setPanelWidth(2, static_cast<int>(std::lround(w * 0.2)));
        StatusBar1->setPanelWidth(3, static_cast<int>(std::lround(w * 0.3)));
        StatusBar1->setPanelWidth(4, static_cast<int>(std::lround(w * 0.3)));
    };

    if (stateOf(*this) == Maximised) {
        auto toolbar = [this] { return inTwips(Toolbar1->height()); };
        auto strip = [this] { return inTwips(Picture1->height()); };
        setWidthTwips(TreeView1, widthTwips() * TreeWidthShare);
        setHeightTwips(TreeView1, heightTwips() - toolbar() - strip() - TreeAndGridHeightLess);
        setHeightTwips(loggrid, heightTwips() - toolbar() - strip() - TreeAndGridHeightLess);
        setWidthTwips(loggrid, widthTwips() * GridWidthShare - GridWidthLess);
        setWidthTwips(Picture1, widthTwips());
        Picture1->move(Picture1->x(), twips(heightTwips() - strip() - toolbar() - StripTopLess));
        panels();
        for (int c = 0; c < 3; ++c)
            loggrid->setColWidth(c, NormalColumnWidths[c]);
        loggrid->setColWidth(3, inTwips(loggrid->width()) - LastColumnLess);
    }
    if (stateOf(*this) == Normal) {
        TreeView1->resize(twips(3495), twips(8295));
        loggrid->resize(twips(10935), twips(8295));
        for (int c = 0; c < 4; ++c)
            loggrid->setColWidth(c, NormalColumnWidths[c]);
        setWidthTwips(Picture1, widthTwips());
        Picture1->move(Picture1->x(), twips(8880));
        panels();
    }
    if (stateOf(*this) == Minimised) {
        cstray1->setIntray(true);
        // Without a notification area there would be no way back: the window stays
        // minimised in the task bar.
        if (!cstray1->iconShown())
            return;
        // Hidden once the state change is through: showMinimized() shows the window
        // again after it has set the state.
        QTimer::singleShot(0, this, [this] {
            if (stateOf(*this) == Minimised && cstray1->iconShown()) {
                // A console waiting in the tray is open: closing the last small window
                // must not end the program.
                if (!trayLock_)
                    trayLock_.emplace();
                hide();
            }
        });
    }
}

void form_zuye::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (loaded_)
        Form_Resize();
}

void form_zuye::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // The window manager may change the frame (and so the outer size the layout reads)
    // without resizing the client area; the frame's change moves the client area.
    if (loaded_)
        Form_Resize();
}

void form_zuye::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && loaded_) {
        // Un-minimising a withdrawn window maps it while its start state still says
        // iconic, so the window manager may take it minimised for a moment before it
        // shows it: that is no minimise of the user's, and must not lead to the tray.
        if (returning_ && stateOf(*this) == Minimised)
            return;
        // Back by any way (from the task bar where there is no tray, or by the window
        // system): no icon stands for the window any more, and it keeps the program open.
        if (stateOf(*this) != Minimised && isVisible()) {
            if (cstray1->intray())
                cstray1->setIntray(false);
            trayLock_.reset();
        }
        Form_Resize();
    }
}

bool form_zuye::eventFilter(QObject* watched, QEvent* event)
{
    // The toolbar keeps to the top edge by its docking, whatever the layout does.
    if (watched == client_ && event->type() == QEvent::Resize)
        Toolbar1->resize(client_->width(), Toolbar1->height());
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed())
        returning_ = false;
    return QMainWindow::eventFilter(watched, event);
}

void form_zuye::cstray1_TrayActivate()
{
    // A withdrawn window keeps the iconic start state it was minimised with, so a plain
    // show would map it minimised again: the detour through maximised renews it.
    if (windowState() == Qt::WindowNoState)
        setWindowState(Qt::WindowMaximized);
    returning_ = true;
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    show();
    // Until the window system shows the window again (already shown: nothing to wait for).
    if (QWindow* window = windowHandle(); window != nullptr && !window->isExposed())
        window->installEventFilter(this);
    else
        returning_ = false;
    activateWindow();
    cstray1->setIntray(false);
    trayLock_.reset();
}

// ---------------------------------------------------------------- log, actions, dispatch

void form_zuye::Timer1_Timer()
{
    GridRows rows(*loggrid, *Timer1);
    loggrid->setRedraw(false);
    logView_.refresh(rows);
    loggrid->setRedraw(true);
}

void form_zuye::start_Click()
{
    startAction(*this, EntryPoint::Menu);
}

void form_zuye::tingzi_Click()
{
    stopAction(*this, EntryPoint::Menu);
}

void form_zuye::chaxun_Click()
{
    queryAction();
}

void form_zuye::TreeView1_NodeClick(const QString& key)
{
    switch (treeCommand(u16(key))) {
    case TreeCommand::OpenCansu: openCansu(); break;
    case TreeCommand::OpenZhanghao: openZhanghao(); break;
    case TreeCommand::Start: startAction(*this, EntryPoint::Tree); break;
    case TreeCommand::Stop: stopAction(*this, EntryPoint::Tree); break;
    case TreeCommand::Query: queryAction(); break;
    case TreeCommand::ResetLog: resetLog(*this); break;
    case TreeCommand::None: break;
    }
}

void form_zuye::Toolbar1_ButtonClick(const QString& key)
{
    switch (toolbarCommand(u16(key))) {
    case ToolbarCommand::Exit: platform::End(); break;
    case ToolbarCommand::Start: startAction(*this, EntryPoint::Toolbar); break;
    case ToolbarCommand::Stop: stopAction(*this, EntryPoint::Toolbar); break;
    case ToolbarCommand::OpenCansu: openCansu(); break;
    case ToolbarCommand::OpenAbout: openAbout(); break;
    case ToolbarCommand::Help: platform::service<platform::Desktop>().sendKeys(u"{F1}"); break;
    case ToolbarCommand::None: break;
    }
}

void form_zuye::tuicu_Click()
{
    platform::End();
}

void form_zuye::gaimima_Click()
{
    platform::showWindow<form_gaimima>();
}

void form_zuye::cansuo_Click()
{
    openCansu();
}

void form_zuye::zhanghao_Click()
{
    openZhanghao();
}

void form_zuye::gjwh_Click()
{
    platform::showWindow<form_weihu>();
}

void form_zuye::hardbind_Click()
{
    platform::showWindow<config::form_hard>();
}

void form_zuye::kaiji_Click()
{
    platform::showWindow<form_kaiji>();
}

void form_zuye::gywm_Click()
{
    openAbout();
}

void form_zuye::openCansu()
{
    platform::showWindow<config::form_cansu>();
}

void form_zuye::openZhanghao()
{
    platform::showWindow<config::form_zhanghao>();
}

void form_zuye::openAbout()
{
    platform::showWindow<form_about>();
}

// ---------------------------------------------------------------- what the actions change

void form_zuye::resetLogGrid()
{
    loggrid->Clear();
    writeHeaderRow();
}

void form_zuye::relayout()
{
    Form_Resize();
}

void form_zuye::setLogInterval(int milliseconds)
{
    Timer1->setInterval(milliseconds);
}

void form_zuye::setServiceText(std::u16string_view text)
{
    StatusBar1->setPanelText(2, text);
}

form_zuye& zuye()
{
    return platform::loadWindow<form_zuye>();
}

} // namespace console
