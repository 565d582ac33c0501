#pragma once
// What the three windows share: controls made from the design data (positions and
// sizes in twips), centred opening, the picture buttons with a tick or a cross and
// their word, and the save that tells the user when a file could not be written.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <vector>

#include "config/files.h"

namespace config {

void place(QWidget* widget, int left, int top, int width, int height);

// A window without minimise and maximise buttons, and of a fixed size.
void fixedDialogFrame(QWidget* window, int clientWidth, int clientHeight);

void centreOnScreen(QWidget* window);

// A label; autoSize makes it as large as its text from its left and top.
QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height,
              bool autoSize = false);
QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height);
// Masked with "*" for every character.
QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width, int height);

// Saves the files all or nothing; when one cannot be written, a warning names it and
// the caller leaves the window open with its fields.
bool saveOrWarn(const std::vector<FileLines>& files);

enum class Picture { Tick, Cross };

// A picture of 85 x 25 pixels: a green tick or a red cross, and the word.
QPushButton* pictureButton(QWidget* parent, const char* name, Picture picture, const QString& word);

} // namespace config
