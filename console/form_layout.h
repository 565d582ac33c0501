#pragma once
// What every small console window shares: design positions in twips, a fixed client
// area without minimise and maximise buttons, and a place in the middle of the screen.

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <utility>

#include "platform/gui/qt_text.h"

namespace console {

inline QRect twipsRect(int left, int top, int width, int height)
{
    using platform::twips;
    return {twips(left), twips(top), twips(width), twips(height)};
}

inline void setUpSmallWindow(QWidget& w, const char* name, const QString& caption, int width, int height)
{
    w.setObjectName(name);
    w.setWindowTitle(caption);
    w.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    w.setFixedSize(platform::twips(width), platform::twips(height));
}

// A control named as in the design, at its design place; args go to its constructor
// before the parent.
template <class W, class... Args>
W* control(QWidget* parent, const char* name, QRect where, Args&&... args)
{
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    w->setGeometry(where);
    return w;
}

// The password fields show "*", whatever the style would draw.
inline void maskWithStars(QLineEdit* field)
{
    field->setEchoMode(QLineEdit::Password);
    field->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
}

// The banner of a picture box: the product's name on its colour.
inline QLabel* banner(QWidget* parent, QRect where)
{
    auto* b = control<QLabel>(parent, "Picture1", where, QStringLiteral("CorvaneVPN"));
    b->setStyleSheet("QLabel { background: #1f4e8c; color: white; font-size: 16pt; padding-left: 16px; }");
    return b;
}

// Once the controls stand: the windows open with no owner to centre on.
inline void centreOnScreen(QWidget& w)
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w.move(screen->availableGeometry().center() - w.rect().center());
}

} // namespace console
