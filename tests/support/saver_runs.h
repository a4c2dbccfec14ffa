// saver_runs.h --- the whole saver run in the test's own process, and the options it starts with.
#pragma once
#include <windows.h>

#include <functional>

// The host's flags as a new process has them (this process's full-screen mode, not the 95
// family), the pointer's place taken as still.
void reset_host_flags();
// Runs the saver in this process; the script plays the system and the user from inside its
// message loop, and must end with the window closed. Gives the saver's exit code.
int run_saver_with(HWND parent, const std::function<void(HWND)>& script);
// The settings file holding just these options (Screens left out when negative).
void write_options(int mode, int girl, int screens = -1);
