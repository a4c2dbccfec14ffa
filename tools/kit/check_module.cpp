// check_module.cpp --- lumidoll-check: tells a module author whether the saver will show a girl.
//
// It opens the module exactly as the saver does (as data, from the file given) and loads the
// frames with the saver's own code, then says in one line each what an author needs to know.
// Exit status 0 only for a module the saver shows completely.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "scene/sprite.h"

static const int FRAMES = 17;
static const int MAX_NAME = 12;
static const int MAX_TITLE = 39;

static bool module_name_fits(const char* name)
{
    return strlen(name) <= static_cast<size_t>(MAX_NAME) && _strnicmp(name, "lumidoll.", 9) == 0 &&
           strlen(name) > 9;
}

// The frame's background is pure black: nearly all of its border is black (a figure may reach
// the edge here and there), so its rectangle vanishes into the black screen.
static bool background_is_black(HBITMAP bitmap, const DIBSECTION& dib)
{
    RGBQUAD table[256] = {};
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    GetDIBColorTable(memory, 0, 256, table);
    SelectObject(memory, previous);
    DeleteDC(memory);
    const BYTE* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
    const int w = dib.dsBm.bmWidth, h = dib.dsBm.bmHeight, stride = dib.dsBm.bmWidthBytes;
    int border = 0, black = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (y != 0 && y != h - 1 && x != 0 && x != w - 1)
                continue;
            const RGBQUAD& c = table[bits[y * stride + x]];
            border++;
            black += !c.rgbRed && !c.rgbGreen && !c.rgbBlue;
        }
    return black * 10 >= border * 9;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: lumidoll-check MODULE-FILE\n");
        return 2;
    }
    const char* path = argv[1];
    const char* name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    name = strrchr(name, '/') ? strrchr(name, '/') + 1 : name;
    bool good = true;

    if (module_name_fits(name)) {
        printf("name: %s fits (lumidoll.*, %d characters)\n", name, static_cast<int>(strlen(name)));
    } else {
        printf("name: %s will not be found: it must be lumidoll. and 1 to 3 characters, 12 at most\n", name);
        good = false;
    }

    char full[MAX_PATH];
    GetFullPathNameA(path, MAX_PATH, full, nullptr);
    HMODULE module = LoadLibraryExA(full, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        printf("module: not readable as a module (error %lu): the saver lists it with an empty title "
               "and shows no girl\n", GetLastError());
        return 1;
    }
    printf("module: readable\n");

    char title[256] = "";
    int length = LoadStringA(module, 1, title, sizeof title);
    if (length <= 0) {
        printf("title: missing (string 1): the dialog shows an empty line\n");
        good = false;
    } else if (length > MAX_TITLE) {
        printf("title: \"%s\" has %d characters; the dialog shows only the first %d\n", title, length, MAX_TITLE);
        good = false;
    } else {
        printf("title: \"%s\" (%d characters)\n", title, length);
    }

    SpriteFrame frames[FRAMES] = {};
    load_sprite_frames(FRAMES, frames, "GIRL", module);
    FreeLibrary(module);

    int width = 0, height = 0;
    bool black_background = true;
    for (int i = 0; i < FRAMES; i++) {
        DIBSECTION dib = {};
        if (!frames[i].bitmap) {
            printf("GIRL%d: missing: this frame shows nothing\n", i + 1);
            good = false;
            continue;
        }
        GetObjectA(frames[i].bitmap, sizeof dib, &dib);
        if (i == 0) {
            width = dib.dsBm.bmWidth;
            height = dib.dsBm.bmHeight;
        }
        bool eight_bit = dib.dsBm.bmBitsPixel == 8 && (dib.dsBmih.biClrUsed == 0 || dib.dsBmih.biClrUsed == 256);
        bool same_size = dib.dsBm.bmWidth == width && dib.dsBm.bmHeight == height;
        if (!eight_bit) {
            printf("GIRL%d: %d-bit with %lu colours: it must be 8-bit with 256 colours\n", i + 1,
                   dib.dsBm.bmBitsPixel, dib.dsBmih.biClrUsed);
            good = false;
        } else if (!same_size) {
            printf("GIRL%d: %ld x %ld, not the size of GIRL1 (%d x %d): it is shown at GIRL1's size\n", i + 1,
                   dib.dsBm.bmWidth, dib.dsBm.bmHeight, width, height);
            good = false;
        } else {
            printf("GIRL%d: 8-bit, 256 colours, %d x %d\n", i + 1, width, height);
        }
        if (eight_bit && !background_is_black(frames[i].bitmap, dib))
            black_background = false;
        DeleteObject(frames[i].bitmap);
    }
    if (black_background) {
        printf("background: pure black around every frame\n");
    } else {
        printf("background: a frame is not surrounded by pure black: its rectangle will show on the screen\n");
        good = false;
    }
    printf("%s\n", good ? "verdict: the saver shows this girl completely"
                        : "verdict: the saver will not show this girl completely");
    return good ? 0 : 1;
}
