// The state of one run of the program: the latest drop, the hand-off flags, the global
// options, the extraction history and the loaded plug-ins. The shell owns one and hands it to
// the windows it creates; nothing else holds state for the whole run.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

#include "services/Pack.h"

inline constexpr qint16 kSet = -1;
inline constexpr qint16 kClear = 0;

// The five global options, loaded at start-up and changed only by the options window's OK.
struct GlobalOptions {
    QString DefaultBrowseDir;       // "Defdir": where the file choosers open
    QString SoundFile;              // "Snddir": played at the end of a job when NotifyMode is 1
    qint16 AlwaysOnTop = 0;         // "Check1": 1 keeps the icon above other windows, 0 at the bottom
    qint16 NotifyMode = 0;          // "Option1": 0 beep, 1 play SoundFile
    qint16 DefaultArchiveType = 0;  // "Option2": a name without extension means 0 LZH, 1 ZIP
};

GlobalOptions LoadGlobalOptions();
// Writes the five keys in the order "Snddir", "Defdir", "Check1", "Option1", "Option2".
void SaveGlobalOptions(const GlobalOptions& options);

class Session {
public:
    explicit Session(const QString& pluginDirectory = {}) : plugins(pluginDirectory) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The latest drop or command line, in order, in slots 0 to DroppedCount - 1, with one slot
    // more (slot 0 exists, empty, before any drop). Each drop replaces the whole list.
    QStringList DroppedFiles{QString()};
    qint16 DroppedCount = 0;

    // Flags: -1 set, 0 clear.
    qint16 IconDropPending = kClear;    // a drop on the icon waits for the icon's timer
    qint16 FreezeDropPending = kClear;  // a drop on the compression window waits for its timer
    qint16 StartedWithFiles = kClear;   // started with names: the extraction window ends the program

    GlobalOptions options;

    // Six slots: 0 to 4 hold the recent extraction destinations, newest first; 5 is never used.
    QStringList MeltDirHistory = QStringList(6);

    Pack::PluginLoader plugins;
    // The engine the jobs use: the plug-ins, unless a test put a scripted engine in place.
    Pack::Archivers& archivers() { return engine ? *engine : plugins; }
    Pack::Archivers* engine = nullptr;

    // One job at a time: set while a compression or extraction job runs.
    bool jobRunning = false;
    // Where the icon stands on the screen (empty when it is not shown): no progress window
    // covers it, so that its menu stays within reach.
    std::function<QRect()> keepClear;

    // Replaces the list with `names` (DroppedCount = their number, one extra slot kept).
    void RecordDroppedFiles(const QStringList& names);
};

// One name alone without quotes; two or more each in double quotes, one blank between.
QString QuotedList(const QStringList& names);

// Puts `directory` at the head of the first `size` entries of `history` unless it equals one of
// them (exactly, case included); the oldest drops out. Returns whether the history changed.
bool RememberDirectory(QStringList& history, const QString& directory, int size = 5);
