#pragma once
// What the service program writes into the console window it carries (hidden): the log
// grid, the log timer and status panel 2. The window is loaded, with its own start-up,
// on the first write.

#include <string_view>

namespace lookup {

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    // Empties every cell of the grid; it keeps its rows and columns.
    virtual void clearGrid() = 0;
    virtual void setCell(int row, int column, std::u16string_view text) = 0;
    virtual void setColumnWidth(int column, int twips) = 0;
    virtual void setTimerInterval(int milliseconds) = 0;
    // Panels count from 1.
    virtual void setPanelText(int panel, std::u16string_view text) = 0;
};

} // namespace lookup
