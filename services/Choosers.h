// File and folder choosers, and the long-path routine. Each returns the empty string for
// "nothing chosen or found"; callers then leave their field alone.
#pragma once

#include <QString>

class QWidget;

// Where a chooser opens: `setting` when it names an existing directory other than the program's
// own (the setting's default), else the home folder.
QString StartingDirectory(const QString& setting);
// `filter` is pairs of description, NUL, ";"-separated patterns (e.g. "WAVﾌｧｲﾙ" NUL "*.wav"),
// each pair one NUL from the next; the first pair is selected. Opens in
// StartingDirectory(initialDirectory). Returns the chosen existing file's whole path.
QString PickFile(QWidget* owner, const QString& filter, const QString& initialDirectory, const QString& title);
// Opens in StartingDirectory(initialDirectory), modal to `owner` only. Returns the chosen
// directory's whole path.
QString PickFolder(QWidget* owner, const QString& title, const QString& initialDirectory);
// The absolute form of `path` with every component looked up on disk, hidden entries
// included; empty when some component does not exist.
QString ToLongPath(const QString& path);
