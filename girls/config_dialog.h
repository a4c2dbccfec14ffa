// config_dialog.h --- the configuration dialog: single or random girls, and which girl.
#pragma once
#include <windows.h>

INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
