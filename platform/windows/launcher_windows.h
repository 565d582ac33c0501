#pragma once
// Starting programs on Windows: CreateProcessW with the command line as it stands, the
// window shown or hidden, never waited for.

#include "platform/launcher.h"

namespace platform {

class WindowsLauncher final : public Launcher {
public:
    bool launch(std::u16string_view commandLine, int windowStyle) override;
};

} // namespace platform
