// The program: its one Session and its windows. Each window exists at most once, is created on
// first use and, once unloaded, is created afresh with its controls at their initial values.
// Only the shell creates windows; the job windows and the options window ask for the others
// through their signals, which are connected here.
#pragma once

#include <QString>
#include <optional>

class QPoint;
class QWidget;
class Form1;
class Session;
class iconform;
class meltform;
class freezeform;
class menuform;

// The state of the running program (a fresh one before start-up).
Session& ProgramSession();
// Starts the state of a new run of the program, forgetting the old one's windows' state.
void StartSession();

// Creates the icon window of this run, connected to the program.
iconform* CreateIconWindow();
iconform* IconWindow();  // the icon window of this run, or nullptr before start-up / after exit
meltform* ExistingMeltWindow();
freezeform* ExistingFreezeWindow();

// The openers of the job windows, as the icon, its menu, the other job window and start-up
// open them: the icon stops taking drops, the window (created if needed) is filled and loaded,
// shown in front, and takes drops. `archives`, when given, goes into the archive field.
meltform* OpenMeltWindow(const std::optional<QString>& archives = std::nullopt);
freezeform* OpenFreezeWindow();
// The icon takes drops again: its drop procedure is back.
void GiveDropsToIcon();

// Creates the menu window on first use and pops its menu up at `globalPosition`.
void PopupIconMenu(const QPoint& globalPosition);
menuform* ExistingMenuForm();
void UnloadMenuForm();
// Unloads a window: it disappears at once, is forgotten by its owner (the next use creates
// it afresh) and is deleted when control returns to the event loop. Does nothing for nullptr.
void UnloadWindow(QWidget* window);

// Unloads the icon window, which removes its shape and unloads the compression window, the
// extraction window and the menu window without their own closing steps; the program ends.
void EndProgram();
// The user or the system asked to end the program: 終了 (which also saves the icon's place,
// `savePlace`), closing the icon, or a termination signal. While a job runs, its window asks
// whether to stop it (not for a signal: `ask` false) and the program ends once the job
// stopped or ended; otherwise it ends at once.
void RequestEndProgram(bool savePlace, bool ask = true);

// A fresh options window over `opener`, filled (Intoform) and connected to the program; the
// caller shows it. OpenOptionsWindow shows it modally and deletes it when closed.
Form1* CreateOptionsWindow(QWidget* opener);
void OpenOptionsWindow(QWidget* opener);
