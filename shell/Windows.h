// The program's windows: each exists at most once, is created on first use and, once
// unloaded, is created afresh with its controls at their initial values.
#pragma once

class QWidget;
class iconform;
class meltform;
class freezeform;

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
