// scene_window.h --- the saver window's scene layer: set-up, ticks, black background, tear-down.
#pragma once
#include <windows.h>

const UINT_PTR SCENE_TIMER = 2;
const UINT SCENE_TICK_MS = 100;

LRESULT scene_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
