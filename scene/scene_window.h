// scene_window.h --- the saver window's scene layer: its set-up, its ticks, its black background
// and its tear-down; and which messages say that the displays changed.
#pragma once
#include <windows.h>

const UINT_PTR SCENE_TIMER = 2;
const UINT SCENE_TICK_MS = 100;
const UINT DPI_CHANGED = 0x02E0;  // WM_DPICHANGED: a monitor's scale changed (Windows 8.1 on)

// Whether a message tells that the displays may have changed: every layer of the saver window
// answers these.
bool displays_changed(UINT message, WPARAM wparam);

LRESULT scene_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
