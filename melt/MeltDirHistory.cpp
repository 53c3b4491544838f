// The extraction window's destination history.
#include "melt/MeltDirHistory.h"

#include <QComboBox>

QStringList MeltDirHistory(6);

bool RecordMeltDirectory(const QString& directory)
{
    for (int i = 0; i < 5; ++i) {
        if (MeltDirHistory[i] == directory)
            return false;
    }
    for (int i = 4; i > 0; --i)
        MeltDirHistory[i] = MeltDirHistory[i - 1];
    MeltDirHistory[0] = directory;
    return true;
}

void ShowMeltDirHistory(QComboBox* combo)
{
    // Inserting into an empty list selects its first row, which would replace the text.
    const QString text = combo->currentText();
    for (int i = 4; i >= 0; --i)
        combo->insertItem(0, MeltDirHistory[i]);
    combo->setEditText(text);
}
