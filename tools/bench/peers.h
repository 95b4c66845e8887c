#pragma once
// The command-line programs Framzo is compared with, run and timed as
// separate processes.

#include <QString>
#include <QStringList>

namespace peers {

// Runs program with args (found on PATH), its output to /dev/null unless
// args name a file, with extra environment settings ("NAME=value").
// Returns the wall time in milliseconds, or a negative value when the
// program could not be run or failed.
double run(const QString &program, const QStringList &args, const QStringList &env = {});

// Runs a shell command line with /bin/sh -c; same return value as run().
double shell(const QString &commandLine, const QStringList &env = {});

// Single-quoted for the shell.
QString quoted(const QString &text);

} // namespace peers
