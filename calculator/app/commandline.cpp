// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "platform/helplocation.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace caldrin {
namespace {

QString describe(const QString& path) {
    return QFileInfo::exists(path) ? path : path + QStringLiteral(" (missing)");
}

} // namespace

CommandLineRequest commandLineRequest(int argc, const char* const* argv) {
    if (argc < 2)
        return CommandLineRequest::RunCalculator;
    if (std::strcmp(argv[1], "--help") == 0)
        return CommandLineRequest::PrintHelp;
    if (std::strcmp(argv[1], "--version") == 0)
        return CommandLineRequest::PrintVersion;
    return CommandLineRequest::RunCalculator;
}

QString usageText(const QString& programDirectory) {
    const QString helpFile =
        QDir(helpFileDirectory(programDirectory, kHelpFileName)).filePath(kHelpFileName);
    const QString viewer = helpViewerPath(programDirectory);
    return QStringLiteral("Usage: caldrin [/TEST]\n"
                          "       caldrin --help | --version\n"
                          "Surgical risk of one patient by the POSSUM family of equations.\n"
                          "\n"
                          "  /TEST      type the two score totals straight into the main window\n"
                          "             (letters in either case)\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the version and exit\n"
                          "\n"
                          "Only the first argument is read; any other is ignored.\n"
                          "The program needs a graphical display.\n"
                          "\n"
                          "Help file:   %1\n"
                          "Help viewer: %2\n")
        .arg(describe(helpFile), describe(viewer));
}

} // namespace caldrin
