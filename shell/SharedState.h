// State shared by the windows for the whole run: the latest drop and the hand-off flags.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The latest drop or command line, in order, in slots 0 to DroppedCount - 1, with one slot
// more (slot 0 exists, empty, before any drop). Each drop replaces the whole list.
extern QStringList DroppedFiles;
extern qint16 DroppedCount;

// Flags: -1 set, 0 clear.
extern qint16 IconDropPending;    // a drop on the icon waits for the icon's timer
extern qint16 FreezeDropPending;  // a drop on the compression window waits for its timer
extern qint16 StartedWithFiles;   // started with names: the extraction window ends the program

inline constexpr qint16 kSet = -1;
inline constexpr qint16 kClear = 0;

// Replaces the list with `names` (DroppedCount = their number, one extra slot kept).
void RecordDroppedFiles(const QStringList& names);

// One name alone without quotes; two or more each in double quotes, one blank between.
QString QuotedList(const QStringList& names);

// True when the name's last four characters, lower-cased, are ".lzh" or ".zip".
bool IsArchiveName(const QString& name);
