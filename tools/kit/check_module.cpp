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

#include "base/string_table.h"
#include "check_words.h"
#include "girls/module_file.h"
#include "girls/module_guard.h"
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

// A line that may hold any script (her title), in UTF-8: in full to a console; elsewhere (a
// pipe, a file) as it is.
static void say_text(const std::string& line)
{
    DWORD mode;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    fflush(stdout);
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = from_utf8(line) + L"\r\n";
        WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), nullptr, nullptr);
        return;
    }
    printf("%s\n", line.c_str());
}

// The code pages of the Windows 95 family's languages, in which that family shows every text,
// with the names of their scripts as the girl maker page gives them.
static const struct {
    UINT number;
    const char* script;
} CODE_PAGES[] = {{932, sentence::script932}, {936, sentence::script936}, {949, sentence::script949},
                  {950, sentence::script950}, {1250, sentence::script1250}, {1251, sentence::script1251},
                  {1252, sentence::script1252}};
static const int CODE_PAGE_COUNT = sizeof CODE_PAGES / sizeof CODE_PAGES[0];

// Her title as a Windows of the code page shows it, turned into the code page as the 95 family's
// LoadStringA does: a letter the code page lacks as Windows' best fit for it, else a "?".
static std::wstring in_code_page(const std::wstring& title, UINT code_page)
{
    const int size = WideCharToMultiByte(code_page, 0, title.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::wstring();
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, title.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    const int length = MultiByteToWideChar(code_page, 0, bytes.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring shown(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.c_str(), -1, &shown[0], length);
    shown.resize(static_cast<size_t>(length - 1));
    return shown;
}

// The one sentence, the page's word for word, that says in which of those code pages her title
// does not show as written and how it shows there; nothing when it shows in all of them.
static void say_code_pages(const std::wstring& title)
{
    std::wstring shown[CODE_PAGE_COUNT];
    int group[CODE_PAGE_COUNT];  // the first code page that shows it the same way; -1: as written
    int groups = 0, lacking = 0;
    for (int i = 0; i < CODE_PAGE_COUNT; i++) {
        shown[i] = in_code_page(title, CODE_PAGES[i].number);
        group[i] = shown[i] == title ? -1 : i;
        for (int j = 0; j < i && group[i] == i; j++)
            if (group[j] >= 0 && shown[j] == shown[i])
                group[i] = group[j];
        groups += group[i] == i;
        lacking += group[i] >= 0;
    }
    if (!groups)
        return;
    std::string ways;
    for (int i = 0; i < CODE_PAGE_COUNT; i++) {
        if (group[i] != i)
            continue;
        std::vector<std::string> pages;
        for (int j = i; j < CODE_PAGE_COUNT; j++)
            if (group[j] == i)
                pages.push_back(words(sentence::codePage, {{"number", std::to_string(CODE_PAGES[j].number)},
                                                           {"script", CODE_PAGES[j].script}}));
        const std::string way = words(pages.size() > 1 ? sentence::codePagesWays : sentence::codePagesWay,
                                      {{"looks", to_utf8(shown[i])}, {"pages", listed(pages)}});
        ways = ways.empty() ? way : words(sentence::codePagesThen, {{"first", ways}, {"then", way}});
    }
    say_text("title: " + words(sentence::codePages, {{"ways", ways},
                                                     {"lack", lacking > 1 ? sentence::codePagesLack
                                                                          : sentence::codePagesLacks}}));
}

// Every sentence for a module the saver will not read.
static void say_unreadable_module(const ModuleCheck& check, const char* name)
{
    for (const std::string& line : unreadable_lines(check, name))
        printf("%s\n", line.c_str());
}

// Her title as she stores it: as long as a string resource can be (65,535 characters), so that
// even a title far too long is shown whole.
struct TitleRead {
    WCHAR title[65535 + 1];
};
static TitleRead title_read;

// Her title exactly as she stores it, in UTF-16: string 1 in the language Windows finds first when
// asked for none (on every Windows, the 95 family's included), read as the saver reads it.
static void read_title(HMODULE module, void* read)
{
    TitleRead* title = static_cast<TitleRead*>(read);
    find_string(module, 1, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), title->title,
                sizeof title->title / sizeof title->title[0]);
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
    title.title[0] = L'\0';
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
    } else if (!title.title[0]) {
        // The rule found her title, the system none: said as such, never as an empty one.
        say("title", sentence::titleUnread);
        good = false;
    } else {
        const std::string shown = to_utf8(title.title);
        if (check.title_length > MAX_TITLE) {
            say_text("title: " + words(sentence::titleTooLong, {{"title", shown},
                                                                {"length", std::to_string(check.title_length)},
                                                                {"most", std::to_string(MAX_TITLE)}}));
            good = false;
        } else {
            say_text("title: " + words(sentence::titleShown, {{"title", shown},
                                                              {"length", std::to_string(lstrlenW(title.title))}}));
        }
        say_code_pages(title.title);
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
