// The icon's popup menu: open either job window, the options, the version box, or exit.
#pragma once

#include <QWidget>

class QAction;
class QMenu;

// Never shown: it only owns the menu, which pops up at the mouse.
class menuform final : public QWidget {
    Q_OBJECT

public:
    menuform();

    // Pops the menu up at `globalPosition`, or closes it.
    void popup(const QPoint& globalPosition);
    void closeMenu();

    void openMelt();
    void openFreeze();
    void openOptions();
    void showVersion();
    void endProgram();

private:
    QMenu* omenu = nullptr;
    QAction* mmelt = nullptr;
    QAction* mfreeze = nullptr;
    QAction* moption = nullptr;
    QAction* mabout = nullptr;
    QAction* mend = nullptr;
};

// Creates the menu window on first use and pops its menu up at `globalPosition`.
void PopupIconMenu(const QPoint& globalPosition);
menuform* ExistingMenuForm();
void UnloadMenuForm();

// "Tembrel Ver." followed by major, ".", minor and revision ("2.00" for 2.0.0).
QString VersionText(int major, int minor, int revision);
