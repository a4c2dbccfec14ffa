// runs.cpp --- the saver's whole runs played in this process, as the system and a user would, and
// the checks of how each ends: no hang, nothing of the desktop, input ends it, the password asked,
// nothing left alive, the system's colours and the options as they should be.
#include "runs.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

#include "base/flags.h"
#include "girls/settings.h"
#include "host/close_rules.h"
#include "host/host.h"
#include "refusals.h"
#include "resources/resource_ids.h"
#include "scene/scene_window.h"
#include "scene/stage.h"
#include "tests/fixtures/stand_in_registry.h"
#include "tools/pictures/readable_picture.h"

const char* const PHASE_NAMES[PHASE_COUNT] = {
    "start", "one girl", "random girls", "16 colours", "256 colours", "true colour", "two monitors",
    "display change", "password", "end", "dialog opens", "dialog changes", "dialog saves"};

const Scenario SCENARIOS[] = {
    {"one girl", false, false},  {"random girls", false, false}, {"settings", false, false},
    {"two monitors", false, true}, {"password", true, false},     {"settings on the 95 family", true, false},
};
const int SCENARIO_COUNT = sizeof SCENARIOS / sizeof SCENARIOS[0];

static const int CYCLE_TICKS = 330;  // one whole cycle on 640 x 480, and a little more
static const int CHANGE_TICKS = 40;  // after a change of the displays

static std::vector<std::string> problems;
static int scenario_now;

static void problem(const std::string& text)
{
    problems.push_back(text);
    printf("problem %s\n", text.c_str());
    fflush(stdout);
}

static void enter(Phase phase)
{
    set_phase(phase);
    printf("phase %s\n", PHASE_NAMES[phase]);
    fflush(stdout);
}

// The machine as the run needs it.

static std::string system_path(const char* name)
{
    char directory[MAX_PATH];
    GetSystemDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + name;
}

static std::string built(const char* relative) { return std::string("Z:") + SKYFLARE_BUILD_DIR + "/" + relative; }

static void install_sample_girls()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(system_path("lumidoll.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA(system_path(found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const char* girl : {"lumidoll.aur", "lumidoll.mir", "lumidoll.lyr"})
        CopyFileA(built((std::string("girl-modules/") + girl).c_str()).c_str(), system_path(girl).c_str(), FALSE);
}

struct Options {
    int mode, girl, screens;
    bool operator==(const Options& o) const { return mode == o.mode && girl == o.girl && screens == o.screens; }
};

static std::string settings_file_path()
{
    char directory[MAX_PATH];
    GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\control.ini";
}

static void store(const Options& o)
{
    std::ofstream(settings_file_path(), std::ios::binary)
        << "[Screen Saver.SkyFlare]\r\nMode=" << o.mode << "\r\nGirl=" << o.girl << "\r\nScreens=" << o.screens << "\r\n";
}

static Options stored()
{
    const char* section = "Screen Saver.SkyFlare";
    return {static_cast<int>(GetPrivateProfileIntA(section, "Mode", -100, "control.ini")),
            static_cast<int>(GetPrivateProfileIntA(section, "Girl", -100, "control.ini")),
            static_cast<int>(GetPrivateProfileIntA(section, "Screens", -100, "control.ini"))};
}

static std::string text_of(const Options& o)
{
    char text[64];
    wsprintfA(text, "Mode %d, Girl %d, Screens %d", o.mode, o.girl, o.screens);
    return text;
}

static void set_user_dword(const char* key, const char* name, DWORD value)
{
    HKEY opened;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(opened, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(opened);
    }
}

// The stand-in password library as the 95 family's PASSWORD.CPL, a password in force, and the
// stand-in's notes cleared; it answers as told.
static void password_in_force()
{
    CopyFileA(built("tests/fixtures/password_stand_in.dll").c_str(), system_path("PASSWORD.CPL").c_str(), FALSE);
    set_user_dword("Control Panel\\Desktop", "ScreenSaveUsePassword", 1);
    RegDeleteKeyA(HKEY_CURRENT_USER, STAND_IN_KEY);
    stand_in_write("Answer", 0);
}

static std::vector<COLORREF> system_colours()
{
    std::vector<COLORREF> colours;
    for (int element = COLOR_SCROLLBAR; element <= COLOR_GRADIENTINACTIVECAPTION; element++)
        colours.push_back(GetSysColor(element));
    return colours;
}

static RECT virtual_screen()
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Another program's bright window over the whole screen: the desktop, as far as the saver knows.
static LRESULT CALLBACK bright_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

static HWND show_bright_desktop()
{
    WNDCLASSA bright = {};
    bright.lpfnWndProc = bright_proc;
    bright.hInstance = GetModuleHandleA(nullptr);
    bright.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    bright.lpszClassName = "SweepDesktop";
    RegisterClassA(&bright);
    const RECT all = virtual_screen();
    HWND window = CreateWindowExA(0, "SweepDesktop", "desktop", WS_POPUP | WS_VISIBLE, all.left, all.top,
                                  all.right - all.left, all.bottom - all.top, nullptr, nullptr, bright.hInstance, nullptr);
    UpdateWindow(window);
    return window;
}

// Stand-ins: a display of another depth, whose palette use the saver can take; a message box
// that notes what it would say and is closed at once.
static int pretended_bits;          // 0: the display as it is
static UINT palette_use = SYSPAL_STATIC;
static int message_boxes;
static bool message_in_unicode;

static int WINAPI pretended_caps(HDC dc, int index)
{
    if (pretended_bits && index == BITSPIXEL)
        return pretended_bits;
    if (pretended_bits && index == PLANES)
        return 1;
    return GetDeviceCaps(dc, index);
}

static UINT WINAPI pretended_palette_use(HDC dc, UINT use)
{
    if (pretended_bits != 8)
        return SetSystemPaletteUse(dc, use);
    const UINT was = palette_use;
    palette_use = use;
    return was;
}

static int WINAPI noted_message_w(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    message_boxes += text && *text;
    message_in_unicode = true;
    return IDOK;
}

static int WINAPI noted_message_a(HWND, LPCSTR text, LPCSTR, UINT)
{
    message_boxes += text && *text;
    message_in_unicode = false;
    return IDOK;
}

// Pumps this thread's messages, leaving the quit message to the saver's own loop.
static void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}


// The saver window's own pixels (the screen's lag behind them), in a picture of the window.
static ReadablePicture* picture;
static unsigned long long last_look;
static int looks_after_refusal, changes_after_refusal;
static int last_state = -1;
static bool trail_told;

// Every pixel lies in a sprite's rectangle or at an overlay's corner, or is black: nothing of the
// desktop, no trail, nothing drawn from a bitmap that is not there. Read through a device
// context of the system's cache, whatever the window's own may hold.
static void look(HWND saver, Phase phase, bool cycle_ended)
{
    HDC dc = GetDCEx(saver, nullptr, DCX_CACHE);
    BitBlt(picture->dc, 0, 0, picture->width, picture->height, dc, 0, 0, SRCCOPY);
    ReleaseDC(saver, dc);
    GdiFlush();
    unsigned long long hash = 1469598103934665603ull;
    for (int i = 0; i < picture->width * picture->height; i++)
        hash = (hash ^ (picture->bits[i] & 0xFFFFFF)) * 1099511628211ull;
    if (refusal_made()) {
        changes_after_refusal += looks_after_refusal > 0 && hash != last_look;
        looks_after_refusal++;
    }
    last_look = hash;
    // A whole cycle leaves the primary monitor's scene black again, overlays faded and both
    // movers gone: a trail or a ghost the draws left anywhere shows here.
    if (cycle_ended) {
        POINT origin = {scene_at(0)->screen.left, scene_at(0)->screen.top};
        ScreenToClient(saver, &origin);
        int shown = 0;
        for (int y = 0; y < scene_at(0)->sequence.screen_height; y++)
            for (int x = 0; x < scene_at(0)->sequence.screen_width; x++)
                shown += (picture->bits[(origin.y + y) * picture->width + origin.x + x] & 0xFFFFFF) != 0;
        if (shown)
            problem(std::to_string(shown) + " pixels still shown after a whole cycle, in phase " + PHASE_NAMES[phase]);
    }
    for (int i = 0; scene_at(i); i++) {
        const Scene* scene = scene_at(i);
        POINT origin = {scene->screen.left, scene->screen.top};
        ScreenToClient(saver, &origin);
        const SceneState& q = scene->sequence;
        const Sprite* sprites[4] = {&scene->girl, &scene->flare, &scene->sky, &scene->banner};
        RECT places[12] = {};
        for (int s = 0; s < 4; s++) {
            const Sprite* sprite = sprites[s];
            SetRect(&places[s], sprite->x, sprite->y, sprite->x + sprite->width, sprite->y + sprite->height);
            if (sprite->owed)  // its old place, which its next draw puts back
                SetRect(&places[8 + s], sprite->owed_x, sprite->owed_y, sprite->owed_x + sprite->width,
                        sprite->owed_y + sprite->height);
        }
        const int sw = scene->sky.width, sh = scene->sky.height, bw = scene->banner.width, bh = scene->banner.height;
        SetRect(&places[4], q.mx, q.my, q.mx + sw, q.my + sh);
        SetRect(&places[5], q.screen_width - q.mx - sw, q.my, q.screen_width - q.mx, q.my + sh);
        SetRect(&places[6], q.mx, q.screen_height - q.my - bh, q.mx + bw, q.screen_height - q.my);
        SetRect(&places[7], q.screen_width - q.mx - bw, q.screen_height - q.my - bh, q.screen_width - q.mx,
                q.screen_height - q.my);
        for (RECT& place : places) {
            OffsetRect(&place, origin.x, origin.y);
            FillRect(picture->dc, &place, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
    }
    GdiFlush();
    int stray = 0;
    for (int i = 0; i < picture->width * picture->height; i++)
        stray += (picture->bits[i] & 0xFFFFFF) != 0;
    if (stray && !trail_told) {
        trail_told = true;
        problem(std::to_string(stray) + " pixels shown outside every sprite, in phase " + PHASE_NAMES[phase]);
    }
}

// Full screen, above everything, over every monitor.
static void check_cover(HWND saver, Phase phase)
{
    RECT window;
    GetWindowRect(saver, &window);
    const RECT all = virtual_screen();
    const POINT probes[] = {{all.left, all.top}, {all.right - 1, all.bottom - 1}, {(all.left + all.right) / 2, (all.top + all.bottom) / 2}};
    bool above = true;
    for (const POINT& probe : probes)
        above = above && GetAncestor(WindowFromPoint(probe), GA_ROOT) == saver;
    if (!EqualRect(&window, &all) || !IsWindowVisible(saver) || !above)
        problem(std::string("the desktop shows beside the saver, in phase ") + PHASE_NAMES[phase]);
}

static bool ticks(HWND saver, Phase phase, int count)
{
    enter(phase);
    for (int tick = 0; tick < count; tick++) {
        if (!IsWindow(saver)) {
            problem(std::string("the saver ended by itself, in phase ") + PHASE_NAMES[phase]);
            return false;
        }
        // What the saver's own loop handles between two ticks (a paint); its timer, where it set
        // one again, leaves the ticking to the run.
        pump();
        KillTimer(saver, SCENE_TIMER);
        SendMessageA(saver, WM_TIMER, SCENE_TIMER, 0);
        const int state = scene_at(0) ? scene_at(0)->sequence.state : -1;
        // Until its refusal a run is the recorded one, whose every tick was looked at.
        if (!refusal_planned() || refusal_made())
            look(saver, phase, state == 0 && last_state == 19);
        last_state = state;
    }
    return IsWindow(saver) != FALSE;
}

// A change of the displays to a depth (the same size), then the scene plays on.
static bool change_display(HWND saver, Phase phase, int bits, int count = CHANGE_TICKS)
{
    enter(phase);
    pretended_bits = bits == 32 ? 0 : bits;
    const RECT all = virtual_screen();
    SendMessageA(saver, WM_DISPLAYCHANGE, static_cast<WPARAM>(bits), MAKELPARAM(all.right - all.left, all.bottom - all.top));
    KillTimer(saver, SCENE_TIMER);  // the run ticks by hand
    check_cover(saver, phase);
    return ticks(saver, phase, count);
}

static int key_presses;
static int last_girl;

// A key, pressed again while the saver stays (the system may have refused to pass one on), at
// most three times.
static void CALLBACK press_key(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!saver_window || !IsWindow(saver_window)) {
        KillTimer(nullptr, timer);
        return;
    }
    if (key_presses == 3) {
        KillTimer(nullptr, timer);
        problem("three keys did not end the saver");
        DestroyWindow(saver_window);
        return;
    }
    key_presses++;
    PostMessageA(saver_window, WM_KEYDOWN, VK_SPACE, 0);
}

// The 95 family: a key, pressed again while nothing asks for the password (the system may have
// refused to pass one on), at most three times; the password refuses, and the saver stays.
static void refused_password(HWND saver)
{
    enter(PHASE_PASSWORD);
    for (int press = 0; press < 3 && IsWindow(saver) && stand_in_read("Calls") == 0; press++) {
        PostMessageA(saver, WM_KEYDOWN, VK_SPACE, 0);
        pump();
        pump();
    }
    // Only a library found without its verifier lets the first request close, as a missing one does.
    const bool no_verifier = stand_in_read("Calls") == 0 && refused_function() == function_index("GetProcAddress");
    if (!IsWindow(saver) && !no_verifier)
        problem("the saver closed without the password");
    if (IsWindow(saver) && stand_in_read("Calls") == 0)
        problem("three keys did not ask for the password");
    Sleep(250);  // past the interval in which a refused password is not asked again
    stand_in_write("Answer", 1);
}

static void CALLBACK saver_script(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND saver = saver_window;
    if (!saver || !IsWindowVisible(saver))
        return;
    KillTimer(nullptr, timer);
    check_cover(saver, PHASE_START);
    KillTimer(saver, SCENE_TIMER);  // the run ticks by hand, without waiting
    look(saver, PHASE_START, false);
    const std::string name = SCENARIOS[scenario_now].name;
    bool on = true;
    if (name == "one girl")
        on = ticks(saver, PHASE_ONE_GIRL, CYCLE_TICKS) && change_display(saver, PHASE_16_COLOURS, 4, CYCLE_TICKS) &&
             change_display(saver, PHASE_256_COLOURS, 8) && change_display(saver, PHASE_TRUE_COLOUR, 32);
    else if (name == "random girls")
        on = ticks(saver, PHASE_RANDOM_GIRLS, CYCLE_TICKS);
    else if (name == "two monitors")
        on = ticks(saver, PHASE_TWO_MONITORS, CYCLE_TICKS) && change_display(saver, PHASE_DISPLAY_CHANGE, 32);
    else if (name == "password") {
        on = ticks(saver, PHASE_PASSWORD, 20);
        if (on)
            refused_password(saver);
        on = on && IsWindow(saver);
    }
    if (!on)
        return;
    if (looks_after_refusal > 1 && changes_after_refusal == 0)
        problem("the scene stood still after the refusal");
    last_girl = scene_at(0) ? scene_at(0)->girl_index : -1;
    enter(PHASE_END);
    key_presses = 0;
    SetTimer(nullptr, 0, 100, press_key);
}

static void play_saver(const Options& before)
{
    picture = new ReadablePicture(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    closing = 0;
    preview_mode = 0;
    checking_password = 0;
    saver_window = nullptr;
    GetCursorPos(&saved_cursor);
    last_girl = -1;
    enter(PHASE_START);
    UINT_PTR timer = SetTimer(nullptr, 0, 30, saver_script);
    const int result = run_saver(nullptr);
    KillTimer(nullptr, timer);
    delete picture;
    picture = nullptr;
    const bool made = saver_window != nullptr;
    if (made ? result != 0 : result != -1)
        problem("the saver ended with " + std::to_string(result));
    if (made && IsWindow(saver_window))
        problem("the saver's window is still there");
    // What the saver writes back: the Mode it played, and its last girl; Screens as it was.
    const Options after = stored(), played = {before.mode, last_girl, before.screens};
    if (!(after == before) && !(made && after == played))
        problem("the options are " + text_of(after) + ", neither the old " + text_of(before) + " nor the new " + text_of(played));
}

// The dialog, as a user meets it: opened, changed to one girl, the third, on every screen, and OK.
static Options chosen;
static bool cancelled;

static void CALLBACK cancel_if_open(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND dialog = FindWindowA("#32770", "Screen Glimmer");
    if (dialog) {
        cancelled = true;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

static void CALLBACK dialog_script(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", "Screen Glimmer");
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    enter(PHASE_DIALOG_CHANGES);
    SendDlgItemMessageA(dialog, IDC_SINGLE_GIRL, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_SETCURSEL, 2, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_GIRL_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_GIRL_LIST)));
    SendDlgItemMessageA(dialog, IDC_EVERY_SCREEN, BM_CLICK, 0, 0);
    chosen = {0, static_cast<int>(SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_GETCURSEL, 0, 0)),
              IsDlgButtonChecked(dialog, IDC_EVERY_SCREEN) == BST_CHECKED ? 1 : 0};
    enter(PHASE_DIALOG_SAVES);
    SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    SetTimer(nullptr, 0, 200, cancel_if_open);  // a dialog that stays is cancelled, as a user would
}

static void play_settings(const Options& before)
{
    cancelled = false;
    chosen = before;
    enter(PHASE_DIALOG_OPENS);
    UINT_PTR timer = SetTimer(nullptr, 0, 30, dialog_script);
    const INT_PTR result = open_config_dialog(nullptr);
    KillTimer(nullptr, timer);
    const Options after = stored();
    if (FindWindowA("#32770", "Screen Glimmer"))
        problem("the dialog is still there");
    if (result == IDOK && !(after == chosen))
        problem("OK left the options " + text_of(after) + " instead of " + text_of(chosen));
    if (result != IDOK && !(after == before))
        problem("the options are " + text_of(after) + " instead of the old " + text_of(before));
    if ((result == IDOK) == (message_boxes > 0))
        problem(result == IDOK ? "the dialog saved and said it could not" : "the dialog did not say what it could not do");
    if (message_boxes && message_in_unicode == (is_win9x != 0))
        problem("the message came in the wrong kind of text for this Windows");
    if (result != IDOK && result != -1 && !cancelled)
        problem("the dialog ended without OK or Cancel");
}

std::vector<std::string> play(int scenario)
{
    problems.clear();
    scenario_now = scenario;
    const Scenario& s = SCENARIOS[scenario];
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    is_win9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    if (is_win9x != s.win9x)
        return {"this Windows is not the one the scenario needs"};
    install_sample_girls();
    const bool settings = std::string(s.name).find("settings") == 0;
    const Options before = settings ? Options{1, 0, 0} : Options{std::string(s.name) == "one girl" ? 0 : 1, 1, s.two_monitors ? 1 : 0};
    store(before);
    if (std::string(s.name) == "password")
        password_in_force();
    stand_in("GetDeviceCaps", reinterpret_cast<void*>(pretended_caps));
    stand_in("SetSystemPaletteUse", reinterpret_cast<void*>(pretended_palette_use));
    stand_in("MessageBoxW", reinterpret_cast<void*>(noted_message_w));
    stand_in("MessageBoxA", reinterpret_cast<void*>(noted_message_a));
    HWND desktop = show_bright_desktop();
    const std::vector<COLORREF> colours = system_colours();
    if (settings)
        play_settings(before);
    else
        play_saver(before);
    if (system_colours() != colours)
        problem("the system's colours are not as before");
    for (const std::string& alive : objects_alive())
        problem("left alive: " + alive);
    DestroyWindow(desktop);
    // No password is left in force, for whatever runs in this Windows next.
    DeleteFileA(system_path("PASSWORD.CPL").c_str());
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "ScreenSaveUsePassword");
        RegCloseKey(key);
    }
    return problems;
}
