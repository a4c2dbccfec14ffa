// config_dialog.h --- the configuration dialog: one girl or random girls, which girl, and whether
// every monitor plays.
#pragma once
#include <windows.h>

INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Says what could not be done (a sentence of the string table), in the user's language.
void say_what_failed(HWND owner, UINT sentence_id);
