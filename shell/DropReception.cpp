// Drop procedures as event filters in front of the windows' own event handling. A filter only
// records the names and raises a flag (icon, compression window) or fills the archive field
// (extraction window); the window's own handling still sees the drop, and all window work
// happens later on a timer tick, never inside the drop.
#include "shell/DropReception.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "services/Session.h"
#include "shell/Windows.h"
#include "shell/iconform.h"

namespace {

void IconDropProc(const QStringList&)
{
    ProgramSession().IconDropPending = kSet;
}

void FreezeDropProc(const QStringList&)
{
    ProgramSession().FreezeDropPending = kSet;
}

void MeltDropProc(const QStringList& names)
{
    if (meltform* melt = ExistingMeltWindow())
        melt->Text1->setText(QuotedList(names));
}

using DropStep = void (*)(const QStringList&);

class DropFilter final : public QObject {
public:
    DropFilter(QWidget* window, DropStep step) : QObject(window), step_(step) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Drop) {
            const QStringList names = DroppedPaths(static_cast<QDropEvent*>(event)->mimeData());
            if (!names.isEmpty()) {
                ProgramSession().RecordDroppedFiles(names);
                step_(names);
            }
        }
        return false;
    }

private:
    DropStep step_;
};

// Accepts file drags for the window whether or not a drop procedure is in place.
class FileDragAcceptor final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!DroppedPaths(drop->mimeData()).isEmpty())
                drop->acceptProposedAction();
            break;
        }
        default: break;
        }
        return false;
    }
};

struct Slot {
    QPointer<QWidget> window;
    QPointer<DropFilter> filter;
};

Slot& slotOf(int kind)
{
    static Slot dropSlots[3];
    return dropSlots[kind];
}

// The window's kind in the order icon, compression, extraction; -1 for any other window.
int kindOf(const QWidget* window)
{
    if (!window)
        return -1;
    if (window == IconWindow())
        return 0;
    if (window == ExistingFreezeWindow())
        return 1;
    if (window == ExistingMeltWindow())
        return 2;
    return -1;
}

constexpr DropStep kSteps[3] = {IconDropProc, FreezeDropProc, MeltDropProc};

}  // namespace

void AcceptFileDrops(QWidget* window)
{
    window->setAcceptDrops(true);
    for (QWidget* child : window->findChildren<QWidget*>())
        child->setAcceptDrops(false);
    constexpr char kMarked[] = "tembrelAcceptsFileDrops";
    if (!window->property(kMarked).toBool()) {
        window->setProperty(kMarked, true);
        window->installEventFilter(new FileDragAcceptor(window));
    }
}

void HookDropWindow(QWidget* window)
{
    const int kind = kindOf(window);
    if (kind < 0)
        return;
    Slot& slot = slotOf(kind);
    if (slot.filter && slot.window == window)
        return;
    slot.window = window;
    slot.filter = new DropFilter(window, kSteps[kind]);
    window->installEventFilter(slot.filter);
}

void UnhookDropWindow(QWidget* window)
{
    const int kind = kindOf(window);
    if (kind < 0)
        return;
    Slot& slot = slotOf(kind);
    if (!slot.filter)
        return;
    if (slot.window)
        slot.window->removeEventFilter(slot.filter);
    delete slot.filter;
    slot = Slot{};
}

bool IsDropHooked(const QWidget* window)
{
    const int kind = kindOf(window);
    return kind >= 0 && slotOf(kind).filter && slotOf(kind).window == window;
}

QStringList DroppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}
