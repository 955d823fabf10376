#pragma once

#include <optional>

// The program's command line, answered before anything else is made, so that
// no display is needed: --version and --help print their answer, an unknown
// option or an argument gets a one-line error. Qt's own options (-platform,
// -session, ... which the desktop may pass) and everything after
// --webEngineArgs are left to Qt.
// The status to end with at once, or none when the program is to run.
std::optional<int> answerCommandLine(int argc, char **argv);
