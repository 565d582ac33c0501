// Window tests need a QApplication; they run offscreen, with no display.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/gui/desktop_look.h"

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::setUpChineseDesktop();
    return RUN_ALL_TESTS();
}
