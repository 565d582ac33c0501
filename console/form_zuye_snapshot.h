#pragma once
// For end-to-end tests of the console programs, which cannot look into another process:
// when CORVANE_CONSOLE_SNAPSHOT names a file, the console writes what it shows into it
// (UTF-8) once it is shown and after every log tick.

namespace console {

class form_zuye;

void writeSnapshotsFromEnvironment(form_zuye& window);

} // namespace console
