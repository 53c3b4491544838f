// The program: its one Session and its windows. Each window exists at most once, is created on
// first use and, once unloaded, is created afresh with its controls at their initial values.
// Only the shell creates windows; the job windows and the options window ask for the others
// through their signals, which are connected here.
#pragma once

class QWidget;
class Form1;
class Session;
class iconform;
class meltform;
class freezeform;

// The state of the running program (a fresh one before start-up).
Session& ProgramSession();
// Starts the state of a new run of the program, forgetting the old one's windows' state.
void StartSession();

iconform* IconWindow();  // the icon window of this run, or nullptr before start-up / after exit
void SetIconWindow(iconform* window);

meltform* MeltWindow();  // created if needed
meltform* ExistingMeltWindow();
freezeform* FreezeWindow();  // created if needed
freezeform* ExistingFreezeWindow();

// The last steps of every opener of a job window: show it (not modal, normal state, in
// front), let it accept dropped files and install its drop procedure.
void ShowJobWindow(QWidget* window);

// Unloads a window: it disappears at once, is forgotten by its owner (the next use creates
// it afresh) and is deleted when control returns to the event loop. Does nothing for nullptr.
void UnloadWindow(QWidget* window);

// Unloads the icon window, which unloads every other window, and ends the program.
void EndProgram();
// The user asked to end the program (終了, closing the icon): while a job runs, asks once
// whether to stop it, and ends once it stopped; otherwise ends at once. Returns false when
// the user chose to let the job go on.
bool RequestEndProgram(QWidget* asker);

// True (after telling the user that one job runs at a time) while a job runs.
bool RefusedWhileJobRuns(QWidget* asker);

// A fresh options window over `opener`, filled (Intoform) and connected to the program; the
// caller shows it. OpenOptionsWindow shows it modally and deletes it when closed.
Form1* CreateOptionsWindow(QWidget* opener);
void OpenOptionsWindow(QWidget* opener);
