#pragma once
// WMI on Windows: the moniker's namespace reached through the WbemLocator, the query run
// with ExecQuery as given, and every property of each answer read as text (null stays
// null). A moniker, connection or query that fails gives nothing, never an empty answer.

#include <optional>
#include <string>
#include <string_view>

#include "platform/wmi.h"

namespace platform {

// The namespace path that a "winmgmts:" moniker names, as ConnectServer takes it:
// "\\.\root\cimv2" or "root\cimv2"; WMI's default namespace (root\cimv2) when the moniker
// names none. Nothing when the moniker is no "winmgmts:" moniker or names an object.
std::optional<std::u16string> wmiNamespaceOf(std::u16string_view moniker);

class WindowsWmi final : public Wmi {
public:
    std::optional<WmiAnswer> execQuery(std::u16string_view moniker, std::u16string_view wql, int flags = 0) override;
};

} // namespace platform
