// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A built program as its users start it, with a bare environment, so that
// nothing of a desktop is there unless a case adds it ("NAME=value").
struct ProgramRun {
    QProcess::ExitStatus status;
    int code;
    QString out;
    QString err;
};

inline ProgramRun runWithBareEnvironment(const QString& program, const QStringList& arguments,
                                         const QStringList& environment = {}) {
    QProcessEnvironment env;
    // The sanitizer builds read their settings from here.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    for (const QString& setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus(), process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
