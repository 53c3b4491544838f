// A group of option buttons as one stop of the Tab key.
#pragma once

class QButtonGroup;

// Only the checked button of `group` takes the focus from Tab; the arrow keys move the choice
// to the previous or next button of the group, in the order the buttons were added.
void MakeOneTabStop(QButtonGroup* group);
