// The directory combo boxes' completion.
#include "services/ComboText.h"

#include <QComboBox>
#include <QCompleter>

void KeepTypedText(QComboBox* combo)
{
    // Enter looks the text up among the rows with the completer's case rule and selects the
    // row it finds: with a case-sensitive rule that row is the text itself.
    auto* completer = new QCompleter(combo->model(), combo);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    combo->setCompleter(completer);
}
