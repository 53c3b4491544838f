// Keeps a window out of task bars and pagers.
#pragma once

class QWidget;

// On X11, asks the window manager (through _NET_WM_STATE, before the window is first shown) to
// leave the window out of task bars and pagers. Other platforms: nothing to do.
void KeepOffTaskbar(QWidget* window);
