// The five most recent destinations of the extraction window, kept for the whole run.
#pragma once

#include <QStringList>

class QComboBox;

// Six slots: 0 to 4 hold the recent destinations, newest first; slot 5 is never used.
extern QStringList MeltDirHistory;

// Enters `directory` as the newest destination unless it equals one of the five (exactly,
// case included); the oldest drops out. Returns whether the history changed.
bool RecordMeltDirectory(const QString& directory);

// Inserts the five entries at the top of the combo box's list, newest first, keeping its
// text. Rows already in the list stay below them.
void ShowMeltDirHistory(QComboBox* combo);
