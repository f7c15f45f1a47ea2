// The program's few options, for the operator and for support: where it keeps its files and which
// definitions it lists, its version, and a short help. They need no display. Without them the window opens;
// other arguments (Qt's own, such as -platform) are left to the window as before.
#pragma once

#include <QStringList>

#include "app/main_window.h"

namespace velnorex {

// True when the arguments (the program first) ask for one of the options instead of the window.
bool IsCommandLineRequest(const QStringList& arguments);

// Answers the request on stdout; returns the exit code: 0, or 2 for a usage error (on stderr).
int RunCommandLine(const QStringList& arguments, const TForm1::Paths& paths);

}  // namespace velnorex
