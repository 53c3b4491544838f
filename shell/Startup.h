// Start-up: first-run association, global options, then the command line or the icon.
#pragma once

#include <QStringList>

class Session;

// Runs the icon window's initialisation and load for the given names (the arguments after the
// program's name). With names, the extraction window opens for the first ten and the icon
// stays hidden; without, the icon appears at its saved place. The run starts with a fresh
// Session whose plug-ins are looked for in `pluginDirectory` (empty: the program's own
// directory).
void StartProgram(const QStringList& names, const QString& pluginDirectory = {});

// --extract-to: as a start with names, for every one of `archives` (a drop has no limit of ten);
// the program ends when the extraction window ends.
void StartWithArchives(const QStringList& archives, const QString& pluginDirectory = {});

// The start of an action that shows no window of its own: a fresh Session, initialised as
// every start initialises it (the first start's association, the global options).
Session& StartForAction(const QString& pluginDirectory = {});
