// Splitting a raw command line into its arguments.
#pragma once

#include <QString>
#include <QStringList>

// Arguments are separated by blanks or tabs; a double quote toggles quoting and is dropped, so
// blanks inside quotes belong to the argument (and a quoted blank before any argument goes to
// slot 0). Scanning stops when a (maximum + 1)th argument would begin. The result holds slot 0
// (no argument) and the arguments at 1 to n.
QStringList SplitCommandLine(const QString& commandLine, int maximum = 10);

// The names the program was started with: the first ten arguments after the program's name.
QStringList StartupNames(const QStringList& arguments);
