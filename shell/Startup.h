// Start-up: first-run association, global options, then the command line or the icon.
#pragma once

#include <QStringList>

// Runs the icon window's initialisation and load for the given names (the arguments after the
// program's name). With names, the extraction window opens for them and the icon stays
// hidden; without, the icon appears at its saved place. The run starts with a fresh Session
// whose plug-ins are looked for in `pluginDirectory` (empty: the program's own directory).
void StartProgram(const QStringList& names, const QString& pluginDirectory = {});
