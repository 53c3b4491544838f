// The command line: splitting a raw one into its arguments, and what the arguments ask for.
#pragma once

#include <QString>
#include <QStringList>

// Arguments are separated by blanks or tabs; a double quote toggles quoting and is dropped, so
// blanks inside quotes belong to the argument (and a quoted blank before any argument goes to
// slot 0). Scanning stops when a (maximum + 1)th argument would begin. The result holds slot 0
// (no argument) and the arguments at 1 to n.
QStringList SplitCommandLine(const QString& commandLine, int maximum = 10);

enum class StartAction {
    Open,         // no option: the icon, or the extraction window for the names
    ExtractHere,  // --extract-here ARCHIVE...
    ExtractTo,    // --extract-to ARCHIVE...
    CompressLzh,  // --compress-lzh PATH...
    CompressZip,  // --compress-zip PATH...
    Help,         // --help
    Wrong,        // an unknown option, two actions, or an action without names
};

struct StartCommand {
    StartAction action = StartAction::Open;
    QStringList names;
    QString wrong;  // for Wrong: what is wrong and what to do, in Japanese
};

// Reads the arguments after the program's name. Options come before the names; "--" ends them,
// so that a name may start with "-"; a lone "-" is a name. --help before "--" wins over the rest.
StartCommand ParseStartCommand(const QStringList& arguments);

// The list of the ways to start the program, for --help: Japanese, with English beside.
QString HelpText();
