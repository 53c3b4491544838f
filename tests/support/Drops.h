// Synthetic file drops, delivered the way the window system delivers them: to the top-level
// window, which routes them to the widget under the point.
#pragma once

#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <QWindow>

// Drags `paths` over `target` at its centre (or at `at`, in target coordinates) and drops them
// there when the drag is taken. Returns whether the drop was accepted; a refused drag (the
// pointer showing that nothing would happen) is not dropped.
inline bool DropFiles(QWidget* target, const QStringList& paths, QPoint at = QPoint(-1, -1))
{
    QWidget* window = target->window();
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) {
        qWarning("DropFiles: window not exposed");
        return false;
    }
    if (at == QPoint(-1, -1))
        at = target->rect().center();
    const QPointF position = target->mapTo(window, at);
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QWindow* handle = window->windowHandle();
    QDragEnterEvent enter(position.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(position.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    QDropEvent drop(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &drop);
    return drop.isAccepted();
}
