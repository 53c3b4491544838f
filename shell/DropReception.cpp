// Drop procedures as event filters in front of the windows' own event handling. A filter only
// passes the names to the step it was given; what a drop means is the shell's business.
#include "shell/DropReception.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

const char kFilterName[] = "tembrelDropProcedure";

class DropFilter final : public QObject {
public:
    DropFilter(QWidget* window, DropStep step) : QObject(window), step_(std::move(step))
    {
        setObjectName(QLatin1String(kFilterName));
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Drop) {
            const QStringList names = DroppedPaths(static_cast<QDropEvent*>(event)->mimeData());
            if (!names.isEmpty())
                step_(names);
        }
        return false;
    }

private:
    DropStep step_;
};

DropFilter* filterOf(const QWidget* window)
{
    return window ? window->findChild<DropFilter*>(QLatin1String(kFilterName), Qt::FindDirectChildrenOnly) : nullptr;
}

// Takes file drags for the window while it has a drop procedure, and refuses them otherwise,
// so the pointer shows whether a drop would do anything.
class FileDragAcceptor final : public QObject {
public:
    explicit FileDragAcceptor(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (DroppedPaths(drop->mimeData()).isEmpty())
                break;
            if (filterOf(window_)) {
                drop->acceptProposedAction();
            } else {
                drop->setDropAction(Qt::IgnoreAction);
                drop->ignore();
                return event->type() != QEvent::Drop;  // the window's own handling must not take it
            }
            break;
        }
        default: break;
        }
        return false;
    }

private:
    QWidget* window_;
};

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

void HookDropWindow(QWidget* window, DropStep step)
{
    if (!window || filterOf(window))
        return;
    window->installEventFilter(new DropFilter(window, std::move(step)));
}

void UnhookDropWindow(QWidget* window)
{
    if (DropFilter* filter = filterOf(window)) {
        window->removeEventFilter(filter);
        delete filter;
    }
}

bool IsDropHooked(const QWidget* window)
{
    return filterOf(window) != nullptr;
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
