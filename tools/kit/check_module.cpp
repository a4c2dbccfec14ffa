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

// What a failed open of the module means for its author, in place of a bare error number.
static void say_unreadable(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        printf("module: the file does not exist: there is nothing for the saver to list\n");
        return;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        printf("module: the file cannot be read (no permission, or another program holds it): the saver "
               "lists it with an empty title and shows no girl\n");
        return;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_FILE_INVALID:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_BAD_FORMAT:
        printf("module: not a Windows library (a girl module is a resource-only DLL, as the kit "
               "writes it): the saver lists it with an empty title and shows no girl\n");
        return;
    default:
        break;
    }
    char reason[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                   sizeof reason, nullptr);
    for (char* end = reason + strlen(reason); end > reason && (end[-1] == '\n' || end[-1] == '\r'); )
        *--end = '\0';
    printf("module: cannot be opened as a library (%s, system error %lu): the saver lists it with an empty "
           "title and shows no girl\n", reason[0] ? reason : "no reason given", error);
}

// The title as the configuration dialog shows it: the module's text in the system's code page.
// Printed in full to a console; elsewhere (a pipe, a file) written as UTF-8.
static void say_title(const char* title, int length)
{
    wchar_t wide[256] = L"";
    int count = MultiByteToWideChar(CP_ACP, 0, title, -1, wide, 256);
    char line[1024];
    DWORD mode;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(out, &mode)) {
        fflush(stdout);
        WriteConsoleW(out, L"title: \"", 8, nullptr, nullptr);
        WriteConsoleW(out, wide, static_cast<DWORD>(count > 0 ? count - 1 : 0), nullptr, nullptr);
        wsprintfA(line, "\" (%d characters, code page %u)\r\n", length, GetACP());
        WriteConsoleA(out, line, static_cast<DWORD>(strlen(line)), nullptr, nullptr);
        return;
    }
    char utf8[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    printf("title: \"%s\" (%d characters, code page %u)\n", utf8, length, GetACP());
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

    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &file)) {
        printf("file: %s does not exist: there is nothing to check\n", path);
        return 1;
    }
    if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        printf("file: %s is a folder, not a module: the saver lists it with an empty title and shows no girl\n", path);
        return 1;
    }

    const bool found = module_name_fits(name);
    if (found)
        printf("name: %s fits (lumidoll.*, %d characters)\n", name, static_cast<int>(strlen(name)));
    else
        printf("name: %s will not be found: it must be lumidoll. and 1 to 3 characters, 12 at most\n", name);

    char full[MAX_PATH];
    GetFullPathNameA(path, MAX_PATH, full, nullptr);
    HMODULE module = LoadLibraryExA(full, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module && file.nFileSizeLow == 0 && file.nFileSizeHigh == 0) {
        printf("module: the file is empty: the saver lists it with an empty title and shows no girl\n");
        return 1;
    }
    if (!module) {
        say_unreadable(GetLastError());
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
        say_title(title, length);
    }

    SpriteFrame frames[FRAMES] = {};
    load_sprite_frames(FRAMES, frames, "GIRL", module);
    FreeLibrary(module);

    int width = 0, height = 0;
    int not_black = 0;
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
        if (eight_bit && !background_is_black(frames[i].bitmap, dib)) {
            printf("GIRL%d: not surrounded by pure black: its rectangle will show on the screen\n", i + 1);
            not_black++;
        }
        DeleteObject(frames[i].bitmap);
    }
    if (not_black == 0) {
        printf("background: pure black around every frame\n");
    } else {
        printf("background: %d of the %d frames are not surrounded by pure black (named above)\n", not_black,
               FRAMES);
        good = false;
    }
    if (!found)
        printf("verdict: the saver will not find this girl at all: her file name must be lumidoll. and 1 to 3 "
               "characters\n");
    else
        printf("%s\n", good ? "verdict: the saver shows this girl completely"
                            : "verdict: the saver will not show this girl completely");
    return good && found ? 0 : 1;
}
