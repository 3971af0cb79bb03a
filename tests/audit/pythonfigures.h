// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

namespace caldrin::audit::testing {

// Runs a reference script (`command`, for the shell) and reads its lines of
// "<group> <name> <value>" into figures keyed "<group> <name>". The script
// failing fails the test.
inline std::map<std::string, double> pythonFigures(const std::string& command) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while (pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    if (pipe) {
        EXPECT_EQ(::pclose(pipe), 0) << text;
    }
    std::map<std::string, double> figures;
    std::istringstream lines(text);
    std::string group, name, value;
    while (lines >> group >> name >> value)
        figures[group + " " + name] = std::stod(value);
    return figures;
}

} // namespace caldrin::audit::testing
