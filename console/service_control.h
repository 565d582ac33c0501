#pragma once
// The VPN service actions of the console (query, start, stop) with the differences of
// their entry points, and the decisions of the tree and toolbar dispatchers.

#include <cstddef>
#include <optional>
#include <string_view>

namespace console {

inline constexpr std::u16string_view ServiceMoniker = u"winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2";
inline constexpr std::u16string_view ServiceQuery = u"Select * from Win32_Process Where Name='openvpnserv.exe'";

// The number of running OpenVPN service programs; nothing when WMI refuses the moniker
// or the query (each caller decides what that means).
std::optional<std::size_t> ServiceStateQuery();

// What the actions change in the console window.
class ServiceConsole {
public:
    virtual ~ServiceConsole() = default;
    // Every cell emptied, then the header row written.
    virtual void resetLogGrid() = 0;
    // Form_Resize for the current window state.
    virtual void relayout() = 0;
    virtual void setLogInterval(int milliseconds) = 0;
    virtual void setServiceText(std::u16string_view text) = 0;
};

enum class EntryPoint { Menu, Tree, Toolbar };

void queryAction();
void startAction(ServiceConsole& console, EntryPoint from);
void stopAction(ServiceConsole& console, EntryPoint from);
// The tree's 最新日志: empty grid with its header, laid out again; timer and panel 2 stay.
void resetLog(ServiceConsole& console);

enum class TreeCommand { None, OpenCansu, OpenZhanghao, Start, Stop, Query, ResetLog };
enum class ToolbarCommand { None, Exit, Start, Stop, OpenCansu, OpenAbout, Help };

// Keys are compared whole and case-sensitively; anything else is None.
TreeCommand treeCommand(std::u16string_view key);
ToolbarCommand toolbarCommand(std::u16string_view key);

} // namespace console
