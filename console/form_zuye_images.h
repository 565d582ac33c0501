#pragma once
// The console window's pictures, drawn at 16 x 16 pixels.

#include <QIcon>
#include <QList>

namespace console::images {

// The 13 pictures of the navigation tree, in image-list order.
QList<QIcon> treePictures();
// The 6 pictures of the toolbar, in image-list order.
QList<QIcon> toolbarPictures();
QIcon programIcon();
// Not the program's icon, so the tray entry reads as "the console is hidden here".
QIcon trayIcon();

} // namespace console::images
