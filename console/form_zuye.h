#pragma once
// The console's main window: menu bar, toolbar, navigation tree, log grid, status bar
// and tray icon, with the service actions and the log refresh behind them.

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QStatusBar>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <QVector>
#include <cstdint>
#include <string_view>

#include "console/console_texts.h"
#include "console/log_view.h"
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

class FlexGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    FlexGridModel(int rows, int cols, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QString& cell(int row, int col) const;
    void setCell(int row, int col, const QString& text);
    void clear();
    // Rows first + count to the last move up by count rows; the last count rows are emptied.
    void moveRowsUp(int first, int count);
    // Changes with every change of a cell.
    std::uint64_t revision() const { return revision_; }
    void setRedraw(bool on);

private:
    void changed(int row, int col);
    int rows_, cols_;
    QVector<QString> cells_;
    bool redraw_ = true;
    bool pendingHeader_ = false;
    bool pendingCells_ = false;
    std::uint64_t revision_ = 0;
};

// The log grid: a fixed number of rows and columns, row 0 the fixed header row (shown as
// the view's header), no fixed column. Sizes are in twips.
class FlexGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int RowCount = 10000;
    static constexpr int ColCount = 5;

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return RowCount; }
    int Cols() const { return ColCount; }
    // Empties every cell; the rows and columns stay.
    void Clear();
    // Out-of-range cells are ignored.
    void setTextMatrix(int row, int col, const QString& text);
    void setTextMatrix(int row, int col, std::u16string_view text);
    QString TextMatrix(int row, int col) const;
    void setColWidth(int col, int twips);
    int ColWidth(int col) const;
    // With redraw off, writes are gathered and shown together when it is switched on.
    void setRedraw(bool on);
    // Rows first + count to the last move up by count rows; the last count rows are emptied.
    void moveRowsUp(int first, int count);
    // Changes with every change of a cell, whoever makes it.
    std::uint64_t revision() const;

private:
    FlexGridModel* model_;
    QVector<int> colWidths_;
};

// Timer1: one setting, the interval in milliseconds; 0 leaves it idle.
class TimerControl : public QObject {
    Q_OBJECT
public:
    explicit TimerControl(QObject* parent = nullptr);
    int Interval() const { return interval_; }
    void setInterval(int milliseconds);
    bool isTicking() const { return timer_.isActive(); }

signals:
    void Timer();

private:
    QTimer timer_;
    int interval_ = 0;
};

// A status bar of text panels, counted from 1; widths in twips.
class StatusBarControl : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBarControl(QWidget* parent = nullptr);
    int panelCount() const { return static_cast<int>(panels_.size()); }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    void setPanelText(int panel, std::u16string_view text);
    int panelWidth(int panel) const;
    void setPanelWidth(int panel, int twips);

private:
    QList<QLabel*> panels_;
    QList<int> widths_;
};

// Pictures numbered from 1.
class ImageList : public QObject {
    Q_OBJECT
public:
    ImageList(QList<QIcon> images, QObject* parent);
    int count() const { return static_cast<int>(images_.size()); }
    QIcon ListImage(int index) const;

private:
    QList<QIcon> images_;
};

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
};

// The global console window, loaded (not shown) on first use.
form_zuye& zuye();

} // namespace console
