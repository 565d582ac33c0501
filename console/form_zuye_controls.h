#pragma once
// The console window's own controls: the log grid (a flex grid of fixed rows and
// columns), the log timer, the status bar of text panels and the image lists. Sizes
// given to them are in twips.

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QStatusBar>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <QVector>
#include <cstdint>
#include <string_view>

class QHBoxLayout;
class QLabel;

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
    // The width as set; the column is drawn wider only where its widest text would not
    // show whole at that width in the grid's font.
    void setColWidth(int col, int twips);
    int ColWidth(int col) const;
    // The widest text a column must show whole, whatever its width in twips.
    void setColWidestText(int col, const QString& text);
    // Pixels a text needs in a cell: the text and the cell's margins and grid line.
    int cellWidthFor(const QString& text) const;
    // With redraw off, writes are gathered and shown together when it is switched on.
    void setRedraw(bool on);
    // Rows first + count to the last move up by count rows; the last count rows are emptied.
    void moveRowsUp(int first, int count);
    // Changes with every change of a cell, whoever makes it.
    std::uint64_t revision() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColWidth(int col);
    void fitToFont();

    FlexGridModel* model_;
    QVector<int> colWidths_;
    QVector<QString> widest_;
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

// A status bar of text panels, counted from 1; widths in twips. The panels share the
// bar's width in the proportions of their widths, so that the frame, margins and gaps
// never make them need more than the window has.
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
    QLabel* panel(int panel) const;

private:
    QHBoxLayout* row_;
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

} // namespace console
