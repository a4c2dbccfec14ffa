// check_module.cpp --- lumidoll-check: tells a module author whether the saver will show a girl.
//
// It checks the module with the saver's own rule for a readable module, opens it exactly as the
// saver does (as data, from the file given) and loads the frames with the saver's own code, then
// says in one line each what an author needs to know; the girl maker page says the same in the
// same words, each written once in tools/kit/sentences.json. Exit status 0 only for modules the
// saver shows completely (warnings aside).
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "check_words.h"
#include "girls/module_file.h"
#include "scene/sprite.h"
#include "sky_range.h"

static const int FRAMES = MODULE_FRAMES;
static const int MAX_NAME = 12;
static const int MAX_TITLE = 39;
static const long long MAX_FRAME_SIDE = 2048;  // as the kit: a frame of 2048 x 2048
static const long long MAX_FRAME_PIXELS = MAX_FRAME_SIDE * MAX_FRAME_SIDE;

// One line of the report: a label ("module", "title", "GIRL5"...) and what it says; or a line
// that names its part itself.
static void say(const std::string& label, const std::string& text) { printf("%s: %s\n", label.c_str(), text.c_str()); }
static void say(const std::string& line) { printf("%s\n", line.c_str()); }

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
    std::string reason;
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        reason = sentence::reasonNoPermission;
        break;
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_FILE_INVALID:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_BAD_FORMAT:
        reason = sentence::reasonNotLibrary;
        break;
    default: {
        char text[256] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                       sizeof text, nullptr);
        for (char* end = text + strlen(text); end > text && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == '.'); )
            *--end = '\0';
        reason = text[0] ? std::string(text) : words(sentence::reasonSystemError, {{"number", std::to_string(error)}});
        break;
    }
    }
    say("module", words(sentence::cannotOpen, {{"file", name}, {"reason", reason}}));
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

// Every sentence for a module the saver will not read.
static void say_unreadable_module(const ModuleCheck& check, const char* name)
{
    for (const std::string& line : unreadable_lines(check, name))
        printf("%s\n", line.c_str());
}

// Her title as the system reads it: as long as a string resource can be (65,535 characters, each
// up to two bytes in the system's code page), so that even a title far too long is shown whole.
struct TitleRead {
    char title[2 * 65535 + 1];
    int length;
};
static TitleRead title_read;

static void read_title(HMODULE module, void* read)
{
    TitleRead* title = static_cast<TitleRead*>(read);
    title->length = LoadStringA(module, 1, title->title, sizeof title->title);
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
    TitleRead& title = title_read;
    title.title[0] = '\0';
    SpriteFrame frames[FRAMES] = {};
    *read_faulted = !read_module_guarded(module, check.file_size, read_title, &title) ||
                    !read_module_guarded(module, check.file_size, read_frames, frames);
    if (*read_faulted) {
        free_frames(frames);
        return false;
    }
    say("module", sentence::readable);
    if (!(check.present & PART_TITLE)) {
        say("title", sentence::titleMissing);
        good = false;
    } else if (check.title_length > MAX_TITLE) {
        say("title", words(sentence::titleTooLong, {{"title", title.title},
                                                    {"length", std::to_string(check.title_length)},
                                                    {"most", std::to_string(MAX_TITLE)}}));
        good = false;
    } else {
        say_title(title.title, check.title_length);
    }

    const long long width = check.frames[0].width, height = check.frames[0].height;
    int not_black = 0;
    for (int i = 0; i < FRAMES; i++) {
        const FrameFacts& facts = check.frames[i];
        const std::string n = std::to_string(i + 1), label = "GIRL" + n;
        if (!(check.present & frame_part(i + 1))) {
            say(words(sentence::frameMissing, {{"n", n}}));
            good = false;
            continue;
        }
        if (facts.width * facts.height > MAX_FRAME_PIXELS) {
            say(label, words(sentence::frameTooLarge, {{"width", std::to_string(facts.width)},
                                                       {"height", std::to_string(facts.height)},
                                                       {"most", std::to_string(MAX_FRAME_SIDE)}}));
            good = false;
            continue;
        }
        bool eight_bit = facts.bits == 8 && facts.colours == 256;
        if (!eight_bit) {
            say(words(sentence::frameNotEightBit, {{"n", n}, {"bits", std::to_string(facts.bits)},
                                                   {"colours", std::to_string(facts.colours)}}));
            good = false;
        } else if (i > 0 && (facts.width != width || facts.height != height)) {
            say(words(sentence::frameOtherSize, {{"n", n}, {"width", std::to_string(facts.width)},
                                                 {"height", std::to_string(facts.height)},
                                                 {"firstWidth", std::to_string(width)},
                                                 {"firstHeight", std::to_string(height)}}));
            good = false;
        } else {
            say(words(sentence::frameShown, {{"n", n}, {"width", std::to_string(facts.width)},
                                             {"height", std::to_string(facts.height)}}));
        }
        if (frames[i].bitmap && !background_is_black(frames[i].bitmap, static_cast<int>(facts.width),
                                                     static_cast<int>(facts.height))) {
            say(words(sentence::frameNotOnBlack, {{"n", n}}));
            not_black++;
        }
    }
    if (!(check.present & frame_part(1)) || width * height > MAX_FRAME_PIXELS) {
        say("GIRL1", words(sentence::noFirstFrame, {{"file", name}}));
        good = false;
    }
    bool sky = true;
    for (int i = 0; i < FRAMES; i++)
        if (frames[i].bitmap && check.frames[i].bits == 8 && !holds_sky(frames[i].bitmap))
            sky = false;
    if (!sky)
        say("colours", words(sentence::lacksSky, {{"first", std::to_string(SKY_FIRST)}}));
    if (not_black == 0)
        say("background", sentence::backgroundBlack);
    else
        say("background", words(sentence::backgroundNotBlack, {{"count", std::to_string(not_black)},
                                                               {"frames", std::to_string(FRAMES)}}));
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
        say("file", words(sentence::fileMissing, {{"path", path}}));
        return 1;
    }
    if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        say("file", words(sentence::fileIsFolder, {{"path", path}, {"file", name}}));
        return 1;
    }
    const bool found = module_name_fits(name);
    if (found)
        say("name", words(sentence::nameFits, {{"file", name}, {"length", std::to_string(strlen(name))}}));
    else
        say("name", words(sentence::nameNotFound, {{"file", name}}));

    // As long as a path the system can name (beyond MAX_PATH with the \\?\ prefix).
    static char full[32768];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        lstrcpynA(full, path, sizeof full);
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
            say("module", words(sentence::readFaulted, {{"file", name}}));
    }
    close_module(&opened);
    if (!found)
        say("verdict", sentence::verdictNotFound);
    else if (!readable)
        say("verdict", words(sentence::verdictUnreadable, {{"file", name}}));
    else
        say("verdict", good ? sentence::verdictComplete : sentence::verdictIncomplete);
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
