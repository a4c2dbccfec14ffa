// record_cycle.cpp --- plays one whole cycle of the saver's own scene off screen, tick by tick;
// or photographs the scene full screen, at a given moment, as the saver shows it on this display.
//
// Usage: record_cycle [--colours 256|16] OUTDIR WIDTH HEIGHT [GIRL-FILE] [MODE]
// Writes OUTDIR\frameNNNN.bmp (24-bit), one picture a tick, from the first tick to the tick
// on which the cycle is back at its start. The scene is the saver's own: the same sprites,
// girl modules and choreography, on a screen-sized surface instead of a window, with no
// waiting between ticks. The same arguments always give the same pictures.
// With --colours, the surface shows what a palette display shows: at 256 colours an 8-bit
// surface whose table is the palette the saver realizes (the mover's, with the black and white
// the system keeps), each colour drawn on it going to the table's nearest; at 16 the standard
// colours, the frames dithered as the saver dithers them for such a display.
//
// Usage: record_cycle --photograph OUT.BMP STATE [GIRL-FILE]
// Plays the scene in a full-screen window as the saver does, scaled as the saver scales it on
// this display, ticking by hand until the first tick of the given state of the choreography,
// and writes what the window shows.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "base/flags.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/stage.h"

static bool write_bmp(const char* path, HDC surface, HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const int stride = (width * 3 + 3) & ~3;
    static BYTE pixels[7680 * 3 * 4320];
    if (stride * height > static_cast<int>(sizeof pixels))
        return false;
    GetDIBits(surface, bitmap, 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    FILE* out = fopen(path, "wb");
    if (!out)
        return false;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    fwrite(pixels, 1, static_cast<size_t>(stride * height), out);
    fclose(out);
    return true;
}

static bool save_frame(const char* folder, int number, HDC surface, HBITMAP bitmap, int width, int height)
{
    char frame[32];  // "frame", a number of up to eleven characters and ".bmp"
    snprintf(frame, sizeof frame, "frame%04d.bmp", number);
    return write_bmp((std::string(folder) + "\\" + frame).c_str(), surface, bitmap, width, height);
}

static void choose_girl(const char* file_name)
{
    Girl = 0;
    for (int i = 0; file_name && i < module_count; i++)
        if (lstrcmpiA(girl_modules[i].file_name, file_name) == 0)
            Girl = i;
}

// The scene in a full-screen window through the saver's own stage, at the given moment.
static int photograph(const char* path, int state, const char* girl_file)
{
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = app_instance;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = "SkyFlarePhotograph";
    window_class.style = CS_OWNDC;
    RegisterClassA(&window_class);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "SkyFlarePhotograph", "Sky Flare", WS_POPUP | WS_VISIBLE, 0, 0,
                                  width, height, nullptr, nullptr, app_instance, nullptr);
    UpdateWindow(window);
    scan_girl_modules(LANG_NEUTRAL);
    Mode = 0;
    choose_girl(girl_file);
    HDC dc = GetDC(window);
    lay_out_scenes(dc, display_kind_of(dc));
    bool reached = false;
    for (int tick = 0; tick < 20000 && !reached; tick++) {
        reached = scene_at(0)->sequence.state == state;
        play_tick(window);
    }
    HDC copy = CreateCompatibleDC(dc);
    HBITMAP shown = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ previous = SelectObject(copy, shown);
    BitBlt(copy, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(copy, previous);
    bool written = reached && write_bmp(path, copy, shown, width, height);
    DeleteObject(shown);
    DeleteDC(copy);
    ReleaseDC(window, dc);
    close_scenes();
    DestroyWindow(window);
    if (!written) {
        fprintf(stderr, "record_cycle: no photograph of state %d written to %s\n", state, path);
        return 1;
    }
    printf("%d x %d at scale %d, state %d\n", width, height, scale_for_dpi(primary_monitor_dpi()), state);
    return 0;
}

// The surface a palette display would show: 8 bits a pixel, its table the display's colours.
static HBITMAP palette_surface(HDC screen, int width, int height, const RGBQUAD* table)
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biClrUsed = 256;
    CopyMemory(info.colours, table, sizeof info.colours);
    void* bits = nullptr;
    return CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
}

// The palette the saver realizes on a 256-colour display: the mover's current frame's, except
// that the system keeps black at the first entry and white at the last.
static void realized_palette(const Scene* scene, RGBQUAD* table)
{
    const Sprite* mover = scene->sequence.mover;
    const SpriteFrame* frame = mover && mover->frames && mover->count > 0
                                   ? &mover->frames[mover->frame < mover->count ? mover->frame : mover->count - 1]
                                   : nullptr;
    for (int i = 0; i < 256; i++) {
        table[i].rgbRed = frame ? frame->entries[i].peRed : 0;
        table[i].rgbGreen = frame ? frame->entries[i].peGreen : 0;
        table[i].rgbBlue = frame ? frame->entries[i].peBlue : 0;
        table[i].rgbReserved = 0;
    }
    table[0].rgbRed = table[0].rgbGreen = table[0].rgbBlue = 0;
    table[255].rgbRed = table[255].rgbGreen = table[255].rgbBlue = 255;
}

int main(int argc, char** argv)
{
    int colours = 0;  // 0: true colour
    if (argc >= 3 && strcmp(argv[1], "--colours") == 0) {
        colours = atoi(argv[2]);
        if (colours != 256 && colours != 16) {
            fprintf(stderr, "record_cycle: --colours is 256 or 16\n");
            return 2;
        }
        argv += 2;
        argc -= 2;
    }
    if (argc >= 4 && strcmp(argv[1], "--photograph") == 0) {
        app_instance = GetModuleHandleA(nullptr);
        return photograph(argv[2], atoi(argv[3]), argc > 4 ? argv[4] : nullptr);
    }
    if (argc < 4) {
        fprintf(stderr, "usage: record_cycle [--colours 256|16] OUTDIR WIDTH HEIGHT [GIRL-FILE] [MODE]\n"
                        "       record_cycle --photograph OUT.BMP STATE [GIRL-FILE]\n");
        return 2;
    }
    const char* folder = argv[1];
    const int width = atoi(argv[2]), height = atoi(argv[3]);
    if (width < 100 || height < 50 || width > 7680 || height > 4320) {
        fprintf(stderr, "record_cycle: a screen from 100 x 50 to 7680 x 4320, please\n");
        return 2;
    }
    app_instance = GetModuleHandleA(nullptr);
    scan_girl_modules(LANG_NEUTRAL);
    Mode = argc > 5 ? atoi(argv[5]) : 0;
    choose_girl(argc > 4 ? argv[4] : nullptr);
    // The saver seeds its picks from the clock; a recording is the same on every run.
    seed_girl_picks(20261208);

    HDC screen = GetDC(nullptr);
    HDC surface = CreateCompatibleDC(screen);
    RGBQUAD table[256] = {};
    for (int i = 0; i < 16; i++)
        table[i] = STANDARD_COLOURS[i];
    HBITMAP bitmap = colours ? palette_surface(screen, width, height, table) : CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(surface, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(surface, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    const Monitor whole = {{0, 0, width, height}, 1};
    lay_out_scenes_on(surface, colours == 16 ? DISPLAY_16_COLOURS : colours == 256 ? DISPLAY_256_COLOURS : DISPLAY_TRUE_COLOUR,
                      &whole, 1);
    Scene* scene = scene_at(0);
    int frames = 0;
    bool left_start = false;
    for (int tick = 0; tick < 20000; tick++) {
        // A palette display shows every pixel through the palette realized now, the whole screen
        // at once: a change of mover changes the colours of all that is on the screen.
        if (colours == 256) {
            realized_palette(scene, table);
            SetDIBColorTable(surface, 0, 256, table);
        }
        scene_tick(scene, surface);
        if (!save_frame(folder, frames++, surface, bitmap, width, height)) {
            fprintf(stderr, "record_cycle: cannot write into %s\n", folder);
            return 1;
        }
        left_start = left_start || scene->sequence.state != 0;
        if (left_start && scene->sequence.state == 0)
            break;
    }
    close_scenes();
    SelectObject(surface, previous);
    DeleteObject(bitmap);
    DeleteDC(surface);
    printf("%d frames\n", frames);
    return 0;
}
