// Window tests need a QApplication; they run offscreen, with no display.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/gui/desktop_look.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::setUpChineseDesktop();
    return RUN_ALL_TESTS();
}
