#include "console/form_zuye_controls.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <algorithm>

#include "platform/gui/form_layout.h"
#include "platform/gui/qt_text.h"

namespace console {

using platform::qs;

// ---------------------------------------------------------------- grid

FlexGridModel::FlexGridModel(int rows, int cols, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), cols_(cols), cells_(rows * cols)
{
}

int FlexGridModel::rowCount(const QModelIndex& parent) const
{
    // Row 0 is shown as the view's header.
    return parent.isValid() ? 0 : rows_ - 1;
}

int FlexGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return cell(index.row() + 1, index.column());
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return cell(0, section);
}

const QString& FlexGridModel::cell(int row, int col) const
{
    return cells_[row * cols_ + col];
}

void FlexGridModel::setCell(int row, int col, const QString& text)
{
    QString& c = cells_[row * cols_ + col];
    if (c == text)
        return;
    c = text;
    ++revision_;
    changed(row, col);
}

void FlexGridModel::clear()
{
    for (auto& c : cells_)
        c = QString();
    ++revision_;
    changed(-1, -1);
}

void FlexGridModel::moveRowsUp(int first, int count)
{
    count = std::min(count, rows_ - first);
    if (first < 1 || count <= 0)
        return;
    auto begin = cells_.begin() + first * cols_;
    std::rotate(begin, begin + count * cols_, cells_.end());
    std::fill(cells_.end() - count * cols_, cells_.end(), QString());
    ++revision_;
    changed(first, -1);
}

void FlexGridModel::changed(int row, int col)
{
    // row 0 is the header, -1 the whole grid; col -1 that row and all after it.
    if (!redraw_) {
        pendingHeader_ = pendingHeader_ || row <= 0;
        pendingCells_ = pendingCells_ || row != 0;
        return;
    }
    if (row <= 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    if (row > 0 && col < 0)
        emit dataChanged(index(row - 1, 0), index(rows_ - 2, cols_ - 1), {Qt::DisplayRole});
    else if (row > 0)
        emit dataChanged(index(row - 1, col), index(row - 1, col), {Qt::DisplayRole});
    else if (row < 0)
        emit dataChanged(index(0, 0), index(rows_ - 2, cols_ - 1), {Qt::DisplayRole});
}

void FlexGridModel::setRedraw(bool on)
{
    redraw_ = on;
    if (!on)
        return;
    // One signal for everything written meanwhile; the header only when it changed, as
    // a header change makes the view measure itself again.
    if (pendingHeader_)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    if (pendingCells_)
        emit dataChanged(index(0, 0), index(rows_ - 2, cols_ - 1), {Qt::DisplayRole});
    pendingHeader_ = pendingCells_ = false;
}

FlexGrid::FlexGrid(QWidget* parent)
    : QTableView(parent), model_(new FlexGridModel(RowCount, ColCount, this)), colWidths_(ColCount, 1200),
      widest_(ColCount)
{
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsClickable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    fitToFont();
}

void FlexGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToFont();
}

void FlexGrid::fitToFont()
{
    // A row is one line of the grid's font and a little air, as a flex grid draws it.
    const int line = QFontMetrics(font()).height() + 4;
    verticalHeader()->setMinimumSectionSize(line);
    verticalHeader()->setDefaultSectionSize(line);
    horizontalHeader()->setMinimumSectionSize(0);
    for (int c = 0; c < ColCount; ++c)
        applyColWidth(c);
}

int FlexGrid::cellWidthFor(const QString& text) const
{
    // The view draws a cell's text inside these margins, and the grid line takes a pixel
    // of the section.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return QFontMetrics(font()).horizontalAdvance(text) + 2 * margin + (showGrid() ? 1 : 0);
}

void FlexGrid::setColWidestText(int col, const QString& text)
{
    if (col < 0 || col >= ColCount)
        return;
    widest_[col] = text;
    applyColWidth(col);
}

void FlexGrid::applyColWidth(int col)
{
    int width = platform::twips(colWidths_[col]);
    if (!widest_[col].isEmpty())
        width = std::max(width, cellWidthFor(widest_[col]));
    horizontalHeader()->resizeSection(col, width);
}

void FlexGrid::Clear()
{
    model_->clear();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (row < 0 || row >= RowCount || col < 0 || col >= ColCount)
        return;
    model_->setCell(row, col, text);
}

void FlexGrid::setTextMatrix(int row, int col, std::u16string_view text)
{
    setTextMatrix(row, col, qs(text));
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    if (row < 0 || row >= RowCount || col < 0 || col >= ColCount)
        return {};
    return model_->cell(row, col);
}

void FlexGrid::setColWidth(int col, int twipsValue)
{
    if (col < 0 || col >= ColCount)
        return;
    colWidths_[col] = std::max(0, twipsValue);
    applyColWidth(col);
}

int FlexGrid::ColWidth(int col) const
{
    return col < 0 || col >= ColCount ? 0 : colWidths_[col];
}

void FlexGrid::setRedraw(bool on)
{
    model_->setRedraw(on);
}

void FlexGrid::moveRowsUp(int first, int count)
{
    model_->moveRowsUp(first, count);
}

std::uint64_t FlexGrid::revision() const
{
    return model_->revision();
}

// ---------------------------------------------------------------- timer, status bar, images


TimerControl::TimerControl(QObject* parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, &TimerControl::Timer);
}

void TimerControl::setInterval(int milliseconds)
{
    interval_ = std::max(0, milliseconds);
    if (interval_ == 0)
        timer_.stop();
    else
        timer_.start(interval_);
}

StatusBarControl::StatusBarControl(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("panels"));
    row_ = new QHBoxLayout(strip);
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(strip);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The width comes from the share alone: a panel never asks the window for room.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        row_->addWidget(label, 1);
        panels_.push_back(label);
        widths_.push_back(0);
    }
    addWidget(strip, 1);
}

QLabel* StatusBarControl::panel(int panel) const
{
    return panel >= 1 && panel <= panelCount() ? panels_[panel - 1] : nullptr;
}

QString StatusBarControl::panelText(int panel) const
{
    return panel >= 1 && panel <= panelCount() ? panels_[panel - 1]->text() : QString();
}

void StatusBarControl::setPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= panelCount())
        panels_[panel - 1]->setText(text);
}

void StatusBarControl::setPanelText(int panel, std::u16string_view text)
{
    setPanelText(panel, qs(text));
}

int StatusBarControl::panelWidth(int panel) const
{
    return panel >= 1 && panel <= panelCount() ? widths_[panel - 1] : 0;
}

void StatusBarControl::setPanelWidth(int panel, int twipsValue)
{
    if (panel < 1 || panel > panelCount())
        return;
    widths_[panel - 1] = std::max(0, twipsValue);
    // A layout stretch is an int; twips keep the proportions exact.
    row_->setStretch(panel - 1, std::max(1, widths_[panel - 1]));
}

ImageList::ImageList(QList<QIcon> images, QObject* parent) : QObject(parent), images_(std::move(images)) {}

QIcon ImageList::ListImage(int index) const
{
    return index >= 1 && index <= count() ? images_[index - 1] : QIcon();
}

} // namespace console
