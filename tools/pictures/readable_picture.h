// readable_picture.h --- a 32-bit top-down DIB section with a device context of its own: a
// screen whose pixels the tests, the benchmark and the failure sweep read back as 0x00RRGGBB.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>

// The header of a 32-bit picture of w x h pixels, its rows top-down.
inline BITMAPINFO top_down_32(int w, int h)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

struct ReadablePicture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int width = 0, height = 0;

    // Black at first; bits stays null when the system refuses the picture.
    ReadablePicture(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info = top_down_32(w, h);
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        void* pixels = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        if (!bitmap)
            return;
        bits = static_cast<uint32_t*>(pixels);
        previous = SelectObject(dc, bitmap);
        memset(bits, 0, size_t(w) * size_t(h) * sizeof *bits);
    }
    ~ReadablePicture()
    {
        if (previous)
            SelectObject(dc, previous);
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
    }
    ReadablePicture(const ReadablePicture&) = delete;
    ReadablePicture& operator=(const ReadablePicture&) = delete;
};
