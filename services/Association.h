// Registers the program as the handler of LZH and ZIP archives for the current user.
#pragma once

#include <QString>

// Writes the desktop entry "pellum-file.desktop" (class "Pellum file", action "解凍", starting
// this program with the archive's path) under $XDG_DATA_HOME/applications and makes it the
// default for the LZH and ZIP types in $XDG_CONFIG_HOME/mimeapps.list, keeping every other line
// of that file. Running it again leaves the same files. Failures are silent: the association is
// a convenience and the program works without it.
void AssociateArchives();

// The command that the association runs: this program's path, quoted for a desktop entry.
QString AssociationExec(const QString& programPath);

// `mimeapps` with our defaults set in [Default Applications], every other line kept.
QString WithOurDefaults(const QString& mimeapps);
