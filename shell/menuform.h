// The icon's popup menu: open either job window, the options, the version box, or exit.
#pragma once

#include <QWidget>

#include <optional>

class QAction;
class QMenu;
class Session;

// Never shown: it only owns the menu, which pops up at the mouse.
class menuform final : public QWidget {
    Q_OBJECT

public:
    explicit menuform(const Session& session);

    // Pops the menu up at `globalPosition`, or closes it.
    void popup(const QPoint& globalPosition);
    void closeMenu();

    void openMelt();
    void openFreeze();
    void openOptions();
    void showVersion();
    void endProgram();

signals:
    // The extraction window is to open, its archive field set when `archives` is given.
    void meltWanted(const std::optional<QString>& archives);
    void freezeWanted();
    void optionsWanted();
    // 終了: the program is to end, keeping the icon's place.
    void endWanted();

private:
    const Session& session_;
    QMenu* omenu = nullptr;
    QAction* mmelt = nullptr;
    QAction* mfreeze = nullptr;
    QAction* moption = nullptr;
    QAction* mabout = nullptr;
    QAction* mend = nullptr;
};

// "Tembrel Ver." followed by major, ".", minor and revision ("2.00" for 2.0.0).
QString VersionText(int major, int minor, int revision);
