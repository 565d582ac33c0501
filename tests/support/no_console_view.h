#pragma once
// A console window for the service program's code that takes every write and keeps
// nothing, for tests that look elsewhere (the files, the launches, the windows' texts).

#include <string_view>

#include "lookup/console_view.h"

namespace testsupport {

class NoConsoleView final : public lookup::ConsoleView {
public:
    void clearGrid() override {}
    void setCell(int, int, std::u16string_view) override {}
    void setColumnWidth(int, int) override {}
    void setTimerInterval(int) override {}
    void setPanelText(int, std::u16string_view) override {}
};

} // namespace testsupport
