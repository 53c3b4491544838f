// Reception of files dropped on the icon, compression and extraction windows.
#pragma once

#include <QStringList>

class QMimeData;
class QWidget;

// Marks `window` as a drop target: it accepts file drags anywhere on it, its child controls
// included (they pass file drops to the window instead of taking them as text).
void AcceptFileDrops(QWidget* window);

// Installs the window's drop procedure (icon, compression or extraction window, found in that
// order); installing twice is harmless and any other window changes nothing.
void HookDropWindow(QWidget* window);
// Removes it again; a window without one, or any other window, is left unchanged.
void UnhookDropWindow(QWidget* window);
bool IsDropHooked(const QWidget* window);

// The dropped names: local file paths, whole, in the order the drag gave them.
QStringList DroppedPaths(const QMimeData* data);
