// Tab and arrow keys in a group of option buttons.
#include "services/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QKeyEvent>

namespace {

class ArrowKeys final : public QObject {
public:
    explicit ArrowKeys(QButtonGroup* group) : QObject(group), group_(group) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                         : key == Qt::Key_Up || key == Qt::Key_Left  ? -1
                                                                     : 0;
        const QList<QAbstractButton*> buttons = group_->buttons();
        const auto at = buttons.indexOf(static_cast<QAbstractButton*>(watched));
        if (step == 0 || at < 0)
            return false;
        QAbstractButton* next = buttons[(at + step + buttons.size()) % buttons.size()];
        next->setChecked(true);
        next->setFocus(Qt::TabFocusReason);
        return true;
    }

private:
    QButtonGroup* group_;
};

void takeTabFocus(QButtonGroup* group)
{
    for (QAbstractButton* button : group->buttons())
        button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

}  // namespace

void MakeOneTabStop(QButtonGroup* group)
{
    auto* keys = new ArrowKeys(group);
    for (QAbstractButton* button : group->buttons())
        button->installEventFilter(keys);
    takeTabFocus(group);
    QObject::connect(group, &QButtonGroup::buttonToggled, group, [group] { takeTabFocus(group); });
}
