#pragma once
// The console's main window: menu bar, toolbar, navigation tree, log grid, status bar
// and tray icon, with the service actions and the log refresh behind them.

#include <QList>
#include <QEventLoopLocker>
#include <QMainWindow>
#include <QString>
#include <optional>
#include <string_view>

#include "console/console_texts.h"
#include "console/log_view.h"
#include "console/form_zuye_controls.h"
#include "console/service_control.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace platform {
class cstray;
}

namespace console {

class form_zuye : public QMainWindow, private ServiceConsole {
    Q_OBJECT
public:
    // Builds the controls from their design data and runs Form_Load.
    form_zuye();
    ~form_zuye() override;

    // Controls.
    QToolBar* Toolbar1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    FlexGrid* loggrid = nullptr;
    QWidget* Picture1 = nullptr;
    StatusBarControl* StatusBar1 = nullptr;
    TimerControl* Timer1 = nullptr;
    ImageList* ImageList1 = nullptr;
    ImageList* toolbarimage = nullptr;
    platform::cstray* cstray1 = nullptr;

    // Menu bar.
    QAction* xitong = nullptr;
    QAction* gaimima = nullptr;
    QAction* tuicu = nullptr;
    QAction* vpncz = nullptr;
    QAction* cansuo = nullptr;
    QAction* zhanghao = nullptr;
    QAction* kong = nullptr;
    QAction* start = nullptr;
    QAction* tingzi = nullptr;
    QAction* chaxun = nullptr;
    QAction* gaoji = nullptr;
    QAction* gjwh = nullptr;
    QAction* hardbind = nullptr;
    QAction* kaiji = nullptr;
    QAction* gywm = nullptr;

    // Toolbar button i (from 1) and its key.
    QAction* toolbarButton(int index) const;
    static QString buttonKey(const QAction* button);
    // The key of a tree node; empty for a node without one.
    static QString nodeKey(const QTreeWidgetItem* node);

    // Handlers.
    void Form_Load();
    void Form_Resize();
    void cstray1_TrayActivate();
    void Timer1_Timer();
    void start_Click();
    void tingzi_Click();
    void chaxun_Click();
    void TreeView1_NodeClick(const QString& key);
    void Toolbar1_ButtonClick(const QString& key);
    void tuicu_Click();
    void gaimima_Click();
    void cansuo_Click();
    void zhanghao_Click();
    void gjwh_Click();
    void hardbind_Click();
    void kaiji_Click();
    void gywm_Click();

    // Twips, as the layout reads them.
    int widthTwips() const;
    int heightTwips() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildControls();
    void buildTree();
    void writeHeaderRow();
    void openCansu();
    void openZhanghao();
    void openAbout();

    // ServiceConsole
    void resetLogGrid() override;
    void relayout() override;
    void setLogInterval(int milliseconds) override;
    void setServiceText(std::u16string_view text) override;

    QWidget* client_ = nullptr;
    QList<QAction*> buttons_;
    bool loaded_ = false;
    LogView logView_;
    // Held while the window waits hidden in the tray.
    std::optional<QEventLoopLocker> trayLock_;
    // Back from the tray and not yet shown by the window system.
    bool returning_ = false;
};

// The global console window, loaded (not shown) on first use.
form_zuye& zuye();

} // namespace console
