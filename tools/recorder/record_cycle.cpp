// record_cycle.cpp --- plays one whole cycle of the saver's own scene off screen, tick by tick.
//
// Usage: record_cycle OUTDIR WIDTH HEIGHT [GIRL-FILE] [MODE]
// Writes OUTDIR\frameNNNN.bmp (24-bit), one picture a tick, from the first tick to the tick
// on which the cycle is back at its start. The scene is the saver's own: the same sprites,
// girl modules and choreography, on a screen-sized surface instead of a window, with no
// waiting between ticks. The same arguments always give the same pictures.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/sequence.h"

static bool save_frame(const char* folder, int number, HDC surface, HBITMAP bitmap, int width, int height)
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
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\frame%04d.bmp", folder, number);
    FILE* out = fopen(path, "wb");
    if (!out)
        return false;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    fwrite(pixels, 1, static_cast<size_t>(stride * height), out);
    fclose(out);
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: record_cycle OUTDIR WIDTH HEIGHT [GIRL-FILE] [MODE]\n");
        return 2;
    }
    const char* folder = argv[1];
    const int width = atoi(argv[2]), height = atoi(argv[3]);
    if (width < 100 || height < 50 || width > 7680 || height > 4320) {
        fprintf(stderr, "record_cycle: a screen from 100 x 50 to 7680 x 4320, please\n");
        return 2;
    }
    app_instance = GetModuleHandleA(nullptr);
    scan_girl_modules();
    Mode = argc > 5 ? atoi(argv[5]) : 0;
    Girl = 0;
    for (int i = 0; argc > 4 && i < module_count; i++)
        if (lstrcmpiA(girl_modules[i].file_name, argv[4]) == 0)
            Girl = i;
    // The saver seeds its picks from the clock; a recording is the same on every run.
    seed_girl_picks(20261208);

    HDC screen = GetDC(nullptr);
    HDC surface = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(surface, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(surface, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    load_scene_sprites(surface);
    scene.screen_width = width;
    scene.screen_height = height;
    start_sequence();
    int frames = 0;
    bool left_start = false;
    for (int tick = 0; tick < 20000; tick++) {
        scene_tick(surface);
        if (!save_frame(folder, frames++, surface, bitmap, width, height)) {
            fprintf(stderr, "record_cycle: cannot write into %s\n", folder);
            return 1;
        }
        left_start = left_start || scene.state != 0;
        if (left_start && scene.state == 0)
            break;
    }
    destroy_scene_sprites();
    SelectObject(surface, previous);
    DeleteObject(bitmap);
    DeleteDC(surface);
    printf("%d frames\n", frames);
    return 0;
}
