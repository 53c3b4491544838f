// Reception of files dropped on the icon, compression and extraction windows.
#pragma once

#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

// What a window does with the names of a drop; it runs inside the drop, so it only records
// and flags, and leaves any window work to later.
using DropStep = std::function<void(const QStringList& names)>;

// Marks `window` as a drop target: its child controls pass file drops to the window instead
// of taking them as text, and file drags are taken while the window has its drop procedure
// (without one, a drag over the window is refused, and shown so).
void AcceptFileDrops(QWidget* window);

// Installs the window's drop procedure, which hands each drop's names to `step`; the window's
// own handling still sees the drop. Installing twice is harmless: the first step stays.
void HookDropWindow(QWidget* window, DropStep step);
// Removes it again; a window without one is left unchanged.
void UnhookDropWindow(QWidget* window);
bool IsDropHooked(const QWidget* window);

// The dropped names: local file paths, whole, in the order the drag gave them.
QStringList DroppedPaths(const QMimeData* data);
