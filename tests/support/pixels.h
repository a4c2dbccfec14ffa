// pixels.h --- screens whose pixels the tests read back, and the system's colours.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pictures/readable_picture.h"

// A screen whose pixels the tests read back, black at first.
struct Surface : ReadablePicture {
    Surface(int w, int h);
    uint32_t at(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
    void fill(uint32_t colour);
    int count_not(uint32_t colour, RECT area) const;
    bool all(uint32_t colour, RECT area) const;
    void save_bmp(const std::string& path) const;
};

// Every system colour, from the scroll bar to the inactive title's gradient; as this process
// sees them, or as a process started now sees them (after another process has changed them).
std::vector<COLORREF> system_colours();
std::vector<COLORREF> system_colours_now();
// Whether the screen is a palette display (256 colours or fewer, through a realized palette).
bool palette_display();

// A bitmap's pixels as 0xRRGGBB, rows top-down, through its own colour table.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int& width, int& height);

// Copies what a window shows on the screen (client area) into a surface.
void capture_window(HWND window, Surface& into);
// Copies what the screen shows, from the given screen point on, into a surface.
void capture_screen(Surface& into, int left = 0, int top = 0);
// Whether the primary screen shows something new within the time.
bool screen_changes(DWORD within_ms);
uint32_t rgb_of(const RGBQUAD& q);  // 0x00RRGGBB, as a 32-bit DIB stores it
const uint32_t BLACK = 0;

// A fingerprint of the pixels of an area, each shown as a scale x scale block: two areas with
// the same fingerprint show the same picture.
uint64_t picture_hash(const Surface& surface, RECT area, int scale = 1);
