// host.h --- the saver host, the program's top: process entry, saver window, close rules and the
// password hooks.
#pragma once
#include <windows.h>

#include "base/flags.h"
#include "host/close_rules.h"

// Exit code of a run ended by a fault that the system's fault handling left to the saver.
const int FAULT_EXIT_CODE = 3;

// Process entry and the command line.
enum SaverMode {
    MODE_CONFIG_ALONE,    // no switch: the configuration dialog without an owner
    MODE_FULL_SCREEN,     // S
    MODE_PREVIEW,         // P or L, with a window number
    MODE_CONFIG_OWNED,    // C: the dialog owned by the foreground window
    MODE_PASSWORD,        // A, with a window number (Windows 95 family only)
    MODE_UNUSABLE,        // anything else
};
SaverMode choose_mode(const char* tail, const char** rest);
INT_PTR open_config_dialog(HWND owner);
unsigned parse_decimal(const char* text);
const char* command_tail(const char* command_line);
[[noreturn]] void saver_entry();

// The saver window and the routing of its messages.
int run_saver(HWND parent);
RECT full_screen_cover(int virtual_x, int virtual_y, int virtual_width, int virtual_height);
LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
extern HWND saver_window;
