// The command-line scanner, a small state machine over the characters.
#include "shell/CommandLine.h"

QStringList SplitCommandLine(const QString& commandLine, int maximum)
{
    QStringList arguments{QString()};
    int count = 0;
    bool inArgument = false;
    bool inQuotes = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            continue;
        }
        const bool blank = c == u' ' || c == u'\t';
        if (!blank) {
            if (!inArgument) {
                if (count == maximum)
                    break;
                ++count;
                arguments << QString();
                inArgument = true;
            }
            arguments[count] += c;
        } else if (inQuotes) {
            arguments[count] += c;
        } else {
            inArgument = false;
        }
    }
    return arguments;
}

QStringList StartupNames(const QStringList& arguments)
{
    return arguments.mid(1, 10);
}
