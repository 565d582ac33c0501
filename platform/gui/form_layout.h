#pragma once
// Windows and controls placed from their design data (positions and sizes in twips),
// and the one rule for texts that the design did not leave room for: the control grows
// just enough to show its text whole, and its frame and window with it. The designed
// fonts are not the desktop's (and 宋体 is a stand-in off Windows), so a text may need
// a few pixels more than its control was drawn with.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>
#include <utility>

class QGroupBox;

namespace platform {

// The design's unit: 15 twips a pixel.
inline constexpr int TwipsPerPixel = 15;

// A place or size in twips as whole pixels: the nearest, never less than none.
int twips(double value);

// Pixels as twips.
constexpr int inTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}
constexpr double inTwips(double pixels)
{
    return pixels * TwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

enum class WindowFrame {
    Dialog,  // fixed size, no minimise or maximise button
    Fixed,   // fixed size, the usual buttons
    Sizable, // the usual buttons, and the user may resize it
};

// Names the window, sets its caption and its client size in twips, and keeps its texts
// whole from then on (see fitTexts).
void designWindow(QWidget* window, const char* name, const QString& caption, int width, int height,
                  WindowFrame frame = WindowFrame::Dialog);

enum class Sizing {
    Design, // the design size, or more where the text needs it
    ToText, // as large as its text, from its design left and top
};

// Puts a control at its design place (twips, relative to its parent).
void place(QWidget* control, int left, int top, int width, int height, Sizing sizing = Sizing::Design);

// A control named as in the design, at its design place; args go to its constructor
// before the parent.
template <class W, class... Args>
W* control(QWidget* parent, const char* name, int left, int top, int width, int height, Args&&... args)
{
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    place(w, left, top, width, height);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height,
              Sizing sizing = Sizing::Design);
QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height);
// Masked with "*" for every character.
QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width, int height);
void maskWithStars(QLineEdit* field);
QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int left, int top, int width, int height);

void setTextColour(QWidget* control, const QColor& colour);
// 宋体 (SimSun) of the design; another face stands in where it is missing.
QFont songFont(double points, bool bold = false);

// The banner of a picture box: the product's name on its colour.
QLabel* banner(QWidget* parent, int left, int top, int width, int height);

enum class Picture { Tick, Cross };
// A picture button without caption: an 85 x 25 pixel picture of a green tick or a red
// cross and the word.
QPushButton* pictureButton(QWidget* parent, const char* name, Picture picture, const QString& word, int left,
                           int top, int width, int height);

// Once the controls stand: the windows open with no owner to centre on. A window that
// grows before it is first shown stays centred.
void centreOnScreen(QWidget* window);

// Grows every placed control of the window whose text, in its font, does not fit its
// design size, by just what it lacks (a word-wrapped label grows downwards), then every
// frame and the window itself that would no longer hold their controls. Controls are
// never made smaller than designed. A designed window does this by itself whenever it
// is shown or one of its texts or fonts changes.
void fitTexts(QWidget* window);

} // namespace platform
