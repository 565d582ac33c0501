#pragma once
// The hardware string of this PC (processor id, main-board serial numbers, the first
// network adapter's MAC address) and the hardware feature code made from it. The
// parameter window's button and its save both use these, so that they agree.

#include <optional>
#include <string>

namespace config {

// The MACAddress of the first non-Microsoft adapter that has one, as WMI gives it;
// empty when no adapter matches, nothing when WMI fails.
std::optional<std::u16string> GetMacAddress();

// Every part that cannot be read is left out, so the string may be empty.
std::u16string hardwareString();

// The upper-case MD5 digest of the hardware string: 32 hexadecimal digits.
std::u16string hardwareFeatureCode();

} // namespace config
