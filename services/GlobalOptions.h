// The five global options, loaded at start-up and changed only by the options window's OK.
#pragma once

#include <QString>
#include <QtGlobal>

extern QString DefaultBrowseDir;   // "Defdir": where the file choosers open
extern QString SoundFile;          // "Snddir": played at the end of a job when NotifyMode is 1
extern qint16 AlwaysOnTop;         // "Check1": 1 keeps the icon above other windows, 0 at the bottom
extern qint16 NotifyMode;          // "Option1": 0 beep, 1 play SoundFile
extern qint16 DefaultArchiveType;  // "Option2": a name without extension means 0 LZH, 1 ZIP

void LoadGlobalOptions();
