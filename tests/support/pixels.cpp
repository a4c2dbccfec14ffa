// pixels.cpp --- screens whose pixels the tests read back, and the system's colours.
#include "support/support.h"

#include <algorithm>
#include <sstream>

Surface::Surface(int w, int h) : ReadablePicture(w, h) { REQUIRE(bits != nullptr); }

void Surface::fill(uint32_t colour)
{
    GdiFlush();
    for (int i = 0; i < width * height; i++)
        bits[i] = colour;
}

int Surface::count_not(uint32_t colour, RECT area) const
{
    GdiFlush();
    int count = 0;
    for (int y = std::max<LONG>(0, area.top); y < std::min<LONG>(height, area.bottom); y++)
        for (int x = std::max<LONG>(0, area.left); x < std::min<LONG>(width, area.right); x++)
            if (at(x, y) != colour)
                count++;
    return count;
}

bool Surface::all(uint32_t colour, RECT area) const { return count_not(colour, area) == 0; }

void Surface::save_bmp(const std::string& path) const
{
    GdiFlush();
    BITMAPFILEHEADER file = {};
    const BITMAPINFOHEADER info = top_down_32(width, height).bmiHeader;
    DWORD size = static_cast<DWORD>(width * height * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(bits), size);
    write_file(path, bytes);
}

void capture_window(HWND window, Surface& into)
{
    HDC dc = GetDC(window);
    BitBlt(into.dc, 0, 0, into.width, into.height, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
}

void capture_screen(Surface& into, int left, int top)
{
    HDC screen = GetDC(nullptr);
    BitBlt(into.dc, 0, 0, into.width, into.height, screen, left, top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
}

bool screen_changes(DWORD within_ms)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Surface first(w, h), now(w, h);
    capture_screen(first);
    return wait_until([&] {
        capture_screen(now);
        return !std::equal(first.bits, first.bits + w * h, now.bits);
    }, within_ms);
}

uint32_t rgb_of(const RGBQUAD& q)
{
    return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}

// A bitmap's pixels as 0xRRGGBB, rows top-down, through its own colour table.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int& width, int& height)
{
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO wanted = top_down_32(width, height);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &wanted, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    CHECK(rows == height);
    for (uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

std::vector<COLORREF> system_colours()
{
    std::vector<COLORREF> colours;
    for (int element = COLOR_SCROLLBAR; element <= COLOR_GRADIENTINACTIVECAPTION; element++)
        colours.push_back(GetSysColor(element));
    return colours;
}

std::vector<COLORREF> system_colours_now()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string output;
    REQUIRE(run_captured("\"" + std::string(self) + "\" --print-system-colours", output) == 0);
    std::vector<COLORREF> colours;
    std::istringstream lines(output);
    for (unsigned long colour; lines >> colour;)
        colours.push_back(colour);
    return colours;
}

bool palette_display()
{
    HDC screen = GetDC(nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}


uint64_t picture_hash(const Surface& surface, RECT area, int scale)
{
    GdiFlush();
    uint64_t hash = 1469598103934665603ull;
    for (int y = area.top * scale; y < area.bottom * scale; y++)
        for (int x = area.left * scale; x < area.right * scale; x++)
            hash = (hash ^ surface.at(x / scale, y / scale)) * 1099511628211ull;
    return hash;
}
