// close_rules.h --- what ends the full-screen saver, and the Windows 95 family's password hooks:
// the last layer of the saver window's procedure, which the scene's layer calls.
#pragma once
#include <windows.h>

// Private window message that runs the password check inside the saver window's procedure.
const UINT PASSWORD_MESSAGE = 0x8000;

LRESULT close_rules_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void load_password_verifier();
void unload_password_verifier();
void set_saver_running(BOOL running);
void change_password(HWND owner);
extern POINT saved_cursor;  // where the pointer was when last taken as still
void take_pointer_place();
