#pragma once
// The SSL VPN client: its settings file and the two command lines of the Java agent.

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/single_line.h"

namespace console::ssl_client {

// server.ini in the application folder.
std::u16string iniPath(std::u16string_view appPath);

// Whether server.ini can hold every value as typed: one line, of characters that the ANSI
// code page has, without NUL. When one cannot be held, a warning (title "警告") names its
// field and the result is false: then nothing may be written, so that the file never
// holds some new values beside old ones.
bool valuesFitOrWarn(std::initializer_list<platform::LineField> fields);

// The archive of the agent in the application folder.
std::u16string agentArchive(std::u16string_view appPath);

// Runs the agent with its fixed arguments through the console Java runtime.
std::u16string agentCommandLine(std::u16string_view appPath);
// Starts the windowed Java runtime on its own with the agent's login window.
std::u16string loginCommandLine(std::u16string_view appPath);

// Starts one of the command lines hidden. Without the agent's archive there is nothing
// to run: a warning names it and nothing is started.
bool launch(std::u16string_view appPath, std::u16string_view commandLine);

} // namespace console::ssl_client
