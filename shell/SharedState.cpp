// Shared state of the run and the small rules on names that several windows apply.
#include "shell/SharedState.h"

#include <limits>

QStringList DroppedFiles{QString()};
qint16 DroppedCount = 0;
qint16 IconDropPending = kClear;
qint16 FreezeDropPending = kClear;
qint16 StartedWithFiles = kClear;

void RecordDroppedFiles(const QStringList& names)
{
    // The count is 16 bits wide; a drop of more names than it holds keeps the first 32767
    // rather than wrapping to a negative count.
    const qsizetype count = std::min<qsizetype>(names.size(), std::numeric_limits<qint16>::max());
    DroppedCount = static_cast<qint16>(count);
    DroppedFiles.resize(count + 1);
    for (qsizetype i = 0; i < count; ++i)
        DroppedFiles[i] = names[i];
}

QString QuotedList(const QStringList& names)
{
    if (names.size() == 1)
        return names.constFirst();
    QStringList quoted;
    for (const QString& name : names)
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    return quoted.join(QLatin1Char(' '));
}

bool IsArchiveName(const QString& name)
{
    const QString tail = name.right(4).toLower();
    return tail == QLatin1String(".zip") || tail == QLatin1String(".lzh");
}
