#pragma once
// Texts and sizes of the console window that the service program writes as well, and the
// commands that start, stop and configure the OpenVPN service.

#include <array>
#include <string_view>

namespace console {

// Status panel 2.
inline constexpr std::u16string_view RunningText = u"VPN服务：正在运行中...";
inline constexpr std::u16string_view StoppedText = u"VPN服务：处于停止状态...";

// Row 0 of the log grid, columns 0 to 3 (column 4 has no header).
inline constexpr std::array<std::u16string_view, 4> GridHeader = {u"类别", u"日期", u"时间", u"日志内容"};
// Column widths of the normal window, twips.
inline constexpr std::array<int, 4> NormalColumnWidths = {600, 1500, 900, 8000};

// Category of every log row.
inline constexpr std::u16string_view LogCategory = u"提示";

inline constexpr std::u16string_view StartServiceCommand = u"cmd /c NET START openvpnservice";
inline constexpr std::u16string_view StopServiceCommand = u"cmd /c NET STOP openvpnservice";
// Started at boot, or only when asked.
inline constexpr std::u16string_view BootStartCommand = u"sc config OpenVPNService start= auto";
inline constexpr std::u16string_view DemandStartCommand = u"sc config OpenVPNService start= demand";

} // namespace console
