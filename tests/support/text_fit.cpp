#include "text_fit.h"
#include "platform/gui/style_option.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextLayout>
#include <QTreeView>
#include <optional>

namespace testsupport {

namespace {

QString path(const QWidget* widget, const QWidget* window)
{
    QString p;
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        p.prepend((w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName()));
        if (w == window)
            break;
        p.prepend(QLatin1Char('/'));
    }
    return p;
}

QString px(QSize s)
{
    return QStringLiteral("%1x%2 px").arg(s.width()).arg(s.height());
}

// A text as the user meets it: where it is drawn in its widget, how much room the
// style gives it there and how much it needs.
struct Text {
    const QWidget* widget;
    QString text;
    QFont font;
    QRect room;
    QSize need;
    Qt::Alignment alignment;
    QString where; // a cell, or empty for the widget's own text
};

QRect drawn(const Text& t)
{
    return QStyle::alignedRect(Qt::LeftToRight, t.alignment, t.need, t.room);
}

// The pixels a one-line text inks; its line (with the fallback fonts' larger ascent
// and descent) is taller than that.
QRect ink(const Text& t)
{
    const QRect line = drawn(t);
    if (t.text.contains(QLatin1Char('\n')) || line.height() > 2 * QFontMetrics(t.font).height())
        return line;
    QTextLayout layout(t.text, t.font);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    layout.endLayout();
    const int baseline = line.top() + qRound(first.ascent());
    return QFontMetrics(t.font).tightBoundingRect(t.text).translated(line.left(), baseline);
}

// The characters no font of the desktop draws: they come out as boxes.
QString missingGlyphs(const QString& text, const QFont& font)
{
    const QFontMetrics metrics(font);
    QString missing;
    for (const QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control || metrics.inFont(c))
            continue;
        // Not in the font itself: the fallback fonts may still draw it.
        QTextLayout layout(QString(c), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        bool drawnByFallback = false;
        for (const QGlyphRun& run : layout.glyphRuns())
            for (quint32 glyph : run.glyphIndexes())
                drawnByFallback = drawnByFallback || glyph != 0;
        if (!drawnByFallback)
            missing += c;
    }
    return missing;
}

std::optional<Text> labelText(const QLabel* label)
{
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
        return std::nullopt;
    const int m = label->margin();
    QRect room = label->contentsRect().adjusted(m, m, -m, -m);
    if (label->indent() > 0)
        room.adjust(label->indent(), 0, 0, 0);
    const QFontMetrics metrics(label->font());
    QSize need;
    if (label->wordWrap()) {
        need = metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap | Qt::AlignLeft, label->text())
                   .size();
        need.setWidth(std::min(need.width(), room.width()));
    } else {
        need = metrics.size(0, label->text());
    }
    return Text{label, label->text(), label->font(), room, need, label->alignment(), {}};
}

std::optional<Text> buttonText(const QAbstractButton* button)
{
    if (button->text().isEmpty())
        return std::nullopt;
    const QFontMetrics metrics(button->font());
    QSize need = metrics.size(Qt::TextShowMnemonic, button->text());
    QRect room;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        const auto option = platform::styleOption<QPushButton, QStyleOptionButton>(push);
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (!button->icon().isNull())
            need = {need.width() + option.iconSize.width() + 4, std::max(need.height(), option.iconSize.height())};
        alignment = Qt::AlignCenter;
    } else if (const auto* check = qobject_cast<const QCheckBox*>(button)) {
        const auto option = platform::styleOption<QCheckBox, QStyleOptionButton>(check);
        room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(button)) {
        const auto option = platform::styleOption<QRadioButton, QStyleOptionButton>(radio);
        room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    } else {
        return std::nullopt;
    }
    QString plain = button->text();
    plain.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return Text{button, plain, button->font(), room, need, alignment, {}};
}

std::optional<Text> groupBoxTitle(const QGroupBox* box)
{
    if (box->title().isEmpty())
        return std::nullopt;
    const auto option = platform::styleOption<QGroupBox, QStyleOptionGroupBox>(box);
    const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const QSize need = QFontMetrics(box->font()).size(Qt::TextShowMnemonic, box->title());
    // The title must lie inside the frame's own rectangle.
    return Text{box, box->title(), box->font(), title.intersected(box->rect()), need, Qt::AlignCenter, {}};
}

std::optional<Text> lineEditText(const QLineEdit* edit)
{
    const QString shown = edit->displayText();
    if (shown.isEmpty())
        return std::nullopt;
    const auto option = platform::styleOption<QLineEdit, QStyleOptionFrame>(edit);
    QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    // The margins QLineEdit keeps inside its contents (2 px across, 1 px down).
    room = room.marginsRemoved(margins).adjusted(2, 1, -2, -1);
    const QFontMetrics metrics(edit->font());
    // The cursor after the last character takes a pixel too.
    const QSize need(metrics.horizontalAdvance(shown) + 1, metrics.height());
    return Text{edit, shown, edit->font(), room, need, edit->alignment(), {}};
}

std::optional<Text> comboText(const QComboBox* combo)
{
    if (combo->isEditable() || combo->currentText().isEmpty())
        return std::nullopt; // an editable list shows its text in its line edit
    const auto option = platform::styleOption<QComboBox, QStyleOptionComboBox>(combo);
    const QRect room =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const QFontMetrics metrics(combo->font());
    return Text{combo, combo->currentText(), combo->font(), room, metrics.size(0, combo->currentText()),
                Qt::AlignLeft | Qt::AlignVCenter, {}};
}

// The cell's text as its delegate draws it, in the view's coordinates.
std::optional<Text> cellText(const QAbstractItemView* view, const QModelIndex& index)
{
    const QRect cell = view->visualRect(index);
    if (!view->viewport()->rect().contains(cell))
        return std::nullopt; // scrolled partly out of view
    auto* delegate = qobject_cast<QStyledItemDelegate*>(view->itemDelegateForIndex(index));
    if (delegate == nullptr)
        return std::nullopt;
    struct Access : QStyledItemDelegate {
        using QStyledItemDelegate::initStyleOption;
    };
    struct ViewAccess : QAbstractItemView {
        using QAbstractItemView::initViewItemOption;
    };
    QStyleOptionViewItem option;
    (view->*(&ViewAccess::initViewItemOption))(&option);
    option.rect = cell;
    (delegate->*(&Access::initStyleOption))(&option, index);
    if (option.text.isEmpty())
        return std::nullopt;
    const QWidget* widget = option.widget != nullptr ? option.widget : view;
    QRect room = widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, widget);
    const QFontMetrics metrics(option.font);
    const QSize need = metrics.size(0, option.text);
    // Into the viewport's coordinates of the widget.
    room.translate(view->viewport()->pos());
    const QString where = QStringLiteral("cell %1,%2").arg(index.row()).arg(index.column());
    return Text{view, option.text, option.font, room, need, option.displayAlignment, where};
}

void cellTexts(const QAbstractItemView* view, std::vector<Text>& out)
{
    const QAbstractItemModel* model = view->model();
    if (model == nullptr)
        return;
    const QRect area = view->viewport()->rect();
    if (const auto* table = qobject_cast<const QTableView*>(view)) {
        const int firstRow = std::max(0, table->rowAt(area.top()));
        int lastRow = table->rowAt(area.bottom());
        lastRow = lastRow < 0 ? model->rowCount(table->rootIndex()) - 1 : lastRow;
        const int firstColumn = std::max(0, table->columnAt(area.left()));
        int lastColumn = table->columnAt(area.right());
        lastColumn = lastColumn < 0 ? model->columnCount(table->rootIndex()) - 1 : lastColumn;
        for (int r = firstRow; r <= lastRow; ++r)
            for (int c = firstColumn; c <= lastColumn; ++c)
                if (!table->isRowHidden(r) && !table->isColumnHidden(c))
                    if (auto t = cellText(view, model->index(r, c, table->rootIndex())))
                        out.push_back(*t);
    } else if (const auto* tree = qobject_cast<const QTreeView*>(view)) {
        for (QModelIndex row = tree->indexAt(area.topLeft()); row.isValid() && tree->visualRect(row).top() <= area.bottom();
             row = tree->indexBelow(row))
            for (int c = 0; c < model->columnCount(row.parent()); ++c)
                if (!tree->isColumnHidden(c))
                    if (auto t = cellText(view, row.siblingAtColumn(c)))
                        out.push_back(*t);
    }
}

// What a widget hides of the widgets below it: a label only its text, any other
// control all of itself.
QRect cover(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->autoFillBackground() || label->pixmap().isNull() == false)
            return w->geometry();
        if (auto t = labelText(label))
            return ink(*t).translated(w->pos());
        return {};
    }
    return w->geometry();
}

void checkPlace(const Text& t, const QWidget* window, std::vector<TextFault>& faults, const QString& name)
{
    const QRect text = drawn(t);
    auto fault = [&](const QString& problem) { faults.push_back({name, t.text, problem}); };

    // Frames and windows clip what passes their edges; a frame's border and caption
    // draw over a text that lies on them.
    for (const QWidget* w = t.widget; w != window;) {
        const QWidget* parent = w->parentWidget();
        if (parent == nullptr)
            break;
        const QRect inParent = QRect(t.widget->mapTo(parent, text.topLeft()), text.size());
        if (!parent->rect().contains(inParent)) {
            fault(QStringLiteral("passes the edge of %1").arg(path(parent, window)));
            break;
        }
        if (const auto* box = qobject_cast<const QGroupBox*>(parent)) {
            const auto option = platform::styleOption<QGroupBox, QStyleOptionGroupBox>(box);
            const QStyle* style = box->style();
            const QRect inner = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, box);
            const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            if (!inner.contains(inParent) || (!box->title().isEmpty() && inParent.intersects(title)))
                fault(QStringLiteral("lies on the border or caption of %1").arg(path(box, window)));
        }
        w = parent;
    }

    // A visible sibling made after it (so above it) hides what it covers.
    if (const QWidget* parent = t.widget->parentWidget()) {
        const QRect inParent = ink(t).translated(t.widget->pos());
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(t.widget) + 1; i < siblings.size(); ++i) {
            const auto* sibling = qobject_cast<const QWidget*>(siblings[i]);
            if (sibling != nullptr && sibling->isVisible() && !sibling->isWindow() &&
                cover(sibling).intersects(inParent))
                fault(QStringLiteral("is covered by %1").arg(path(sibling, window)));
        }
    }
}

} // namespace

std::vector<TextFault> textFaults(const QWidget* window)
{
    std::vector<Text> texts;
    for (const QWidget* w : window->findChildren<const QWidget*>()) {
        if (!w->isVisible() || w->isWindow())
            continue;
        std::optional<Text> own;
        if (const auto* label = qobject_cast<const QLabel*>(w))
            own = labelText(label);
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            own = buttonText(button);
        else if (const auto* box = qobject_cast<const QGroupBox*>(w))
            own = groupBoxTitle(box);
        else if (const auto* edit = qobject_cast<const QLineEdit*>(w))
            own = lineEditText(edit);
        else if (const auto* combo = qobject_cast<const QComboBox*>(w))
            own = comboText(combo);
        else if (const auto* view = qobject_cast<const QAbstractItemView*>(w))
            cellTexts(view, texts);
        if (own)
            texts.push_back(*own);
    }

    std::vector<TextFault> faults;
    for (const Text& t : texts) {
        const QString name = path(t.widget, window) + (t.where.isEmpty() ? QString() : QLatin1Char(' ') + t.where);
        if (t.need.width() > t.room.width() || t.need.height() > t.room.height())
            faults.push_back({name, t.text, QStringLiteral("needs %1, has %2").arg(px(t.need), px(t.room.size()))});
        if (const QString missing = missingGlyphs(t.text, t.font); !missing.isEmpty())
            faults.push_back({name, t.text, QStringLiteral("no glyph for \"%1\" in %2").arg(missing, t.font.family())});
        if (t.where.isEmpty())
            checkPlace(t, window, faults, name);
    }
    return faults;
}

std::string describe(const std::vector<TextFault>& faults)
{
    std::string out;
    for (const auto& f : faults)
        out += (f.control + QStringLiteral(" \"") + f.text + QStringLiteral("\": ") + f.problem).toStdString() + "\n";
    return out;
}

} // namespace testsupport
