// host.h --- the saver host: process entry, saver window, close rules and the password hooks.
#pragma once
#include <windows.h>

// The host flags: 32-bit values in static storage, 0 at start, read across the saver.
extern HINSTANCE app_instance;  // the executable's instance; every resource is loaded through it
extern int is_win9x;            // 1 on the Windows 95 family, where the saver asks for passwords
extern int preview_mode;        // 1 while the saver runs inside the display settings' preview
extern int closing;             // nonzero once the saver may close; never cleared again
extern int checking_password;   // 1 while the password check runs

// Private window message that runs the password check inside the saver window's procedure.
const UINT PASSWORD_MESSAGE = 0x8000;

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
int saver_main(HINSTANCE instance, const char* tail);
int start_preview(const char* text);
int start_password_change(const char* text);
INT_PTR open_config_dialog(HWND owner);
unsigned parse_decimal(const char* text);
const char* command_tail(const char* command_line);
[[noreturn]] void saver_entry();

// The saver window and the routing of its messages.
int run_saver(HWND parent);
RECT full_screen_cover(int virtual_x, int virtual_y, int virtual_width, int virtual_height);
const UINT DPI_CHANGED = 0x02E0;  // WM_DPICHANGED: a monitor's scale changed (Windows 8.1 on)
bool displays_changed(UINT message, WPARAM wparam);
LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
extern HWND saver_window;

// What ends the saver, and the system's password services.
LRESULT close_rules_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
int verify_before_close(HWND window);
void load_password_verifier();
void unload_password_verifier();
void set_saver_running(BOOL running);
void change_password(HWND owner);
HMODULE load_system_library(const char* name);  // by full path from the system directory
extern POINT saved_cursor;
