#include "platform/gui/form_layout.h"
#include "platform/gui/style_option.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Kept on each placed control and window: the design in pixels, and how it is sized.
constexpr const char* DesignRectKey = "corvaneDesignRect";
constexpr const char* SizedToTextKey = "corvaneSizedToText";
constexpr const char* DesignSizeKey = "corvaneDesignSize";
constexpr const char* FrameKey = "corvaneWindowFrame";
constexpr const char* CentredKey = "corvaneCentred";

// What a control that grows keeps free to the edge of its frame or window.
const int EdgeMargin = twips(120);

QSize textSize(const QFontMetrics& metrics, const QString& text)
{
    return metrics.size(Qt::TextShowMnemonic, text);
}

// How much wider and taller the control must be to show its text whole; nothing (or
// less than nothing) when it fits.
QSize buttonShortfall(const QAbstractButton* button)
{
    if (button->text().isEmpty())
        return {};
    QSize need = textSize(button->fontMetrics(), button->text());
    QRect room;
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        const auto option = styleOption<QPushButton, QStyleOptionButton>(push);
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (!button->icon().isNull())
            need = {need.width() + option.iconSize.width() + 4, std::max(need.height(), option.iconSize.height())};
    } else if (const auto* check = qobject_cast<const QCheckBox*>(button)) {
        const auto option = styleOption<QCheckBox, QStyleOptionButton>(check);
        room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(button)) {
        const auto option = styleOption<QRadioButton, QStyleOptionButton>(radio);
        room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    } else {
        return {};
    }
    return need - room.size();
}

bool isPlaced(const QObject* object)
{
    return object->isWidgetType() && object->property(DesignRectKey).isValid();
}

// Where the controls of a container that outgrew their design reach, with the margin
// kept to its edge; controls of their design size are where the design put them.
QSize reach(const QWidget* container)
{
    QSize extent;
    for (const QObject* child : container->children()) {
        if (!isPlaced(child))
            continue;
        const auto* w = static_cast<const QWidget*>(child);
        if (w->isHidden())
            continue;
        const QRect design = w->property(DesignRectKey).toRect();
        const QRect now = w->geometry();
        if (now.width() > design.width())
            extent.setWidth(std::max(extent.width(), now.right() + 1 + EdgeMargin));
        if (now.height() > design.height())
            extent.setHeight(std::max(extent.height(), now.bottom() + 1 + EdgeMargin));
    }
    return extent;
}

// A list shows each of its entries whole when picked.
QSize listShortfall(const QComboBox* list)
{
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    if (widest == 0)
        return {};
    const auto option = styleOption<QComboBox, QStyleOptionComboBox>(list);
    QRect room = list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    if (const QLineEdit* edit = list->lineEdit()) {
        // The margins a text box keeps inside, and a pixel for the cursor.
        const QMargins margins = edit->textMargins();
        room = room.marginsRemoved(margins).adjusted(2, 0, -3, 0);
    }
    return {widest - room.width(), 0};
}

// The size the control should have for its text: its design size, or its text's where
// it is sized to the text, grown by what its text lacks.
QSize fittedSize(QWidget* control, QSize design, bool sizedToText)
{
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
            return sizedToText ? label->sizeHint() : design;
        if (label->wordWrap())
            return {design.width(), std::max(design.height(), label->heightForWidth(design.width()))};
        const QSize hint = label->sizeHint();
        return sizedToText ? hint : design.expandedTo(hint);
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return design.expandedTo(control->size() + buttonShortfall(button));
    if (const auto* list = qobject_cast<const QComboBox*>(control))
        return design.expandedTo(control->size() + listShortfall(list));
    if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
        QSize size = design;
        if (!box->title().isEmpty()) {
            const auto option = styleOption<QGroupBox, QStyleOptionGroupBox>(box);
            const QRect title =
                box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            size = size.expandedTo(QSize(title.right() + 1 + EdgeMargin, 0));
        }
        // A frame holds its controls.
        return size.expandedTo(reach(box));
    }
    return design;
}

void fitControls(QWidget* container)
{
    for (QObject* child : container->children()) {
        if (!isPlaced(child))
            continue;
        auto* control = static_cast<QWidget*>(child);
        fitControls(control);
        const QRect design = control->property(DesignRectKey).toRect();
        const QSize size = fittedSize(control, design.size(), control->property(SizedToTextKey).toBool());
        control->setGeometry(QRect(design.topLeft(), size));
    }
}

class TextFitter final : public QObject {
public:
    explicit TextFitter(QWidget* window) : QObject(window), window_(window) {}

    void watch(QWidget* container)
    {
        if (watched_.contains(container))
            return;
        watched_.append(container);
        container->installEventFilter(this);
    }

    bool shownBefore() const { return shownBefore_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::LayoutRequest:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            fitTexts(window_);
            break;
        case QEvent::Show:
            if (watched == window_) {
                fitTexts(window_);
                shownBefore_ = true;
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget* window_;
    QList<QWidget*> watched_;
    bool shownBefore_ = false;
};

TextFitter* fitterOf(QWidget* window)
{
    return window->findChild<TextFitter*>(QString(), Qt::FindDirectChildrenOnly);
}

void fitWindow(QWidget* window)
{
    if (!window->property(DesignSizeKey).isValid())
        return;
    const QSize design = window->property(DesignSizeKey).toSize();
    const QSize needed = design.expandedTo(reach(window));
    const QSize before = window->size();
    if (static_cast<WindowFrame>(window->property(FrameKey).toInt()) == WindowFrame::Sizable) {
        if (before.expandedTo(needed) != before)
            window->resize(before.expandedTo(needed));
    } else if (needed != before) {
        window->setFixedSize(needed);
    }
    const TextFitter* fitter = fitterOf(window);
    if (window->property(CentredKey).toBool() && fitter != nullptr && !fitter->shownBefore() &&
        window->size() != before)
        window->move(window->pos() - QPoint((window->width() - before.width()) / 2,
                                            (window->height() - before.height()) / 2));
}

// What the designed windows' frames and masked fields draw unlike the desktop's style:
// a frame's caption sits on its top border, as the design drew it (a caption above the
// border pushes the border down onto the controls placed just below it), and a masked
// field shows "*".
class DesignStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox))
            return QProxyStyle::subControlRect(control, option, part, widget);
        // The caption's own line, with the taller fallback face of Chinese characters.
        const QSize title = box->text.isEmpty() ? QSize() : box->fontMetrics.size(Qt::TextShowMnemonic, box->text);
        constexpr int border = 2; // the etched line
        switch (part) {
        case SC_GroupBoxLabel:
            return title.isEmpty() ? QRect() : QRect(QPoint(EdgeMargin, 0), title);
        case SC_GroupBoxFrame:
            return box->rect.adjusted(0, title.height() / 2, 0, 0);
        case SC_GroupBoxContents:
            return box->rect.adjusted(border, std::max(title.height(), border), -border, -border);
        default:
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect frame = subControlRect(CC_GroupBox, option, SC_GroupBoxFrame, widget);
        const QRect title = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget);
        painter->save();
        if (!title.isEmpty()) {
            // The border stops short of the caption on either side.
            QRegion around(frame);
            around -= title.adjusted(-2, 0, 2, 0);
            painter->setClipRegion(around);
        }
        // An etched line, as a frame is drawn where the design comes from.
        qDrawShadeRect(painter, frame, box->palette, true, 1, 0);
        painter->restore();
        if (!title.isEmpty())
            proxy()->drawItemText(painter, title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                  box->palette, (box->state & State_Enabled) != 0, box->text, QPalette::WindowText);
    }
};

QStyle* designStyle()
{
    static QPointer<DesignStyle> style;
    if (style.isNull()) {
        style = new DesignStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

int twips(double value)
{
    return std::max(0, static_cast<int>(std::lround(value / TwipsPerPixel)));
}

void designWindow(QWidget* window, const char* name, const QString& caption, int width, int height, WindowFrame frame)
{
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(caption);
    const QSize size(twips(width), twips(height));
    window->setProperty(DesignSizeKey, size);
    window->setProperty(FrameKey, static_cast<int>(frame));
    switch (frame) {
    case WindowFrame::Dialog:
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint);
        window->setFixedSize(size);
        break;
    case WindowFrame::Fixed:
        window->setFixedSize(size);
        break;
    case WindowFrame::Sizable:
        window->resize(size);
        break;
    }
    (new TextFitter(window))->watch(window);
}

void place(QWidget* control, int left, int top, int width, int height, Sizing sizing)
{
    const QRect design = twipsRect(left, top, width, height);
    control->setProperty(DesignRectKey, design);
    control->setProperty(SizedToTextKey, sizing == Sizing::ToText);
    control->setGeometry(design);
    if (sizing == Sizing::ToText)
        control->resize(control->sizeHint());
    if (QWidget* parent = control->parentWidget())
        if (TextFitter* fitter = fitterOf(parent->window()))
            fitter->watch(parent);
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height,
              Sizing sizing)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    place(l, left, top, width, height, sizing);
    return l;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    return control<QLineEdit>(parent, name, left, top, width, height);
}

void maskWithStars(QLineEdit* field)
{
    field->setEchoMode(QLineEdit::Password);
    field->setStyle(designStyle());
}

QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    QLineEdit* box = textBox(parent, name, left, top, width, height);
    maskWithStars(box);
    return box;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int left, int top, int width, int height)
{
    auto* box = control<QGroupBox>(parent, name, left, top, width, height, caption);
    box->setStyle(designStyle());
    return box;
}

void setTextColour(QWidget* control, const QColor& colour)
{
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, colour);
    control->setPalette(p);
}

QFont songFont(double points, bool bold)
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* banner(QWidget* parent, int left, int top, int width, int height)
{
    QLabel* b = label(parent, "Picture1", QStringLiteral("CorvaneVPN"), left, top, width, height);
    b->setStyleSheet("QLabel { background: #1f4e8c; color: white; font-size: 16pt; padding-left: 16px; }");
    return b;
}

namespace {

QPixmap picture(Picture kind, const QString& word)
{
    QPixmap pixmap(85, 25);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kind == Picture::Tick ? QColor(0, 160, 0) : QColor(220, 0, 0), 3, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    QPainterPath mark;
    if (kind == Picture::Tick) {
        mark.moveTo(16, 13);
        mark.lineTo(21, 18);
        mark.lineTo(30, 7);
    } else {
        mark.moveTo(17, 7);
        mark.lineTo(28, 18);
        mark.moveTo(28, 7);
        mark.lineTo(17, 18);
    }
    p.drawPath(mark);
    p.setPen(Qt::black);
    p.drawText(QRect(36, 0, 49, 25), Qt::AlignLeft | Qt::AlignVCenter, word);
    return pixmap;
}

} // namespace

QPushButton* pictureButton(QWidget* parent, const char* name, Picture kind, const QString& word, int left, int top,
                           int width, int height)
{
    auto* button = control<QPushButton>(parent, name, left, top, width, height);
    button->setIcon(QIcon(picture(kind, word)));
    button->setIconSize(QSize(85, 25));
    button->setAccessibleName(word);
    return button;
}

void centreOnScreen(QWidget* window)
{
    fitTexts(window);
    window->setProperty(CentredKey, true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void fitTexts(QWidget* window)
{
    window->ensurePolished();
    fitControls(window);
    fitWindow(window);
}

} // namespace platform
