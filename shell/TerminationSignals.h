// SIGTERM and SIGHUP (logout, a service stop, `timeout`) as requests to end the program.
#pragma once

#include <functional>

// From now on SIGTERM and SIGHUP run `onSignal` on the event loop. The handler itself only
// writes a byte to a pipe, which a socket notifier reads. Called once per process.
void WatchTerminationSignals(std::function<void()> onSignal);
