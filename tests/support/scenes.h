// scenes.h --- the saver's scene played off screen, alone, to compare a live one with.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "scene/scene.h"
#include "support/pixels.h"

// A scene started on an off-screen device context as the saver window starts one: modules
// scanned, the options given, its four sprites loaded for what the device context shows, the girl
// about to come in on a screen of the given size. One at a time; end_scene frees it.
Scene* start_scene_on(HDC dc, int width, int height, int mode, int girl);
void end_scene(Scene* scene);

// Fingerprints, tick by tick, of the first girl's scene alone on a screen of the given size,
// each pixel shown as a scale x scale block; of `part` of that screen only, where given, as a
// window smaller than the screen shows it from its own corner.
std::vector<uint64_t> lone_scene(int width, int height, int ticks, int scale = 1, RECT part = {});
// Whether `shown`, fingerprints of a live scene's ticks, is a stretch of `alone` beginning
// within its first `slack` ticks (ticks the live scene drew before a test took over).
bool plays_as_alone(const std::vector<uint64_t>& shown, const std::vector<uint64_t>& alone, int slack = 0);

// The scene layer alone as a window's procedure.
LRESULT CALLBACK scene_layer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
