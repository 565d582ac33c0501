// Desktop tests: a virtual display with a window manager comes up before the
// QApplication, which then runs on it (xcb), as the programs do on a desktop.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>

#include "platform/gui/desktop_look.h"
#include "virtual_desktop.h"

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();

    std::optional<testsupport::VirtualDesktop> desktop;
    desktop.emplace();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        platform::setUpChineseDesktop();
        result = RUN_ALL_TESTS();
    }
    return result;
}
