// Registers the program as the handler of LZH and ZIP archives for the current user.
#pragma once

#include <QString>

// The handler is a desktop entry that starts this program with the archive's path: the entry
// installed with the program ("io.github.tembrel.Tembrel.desktop") when the command it runs is
// this very program, else "pellum-file.desktop" (class "Pellum file", shown as "Tembrel", action
// "解凍"), written under $XDG_DATA_HOME/applications. Defaults go to
// $XDG_CONFIG_HOME/mimeapps.list, every other line of that file kept. Running either function
// again leaves the same files. Failures are silent: the association is a convenience and the
// program works without it.

// On purpose (the options window's button): the handler becomes the default for LZH and ZIP,
// replacing whatever was the default before.
void AssociateArchives();

// On the first start: the handler is registered for LZH and ZIP, and becomes the default only
// for a type that has no default yet, so the archive manager the user had keeps its types.
// A type has a default when some mimeapps.list the desktop reads names, for any of the type's
// names, a desktop entry that is installed.
void RegisterArchiveHandler();

// The command that the association runs: this program's path, quoted for a desktop entry.
QString AssociationExec(const QString& programPath);

// `mimeapps` with "pellum-file.desktop" as the default for LZH and ZIP in
// [Default Applications], every other line kept.
QString WithOurDefaults(const QString& mimeapps);
