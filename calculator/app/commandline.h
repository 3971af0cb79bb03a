// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the program settles from its command line before it opens any window,
// so that --help and --version need no display at all.
// Everything else on the command line is the main window's to read (/TEST).
namespace caldrin {

enum class CommandLineRequest { RunCalculator, PrintHelp, PrintVersion };

// Only the first argument counts, as it does for /TEST.
CommandLineRequest commandLineRequest(int argc, const char* const* argv);

// The --help text, naming where the help file and the help viewer are found
// for a program in `programDirectory`.
QString usageText(const QString& programDirectory);

} // namespace caldrin
