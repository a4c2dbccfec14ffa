// check_module.cpp --- lumidoll-check: tells a module author whether the saver will show a girl.
//
// It checks the module with the saver's own rule for a readable module, opens it exactly as the
// saver does (as data, from the file given) and loads the frames with the saver's own code, then
// says in one line each what an author needs to know; the girl maker page says the same in the
// same words. Exit status 0 only for modules the saver shows completely (warnings aside).
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "girls/module_file.h"
#include "scene/sprite.h"
#include "sky_range.h"

static const int FRAMES = MODULE_FRAMES;
static const int MAX_NAME = 12;
static const int MAX_TITLE = 39;
static const long long MAX_FRAME_PIXELS = 2048LL * 2048;  // as the kit: a frame of 2048 x 2048

static bool module_name_fits(const char* name)
{
    return strlen(name) <= static_cast<size_t>(MAX_NAME) && _strnicmp(name, "lumidoll.", 9) == 0 &&
           strlen(name) > 9;
}

// The frame's background is pure black: nearly all of its border is black (a figure may reach
// the edge here and there), so its rectangle vanishes into the black screen.
static bool background_is_black(HBITMAP bitmap, int w, int h)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    int border = 0, black = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (y != 0 && y != h - 1 && x != 0 && x != w - 1)
                continue;
            border++;
            black += (GetPixel(memory, x, y) & 0xFFFFFF) == 0;
        }
    SelectObject(memory, previous);
    DeleteDC(memory);
    return black * 10 >= border * 9;
}

// Whether an 8-bit frame's table holds the sky's colours at their entries: while she dances the
// saver draws the sky with her palette, which on a 256-colour display shows only its colours.
static bool holds_sky(HBITMAP bitmap)
{
    RGBQUAD table[256] = {};
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    GetDIBColorTable(memory, 0, 256, table);
    SelectObject(memory, previous);
    DeleteDC(memory);
    for (int i = 0; SKY_FIRST + i < 256; i++) {
        const RGBQUAD& entry = table[SKY_FIRST + i];
        if (entry.rgbRed != SKY_COLOURS[i][0] || entry.rgbGreen != SKY_COLOURS[i][1] || entry.rgbBlue != SKY_COLOURS[i][2])
            return false;
    }
    return true;
}

// What a failed open of the module means for its author, in place of a bare error number.
static void say_unopened(DWORD error, const char* name)
{
    char reason[256] = "";
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        lstrcpyA(reason, "no permission, or another program is writing it");
        break;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_FILE_INVALID:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_BAD_FORMAT:
        lstrcpyA(reason, "the system does not take it for a library");
        break;
    default:
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                       sizeof reason, nullptr);
        for (char* end = reason + strlen(reason); end > reason && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == '.'); )
            *--end = '\0';
        if (!reason[0])
            wsprintfA(reason, "system error %lu", error);
        break;
    }
    printf("module: %s cannot be opened (%s): the saver lists it as \"(%s cannot be read)\" and shows no girl\n",
           name, reason, name);
}

// A line that may hold any script (her title): in full to a console; elsewhere (a pipe, a
// file) as UTF-8.
static void say_wide(const WCHAR* line)
{
    DWORD mode;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    fflush(stdout);
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line, static_cast<DWORD>(lstrlenW(line)), nullptr, nullptr);
        WriteConsoleW(out, L"\r\n", 2, nullptr, nullptr);
        return;
    }
    static char utf8[4096];
    if (!WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr))
        utf8[0] = '\0';
    printf("%s\n", utf8);
}

// The code pages of the Windows 95 family's languages, in which that family shows every text,
// as the girl maker page names them.
static const struct {
    UINT number;
    const WCHAR* script;
} CODE_PAGES[] = {{932, L"Japanese"}, {936, L"Simplified Chinese"}, {949, L"Korean"}, {950, L"Traditional Chinese"},
                  {1250, L"Central European"}, {1251, L"Cyrillic"}, {1252, L"Western"}};
static const int CODE_PAGE_COUNT = sizeof CODE_PAGES / sizeof CODE_PAGES[0];

// Her title as a Windows of the code page shows it: each letter the code page lacks a "?".
static void in_code_page(const WCHAR* title, UINT code_page, WCHAR* shown, int size)
{
    char bytes[1024];
    if (!WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, title, -1, bytes, sizeof bytes, nullptr, nullptr) ||
        !MultiByteToWideChar(code_page, 0, bytes, -1, shown, size))
        shown[0] = L'\0';
}

// The one sentence, the page's word for word, that says in which of those code pages her title
// does not show as written and how it shows there; nothing when it shows in all of them.
static void say_code_pages(const WCHAR* title)
{
    WCHAR shown[CODE_PAGE_COUNT][256];
    int group[CODE_PAGE_COUNT];  // the first code page that shows it the same way; -1: as written
    int groups = 0, lacking = 0;
    for (int i = 0; i < CODE_PAGE_COUNT; i++) {
        in_code_page(title, CODE_PAGES[i].number, shown[i], 256);
        group[i] = lstrcmpW(shown[i], title) == 0 ? -1 : i;
        for (int j = 0; j < i && group[i] == i; j++)
            if (group[j] >= 0 && lstrcmpW(shown[j], shown[i]) == 0)
                group[i] = group[j];
        groups += group[i] == i;
        lacking += group[i] >= 0;
    }
    if (!groups)
        return;
    static WCHAR line[4096];
    lstrcpyW(line, L"title: on the Windows 95 family her title shows ");
    int said = 0;
    for (int i = 0; i < CODE_PAGE_COUNT; i++) {
        if (group[i] != i)
            continue;
        int pages = 0, named = 0;
        for (int j = i; j < CODE_PAGE_COUNT; j++)
            pages += group[j] == i;
        lstrcatW(line, said++ ? L", and as \"" : L"as \"");
        lstrcatW(line, shown[i]);
        lstrcatW(line, pages > 1 ? L"\" in code pages " : L"\" in code page ");
        for (int j = i; j < CODE_PAGE_COUNT; j++) {
            if (group[j] != i)
                continue;
            if (named)
                lstrcatW(line, named == pages - 1 ? L" and " : L", ");
            WCHAR page[64];
            wsprintfW(page, L"%u (%s)", CODE_PAGES[j].number, CODE_PAGES[j].script);
            lstrcatW(line, page);
            named++;
        }
    }
    lstrcatW(line, lacking > 1 ? L", which lack" : L", which lacks");
    lstrcatW(line, L" some of its letters; on the NT family it shows as written");
    say_wide(line);
}

// A count of bytes as a person reads it: 404,652.
static void format_count(char* out, unsigned long long value)
{
    char digits[32];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    int at = 0;
    for (int i = n - 1; i >= 0; i--) {
        out[at++] = digits[i];
        if (i > 0 && i % 3 == 0)
            out[at++] = ',';
    }
    out[at] = '\0';
}

// "its frames GIRL14 to GIRL17 and its title": the parts of a mask, frames as runs.
static void name_parts(char* out, DWORD parts, bool* plural)
{
    const char* items[4];
    char frames[256] = "";
    int count = 0, frame_count = 0;
    if (parts & PART_HEADERS)
        items[count++] = "its headers";
    if (parts & PART_DIRECTORY)
        items[count++] = "its resource directory";
    for (int n = 1; n <= FRAMES; n++) {
        if (!(parts & frame_part(n)))
            continue;
        int last = n;
        while (last < FRAMES && (parts & frame_part(last + 1)))
            last++;
        frame_count += last - n + 1;
        char run[32];
        if (last == n)
            wsprintfA(run, "GIRL%d", n);
        else if (last == n + 1)
            wsprintfA(run, "GIRL%d, GIRL%d", n, last);
        else
            wsprintfA(run, "GIRL%d to GIRL%d", n, last);
        if (frames[0])
            lstrcatA(frames, ", ");
        lstrcatA(frames, run);
        n = last;
    }
    char frame_item[300];
    if (frame_count) {
        wsprintfA(frame_item, "its frame%s %s", frame_count > 1 ? "s" : "", frames);
        items[count++] = frame_item;
    }
    if (parts & PART_TITLE)
        items[count++] = "its title";
    out[0] = '\0';
    for (int i = 0; i < count; i++) {
        if (i > 0)
            lstrcatA(out, i == count - 1 ? " and " : ", ");
        lstrcatA(out, items[i]);
    }
    *plural = count > 1 || frame_count > 1 || (parts & PART_HEADERS);
}

// What is wrong with a damaged part, in the words the girl maker page uses too.
static void say_damaged(int bit, const ModuleCheck& check)
{
    char part[32];
    if (bit == 17)
        lstrcpyA(part, "title");
    else if (bit == 18)
        lstrcpyA(part, "headers");
    else if (bit == 19)
        lstrcpyA(part, "resource directory");
    else
        wsprintfA(part, "GIRL%d", bit + 1);
    const FrameFacts* facts = bit < FRAMES ? &check.frames[bit] : nullptr;
    switch (check.fault[bit]) {
    case FAULT_HEADER_FORM:
        printf("%s: damaged: they are not a Windows library's\n", part);
        break;
    case FAULT_NO_SECTION:
        printf("%s: damaged: it lies in none of the file's sections\n", part);
        break;
    case FAULT_OUTSIDE_SECTION:
        printf("%s: damaged: it points outside its own section\n", part);
        break;
    case FAULT_LEVELS:
        printf("%s: damaged: it is not of the three levels a library's has\n", part);
        break;
    case FAULT_ORDER:
        printf("%s: damaged: its entries are out of the order the system looks them up in\n", part);
        break;
    case FAULT_STRING_SHORT:
        printf("%s: damaged: string 1 runs past the end of its string table\n", part);
        break;
    case FAULT_BITMAP_HEADER:
        printf("%s: damaged: its bitmap header has a size no bitmap has\n", part);
        break;
    case FAULT_BITMAP_SIZE:
        printf("%s: damaged: it claims a size of %lld x %lld pixels\n", part, facts->width, facts->height);
        break;
    case FAULT_BITMAP_BITS:
        printf("%s: damaged: it claims %d bits a pixel, which no bitmap has\n", part, facts->bits);
        break;
    case FAULT_BITMAP_COMPRESSED:
        printf("%s: damaged: it is compressed, which the saver does not read\n", part);
        break;
    case FAULT_BITMAP_COLOURS:
        printf("%s: damaged: it claims %d colours in its table\n", part, facts->colours);
        break;
    default:
        printf("%s: damaged: its colour table or pixels run past the end of its resource\n", part);
        break;
    }
}

// Every sentence for a module the saver will not read.
static void say_unreadable_module(const ModuleCheck& check, const char* name)
{
    switch (check.library_fault) {
    case LIBRARY_EMPTY:
        printf("module: %s is not a girl module: the file is empty\n", name);
        return;
    case LIBRARY_NO_START:
        printf("module: %s is not a girl module: it does not start as a Windows program or library does\n", name);
        return;
    case LIBRARY_NO_HEADER:
        printf("module: %s is not a girl module: it has no Windows library header\n", name);
        return;
    case LIBRARY_TOO_LARGE:
        printf("module: %s is not a girl module: it is larger than 4 GB\n", name);
        return;
    default:
        break;
    }
    if (check.cut) {
        char size[32], parts[512];
        bool plural;
        format_count(size, check.file_size);
        name_parts(parts, check.cut, &plural);
        printf("module: the file ends at byte %s, but %s %s beyond it: %s\n", size, parts, plural ? "lie" : "lies",
               check.shorter_than_sections ? "it was cut short, copy it again" : "it is damaged, copy it again");
    }
    static const int order[PART_COUNT] = {18, 19, 17, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int bit : order)
        if (check.damaged & (1u << bit))
            say_damaged(bit, check);
}

struct TitleRead {
    WCHAR title[256];
};

// Her title exactly as she stores it, in UTF-16: string 1 of the string table's first block, in
// its first language, as Windows finds it (on every Windows, the 95 family's included).
static void read_title(HMODULE module, void* read)
{
    TitleRead* title = static_cast<TitleRead*>(read);
    HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(1), RT_STRING);
    const WORD* at = block ? static_cast<const WORD*>(LockResource(LoadResource(module, block))) : nullptr;
    if (!at)
        return;
    const WORD* end = at + SizeofResource(module, block) / sizeof(WORD);
    at += 1 + *at;  // string 0
    if (at >= end)
        return;
    int length = *at++;
    if (length > end - at)
        length = static_cast<int>(end - at);
    if (length > 255)
        length = 255;
    for (int i = 0; i < length; i++)
        title->title[i] = at[i];
    title->title[length] = L'\0';
}

static void read_frames(HMODULE module, void* frames)
{
    load_sprite_frames(FRAMES, static_cast<SpriteFrame*>(frames), "GIRL", module);
}

static void free_frames(SpriteFrame* frames)
{
    for (int i = 0; i < FRAMES; i++) {
        if (frames[i].bitmap)
            DeleteObject(frames[i].bitmap);
        frames[i].bitmap = nullptr;
    }
}

// What the saver makes of a module it can read: her title and each frame.
static bool say_readable_module(HMODULE module, const ModuleCheck& check, const char* name, bool* read_faulted)
{
    bool good = true;
    TitleRead title = {};
    SpriteFrame frames[FRAMES] = {};
    *read_faulted = !read_module_guarded(module, check.file_size, read_title, &title) ||
                    !read_module_guarded(module, check.file_size, read_frames, frames);
    if (*read_faulted) {
        free_frames(frames);
        return false;
    }
    printf("module: readable\n");
    if (!(check.present & PART_TITLE)) {
        printf("title: the title (string 1) is missing: the dialog shows an empty line\n");
        good = false;
    } else {
        static WCHAR line[512];
        if (check.title_length > MAX_TITLE) {
            wsprintfW(line, L"title: \"%s\" has %d characters; the dialog shows only the first %d", title.title,
                      check.title_length, MAX_TITLE);
            good = false;
        } else {
            wsprintfW(line, L"title: \"%s\" (%d characters)", title.title, check.title_length);
        }
        say_wide(line);
        say_code_pages(title.title);
    }

    const long long width = check.frames[0].width, height = check.frames[0].height;
    int not_black = 0;
    for (int i = 0; i < FRAMES; i++) {
        const FrameFacts& facts = check.frames[i];
        if (!(check.present & frame_part(i + 1))) {
            printf("GIRL%d: missing: this frame shows nothing\n", i + 1);
            good = false;
            continue;
        }
        if (facts.width * facts.height > MAX_FRAME_PIXELS) {
            printf("GIRL%d: %lld x %lld pixels is larger than this kit handles (at most 2048 x 2048)\n", i + 1,
                   facts.width, facts.height);
            good = false;
            continue;
        }
        bool eight_bit = facts.bits == 8 && facts.colours == 256;
        if (!eight_bit) {
            printf("GIRL%d: %d-bit with %d colours: it must be 8-bit with 256 colours\n", i + 1, facts.bits,
                   facts.colours);
            good = false;
        } else if (i > 0 && (facts.width != width || facts.height != height)) {
            printf("GIRL%d: %lld x %lld, not the size of GIRL1 (%lld x %lld): it is shown at GIRL1's size\n", i + 1,
                   facts.width, facts.height, width, height);
            good = false;
        } else {
            printf("GIRL%d: 8-bit, 256 colours, %lld x %lld\n", i + 1, facts.width, facts.height);
        }
        if (frames[i].bitmap && !background_is_black(frames[i].bitmap, static_cast<int>(facts.width),
                                                     static_cast<int>(facts.height))) {
            printf("GIRL%d: not surrounded by pure black: its rectangle will show on the screen\n", i + 1);
            not_black++;
        }
    }
    if (!(check.present & frame_part(1)) || width * height > MAX_FRAME_PIXELS) {
        printf("GIRL1: %s has no GIRL1 that can be shown: the saver shows nothing of her\n", name);
        good = false;
    }
    bool sky = true;
    for (int i = 0; i < FRAMES; i++)
        if (frames[i].bitmap && check.frames[i].bits == 8 && !holds_sky(frames[i].bitmap))
            sky = false;
    if (!sky)
        printf("colours: her colour table lacks the sky's colours at entries %d to 255: on a 256-colour display the "
               "sky shows in her colours while she dances\n", SKY_FIRST);
    if (not_black == 0)
        printf("background: pure black around every frame\n");
    else
        printf("background: %d of the %d frames are not surrounded by pure black (named above): a warning\n",
               not_black, FRAMES);
    free_frames(frames);
    return good;
}

// The report on one module file; its exit status.
static int check_one(const char* path)
{
    const char* name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    name = strrchr(name, '/') ? strrchr(name, '/') + 1 : name;

    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &file)) {
        printf("file: %s does not exist: there is nothing to check\n", path);
        return 1;
    }
    if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        printf("file: %s is a folder, not a module: the saver lists it as \"(%s cannot be read)\" and shows no girl\n",
               path, name);
        return 1;
    }
    const bool found = module_name_fits(name);
    if (found)
        printf("name: %s fits (lumidoll.*, %d characters)\n", name, static_cast<int>(strlen(name)));
    else
        printf("name: %s will not be found: it must be lumidoll. and 1 to 3 characters, 12 at most\n", name);

    char full[MAX_PATH];
    GetFullPathNameA(path, MAX_PATH, full, nullptr);
    OpenModule opened;
    bool good = false, readable = false;
    if (!open_module(full, &opened) && !opened.file) {
        say_unopened(GetLastError(), name);
    } else if (!opened.module && !opened.check.readable) {
        say_unreadable_module(opened.check, name);
    } else if (!opened.module) {
        say_unopened(GetLastError(), name);
    } else {
        bool faulted;
        good = say_readable_module(opened.module, opened.check, name, &faulted);
        readable = !faulted;
        if (faulted)
            printf("module: a fault while the system read it was caught: the saver lists it as \"(%s cannot be "
                   "read)\" and shows no girl\n", name);
    }
    close_module(&opened);
    if (!found)
        printf("verdict: the saver will not find this girl at all: her file name must be lumidoll. and 1 to 3 "
               "characters\n");
    else if (!readable)
        printf("verdict: the saver cannot read this file: it lists it as \"(%s cannot be read)\" and shows no girl\n",
               name);
    else
        printf("%s\n", good ? "verdict: the saver shows this girl completely"
                            : "verdict: the saver will not show this girl completely");
    return good && found ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: lumidoll-check MODULE-FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; i++) {
        if (argc > 2)
            printf("%s== %s\n", i > 1 ? "\n" : "", argv[i]);
        if (check_one(argv[i]) != 0)
            status = 1;
        fflush(stdout);
    }
    return status;
}
