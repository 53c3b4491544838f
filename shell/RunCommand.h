// What the program does for its command line, once the application object exists.
#pragma once

#include "shell/CommandLine.h"

// Runs `command` to its end and returns the exit status: 0 success, 1 failed or cancelled, 2 a
// wrong command line (said on stderr and, for a dock that started an action without files, in a
// message box).
int RunStartCommand(const StartCommand& command);

// --help on stdout; status 0.
int PrintHelp();
