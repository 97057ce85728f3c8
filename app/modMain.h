// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The program's start: connect at once to the host named on the command line, or offer the
// connection selection dialog when none is named.
#pragma once

#include <QString>
#include <QStringList>

namespace zeb {

// The host name a command line names: every argument after the program name joined by single
// spaces (as the one command-line text of the platform would hold them), without leading and
// trailing spaces. Several words make one host name; an empty text names none.
QString commandLineHost(const QStringList& arguments);

// What "zeb --help" or "zeb -h" (the usage) and "zeb --version" print: a Linux user expects them,
// and they need no display. Null for every other command line, which names a host or none. The
// words are matched against the whole host text, so no host record can be launched by them.
QString commandLineInformation(const QStringList& arguments);

// Runs ZEB for the program's arguments (arguments[0] is the program) and returns its exit
// status: 0 after a launch, a declined launch or a closed dialog; 1 after an error report.
int Main(const QStringList& arguments);

} // namespace zeb
