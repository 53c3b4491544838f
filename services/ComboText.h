// The directory combo boxes show what the user typed and nothing else.
#pragma once

class QComboBox;

// Takes the editable `combo`'s inline completion away (it typed ahead and changed the case of
// what was typed on Enter) and offers the history as a case-sensitive popup instead, so the
// text shown is exactly the text a job uses.
void KeepTypedText(QComboBox* combo);
