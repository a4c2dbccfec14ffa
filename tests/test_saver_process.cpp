// test_saver_process.cpp --- SkyFlare.scr as its own process, driven as the system and a user would.
#include <algorithm>
#include <memory>

#include "host/host.h"
#include "support/support.h"

namespace {

const DWORD FAILED = static_cast<DWORD>(-1);

struct WindowSearch {
    DWORD process;
    const char* class_name;
    const char* title;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM param)
{
    auto* s = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char its_class[64] = "", its_title[64] = "";
    GetClassNameA(window, its_class, sizeof its_class);
    GetWindowTextA(window, its_title, sizeof its_title);
    if (owner == s->process && std::string(its_class) == s->class_name &&
        (!s->title || std::string(its_title) == s->title)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND find_window_of(DWORD process, const char* class_name, const char* title)
{
    WindowSearch search = {process, class_name, title, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct WindowCount {
    DWORD process;           // 0: any process
    const char* class_name;  // null: any class
    int count;
};

BOOL CALLBACK count_window(HWND window, LPARAM param)
{
    auto* c = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char class_name[64] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if ((!c->process || owner == c->process) && (!c->class_name || std::string(class_name) == c->class_name))
        c->count++;
    return TRUE;
}

int count_windows(DWORD process, const char* class_name)
{
    WindowCount c = {process, class_name, 0};
    EnumWindows(count_window, reinterpret_cast<LPARAM>(&c));
    return c.count;
}

int count_saver_windows() { return count_windows(0, "WindowsScreenSaverClass"); }


// The saver started with a command tail, as the display settings would start it.
struct Saver : Process {
    explicit Saver(const std::string& tail) : Process("\"" + saver_path() + "\" " + tail) { REQUIRE(started); }
    Saver(const std::string& command_line, bool) : Process(command_line) { REQUIRE(started); }
    HWND wait_window(const char* class_name, const char* title, DWORD timeout = 20000)
    {
        HWND found = nullptr;
        wait_until([&] { return (found = find_window_of(info.dwProcessId, class_name, title)) != nullptr; }, timeout);
        return found;
    }
    HWND full_screen() { return wait_window("WindowsScreenSaverClass", "Screen Saver"); }
    // The dialog once it is up: filled and shown.
    HWND dialog()
    {
        HWND found = wait_window("#32770", "Screen Glimmer");
        if (found)
            wait_until([&] { return IsWindowVisible(found) != FALSE; });
        return found;
    }
    DWORD finish(DWORD timeout = 20000)
    {
        REQUIRE(wait(timeout));
        return exit_code();
    }
    // Runs it to its end, watching it all the while: the most top-level windows (of a class, or
    // of any) that it had at once.
    int most_windows_until_end(const char* class_name = nullptr, DWORD timeout = 20000)
    {
        int most = 0;
        ULONGLONG start = GetTickCount64();
        while (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT && GetTickCount64() - start < timeout) {
            most = std::max(most, count_windows(info.dwProcessId, class_name));
            pump_messages();
        }
        REQUIRE(WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0);
        return most;
    }
    // The window stays: the scene has drawn two more ticks since now, and input posted before
    // would have been handled before them.
    bool stays(HWND window)
    {
        return screen_changes(10000) && screen_changes(10000) && IsWindow(window) &&
               WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
    }
};

// The display settings' preview area, which the saver's preview window fills.
std::vector<LPARAM> preview_parent_messages;  // each context menu's position, as it arrived
LRESULT CALLBACK preview_parent(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CONTEXTMENU) {
        if (wparam == reinterpret_cast<WPARAM>(window))
            preview_parent_messages.push_back(lparam);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

std::string number(HWND window) { return std::to_string(reinterpret_cast<UINT_PTR>(window)); }

// The preview is still there once it has handled everything sent to it so far: a request for
// the context menu, posted behind it, has come back to the parent.
bool preview_stays(HWND preview)
{
    preview_parent_messages.clear();
    PostMessageA(preview, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(preview), MAKELPARAM(1, 1));
    return wait_until([] { return !preview_parent_messages.empty(); }) && IsWindow(preview);
}

void press_key(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void click_mouse(DWORD down, DWORD up)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = down;
    input[1].mi.dwFlags = up;
    SendInput(2, input, sizeof(INPUT));
}

void park_pointer(int x, int y)
{
    SetCursorPos(x, y);
    REQUIRE(wait_until([&] { POINT p; GetCursorPos(&p); return p.x == x && p.y == y; }));
}


const char* const APP_KEY = "Software\\Wine\\AppDefaults\\SkyFlare.scr";
const char* const FAULT_APP_KEY = "Software\\Wine\\AppDefaults\\SkyFlareFault.scr";

// Wine reports the Windows 95 family to the saver while this lives.
struct SaverAsWin98 {
    const char* key;
    explicit SaverAsWin98(const char* app_key = APP_KEY) : key(app_key)
    {
        set_user_string(key, "Version", "win98");
        set_user_string((std::string(key) + "\\DllOverrides").c_str(), "mpr", "native,builtin");
        clear_stand_in_notes();
    }
    ~SaverAsWin98()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, key);
        install_password_library(nullptr);
        delete_user_value("Control Panel\\Desktop", "ScreenSaveUsePassword");
    }
};

// The stand-in network provider library in place of Wine's own, while this lives; the saver
// takes it over the built-in one.
struct StandInProvider {
    std::string mpr = system_path("MPR.DLL"), kept = system_path("mpr-kept.dll");
    std::string overrides = std::string(APP_KEY) + "\\DllOverrides";
    StandInProvider()
    {
        REQUIRE(MoveFileExA(mpr.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING));
        REQUIRE(CopyFileA(fixture_path("mpr_stand_in.dll").c_str(), mpr.c_str(), FALSE));
        set_user_string(overrides.c_str(), "mpr", "native,builtin");
    }
    ~StandInProvider()
    {
        MoveFileExA(kept.c_str(), mpr.c_str(), MOVEFILE_REPLACE_EXISTING);
        delete_user_value(overrides.c_str(), "mpr");
    }
};

// The saver as Wine normally reports the platform: outside the Windows 95 family.
struct SaverAsNt {
    SaverAsNt()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, APP_KEY);
        install_password_library(nullptr);
        delete_user_value("Control Panel\\Desktop", "ScreenSaveUsePassword");
    }
};

}  // namespace

TEST_CASE("the command line picks the mode, and the mode's result is the exit code")
{
    SaverAsNt platform;
    install_sample_girls();
    park_pointer(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);

    SUBCASE("no switch at all: the dialog, owned by no window")
    {
        Saver s("\"" + saver_path() + "\"", true);
        HWND dialog = s.dialog();
        REQUIRE(dialog != nullptr);
        CHECK(GetWindow(dialog, GW_OWNER) == nullptr);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        CHECK(s.finish() == 2);
    }
    SUBCASE("a slash alone is no switch either; OK ends with 1")
    {
        Saver s("/");
        HWND dialog = s.dialog();
        REQUIRE(dialog != nullptr);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        CHECK(s.finish() == 1);
    }
    SUBCASE("every way of writing the full-screen switch")
    {
        for (const char* tail : {"/s", "-S", "s", "//s", "- /s", "/screensaver"}) {
            CAPTURE(tail);
            Saver s(tail);
            HWND window = s.full_screen();
            REQUIRE(window != nullptr);
            PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
            CHECK(s.finish() == 0);
        }
    }
    SUBCASE("a quoted program name followed directly by the switch")
    {
        Saver s("\"" + saver_path() + "\"/s", true);
        HWND window = s.full_screen();
        REQUIRE(window != nullptr);
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        CHECK(s.finish() == 0);
    }
    SUBCASE("switches it cannot use end with -1 and make nothing")
    {
        for (const char* tail : {"/\ts", "x", "/x", "/p:1234", "/p 0", "/p", "/p 99999999", "/l",
                                 "/l 0", "-?", "/\xE9"}) {
            CAPTURE(tail);
            Saver s(tail);
            CHECK(s.most_windows_until_end() == 0);
            CHECK(s.exit_code() == FAILED);
        }
    }
    SUBCASE("the configuration switch ignores what follows and is owned by the foreground window")
    {
        TestWindow owner(200, 100, nullptr, 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        for (const char* tail : {"/c:1234", "/c 1234", "/C"}) {
            CAPTURE(tail);
            SetForegroundWindow(owner.handle);
            REQUIRE(wait_until([&] { return GetForegroundWindow() == owner.handle; }));
            Saver s(tail);
            HWND dialog = s.dialog();
            REQUIRE(dialog != nullptr);
            CHECK(GetWindow(dialog, GW_OWNER) == owner.handle);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            CHECK(s.finish() == 2);
        }
    }
    SUBCASE("the password change is for the Windows 95 family only")
    {
        clear_stand_in_notes();
        StandInProvider provider;  // so that a call to it would show
        Saver s("/a 1234");
        CHECK(s.finish() == FAILED);
        CHECK(stand_in_note("ChangeCalls") == 0);
    }
}

TEST_CASE("full screen: the saver covers the screen, animates, and any input ends it")
{
    SaverAsNt platform;
    install_sample_girls();
    // Among the girls, one whose file was cut short on its way: she is never read, and the
    // others play as ever.
    const std::string whole = read_file(sample_girl_path(SAMPLE_GIRLS[0]));
    write_file(system_path("lumidoll.cut"), whole.substr(0, whole.size() / 2));
    // On several monitors, a bright window of another program stands on another one, and the
    // pointer rests there: the saver must cover it and end on a move there too.
    const RECT all = virtual_screen(), other = other_monitor();
    const bool several = other.right > other.left;
    std::unique_ptr<BrightWindow> bright(several ? new BrightWindow(other) : nullptr);
    const POINT rest = several ? POINT{(other.left + other.right) / 2, (other.top + other.bottom) / 2}
                               : POINT{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
    park_pointer(rest.x, rest.y);
    write_settings("[Screen Saver.SkyFlare]\r\nMode=0\r\nGirl=+1\r\n");
    const std::vector<COLORREF> colours_before = system_colours_now();
    Saver s("/s");
    HWND window = s.full_screen();
    REQUIRE(window != nullptr);
    // Input goes to the saver once it is the foreground window.
    REQUIRE(wait_until([&] { return GetForegroundWindow() == window; }));
    // On a palette display the system's colours are black and white while the saver's
    // palettes hold the static colours: any window over it stays readable. Elsewhere they stay.
    const std::vector<COLORREF> colours_meanwhile = system_colours_now();
    REQUIRE(colours_meanwhile.size() == colours_before.size());
    if (palette_display()) {
        CHECK(colours_meanwhile[COLOR_BTNFACE] == RGB(255, 255, 255));
        CHECK(colours_meanwhile[COLOR_BTNTEXT] == RGB(0, 0, 0));
        CHECK(colours_meanwhile[COLOR_ACTIVECAPTION] == RGB(0, 0, 0));
    } else {
        CHECK(colours_meanwhile == colours_before);
    }
    CHECK((GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    RECT r;
    GetWindowRect(window, &r);
    CHECK(r.left == all.left);
    CHECK(r.top == all.top);
    CHECK(r.right == all.right);
    CHECK(r.bottom == all.bottom);
    CHECK(screen_changes(10000));
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Surface shown(w, h);
    capture_screen(shown);
    CHECK(shown.count_not(BLACK, {0, 0, w, h}) < w * h / 2);  // mostly black
    if (several) {
        Surface beside(other.right - other.left, other.bottom - other.top);
        capture_screen(beside, other.left, other.top);
        CHECK(beside.all(BLACK, {0, 0, beside.width, beside.height}));
    }

    SUBCASE("a second start brings the first forward and makes no second window")
    {
        Saver second("/s");
        CHECK(second.most_windows_until_end("WindowsScreenSaverClass") == 0);
        CHECK(second.exit_code() == 0);
        CHECK(count_saver_windows() == 1);
        CHECK(IsWindow(window));
        char title[64];
        CHECK(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed")) == 0);
        GetWindowTextA(window, title, sizeof title);
        CHECK(std::string(title) == "Screen Saver");
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        CHECK(s.finish() == 0);
    }
    SUBCASE("a key press")
    {
        press_key(VK_SHIFT);
        CHECK(s.finish() == 0);
    }
    SUBCASE("a mouse button")
    {
        click_mouse(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        CHECK(s.finish() == 0);
    }
    SUBCASE("the session ends while it plays: the saver lets it, and has given everything back first")
    {
        CHECK(SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == TRUE);
        // Another program refused: the session goes on, and the saver with it.
        SendMessageA(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
        CHECK(s.stays(window));
        // The process may be ended as soon as the message is answered: by then the window is
        // gone, and with it the options written and the system's colours given back.
        SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        CHECK_FALSE(IsWindow(window));
        CHECK(profile_value("Girl") == "1");
        CHECK(system_colours_now() == colours_before);
        CHECK(s.finish() == 0);
    }
    SUBCASE("a pointer move of 4 pixels does not end it; one of 5 does")
    {
        park_pointer(rest.x + 3, rest.y + 1);
        CHECK(s.stays(window));
        park_pointer(rest.x + 3, rest.y + 2);
        CHECK(s.finish() == 0);
    }
    // The options go back to the file on the way out, in the saver's own form.
    CHECK(profile_value("Girl") == "1");
    CHECK(profile_value("Mode") == "0");
    CHECK(system_colours_now() == colours_before);
}

TEST_CASE("the preview lives in its parent, ignores input and ends when the parent goes")
{
    SaverAsNt platform;
    install_sample_girls();
    preview_parent_messages.clear();
    TestWindow parent(320, 240, preview_parent, 0, WS_POPUP | WS_VISIBLE);
    RECT client;
    GetClientRect(parent.handle, &client);

    SUBCASE("by /p and by /l, even beside a running full-screen saver")
    {
        Saver full("/s");
        HWND full_window = full.full_screen();
        REQUIRE(full_window != nullptr);
        for (const char* letter : {"/p ", "/l  "}) {
            CAPTURE(letter);
            TestWindow area(200, 150, preview_parent, 0, WS_POPUP | WS_VISIBLE);
            Saver s(letter + number(area.handle));
            HWND preview = nullptr;
            REQUIRE(wait_until([&] {
                return (preview = FindWindowExA(area.handle, nullptr, "WindowsScreenSaverClass", "Preview")) != nullptr;
            }));
            RECT r;
            GetClientRect(preview, &r);
            CHECK(r.right == 200);
            CHECK(r.bottom == 150);
            DestroyWindow(area.handle);
            CHECK(s.finish() == 0);
        }
        PostMessageA(full_window, WM_KEYDOWN, VK_SPACE, 0);
        CHECK(full.finish() == 0);
    }
    SUBCASE("a right click asks the parent for its menu; input leaves it running")
    {
        Saver s("/p " + number(parent.handle));
        HWND preview = nullptr;
        REQUIRE(wait_until([&] {
            return (preview = FindWindowExA(parent.handle, nullptr, "WindowsScreenSaverClass", "Preview")) != nullptr;
        }));
        RECT r;
        GetClientRect(preview, &r);
        CHECK(r.right == client.right);
        CHECK(r.bottom == client.bottom);
        CHECK(SendMessageA(preview, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(preview), MAKELPARAM(30, 300)) == 1);
        REQUIRE(wait_until([] { return !preview_parent_messages.empty(); }));
        CHECK(preview_parent_messages[0] == MAKELPARAM(30, 300));  // where the pointer was
        SendMessageA(preview, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageA(preview, WM_LBUTTONDOWN, 0, 0);
        CHECK(preview_stays(preview));
        DestroyWindow(parent.handle);
        CHECK(s.finish() == 0);
    }
    SUBCASE("a window number past 32 bits wraps round")
    {
        unsigned long long wrapped = reinterpret_cast<UINT_PTR>(parent.handle) + 4294967296ull * 3;
        Saver s("/p " + std::to_string(wrapped));
        REQUIRE(wait_until([&] {
            return FindWindowExA(parent.handle, nullptr, "WindowsScreenSaverClass", "Preview") != nullptr;
        }));
        DestroyWindow(parent.handle);
        CHECK(s.finish() == 0);
    }
}

TEST_CASE("the Windows 95 family: the password change and the password check")
{
    install_sample_girls();
    park_pointer(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    SaverAsWin98 win98;
    TestWindow owner(100, 100, nullptr, 0, WS_POPUP | WS_VISIBLE);

    SUBCASE("/a with the provider library missing still ends with 0")
    {
        std::string mpr = system_path("MPR.DLL"), kept = system_path("mpr-kept.dll");
        REQUIRE(MoveFileExA(mpr.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING));
        Saver s("/a " + number(owner.handle));
        CHECK(s.finish() == 0);
        REQUIRE(MoveFileExA(kept.c_str(), mpr.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    SUBCASE("/a asks the provider library, with the owner given or else the foreground window")
    {
        StandInProvider provider;
        {
            Saver s("/a " + number(owner.handle));
            CHECK(s.finish() == 0);
            CHECK(stand_in_note("ChangeCalls") == 1);
            CHECK(stand_in_note("Owner") == static_cast<DWORD>(reinterpret_cast<UINT_PTR>(owner.handle)));
        }
        SetForegroundWindow(owner.handle);
        {
            // No such window (Wine takes some small numbers for windows: a large one is none).
            REQUIRE_FALSE(IsWindow(reinterpret_cast<HWND>(static_cast<UINT_PTR>(4000000000u))));
            Saver s("/A 4000000000");
            CHECK(s.finish() == 0);
            CHECK(stand_in_note("ChangeCalls") == 2);
            CHECK(stand_in_note("Owner") == static_cast<DWORD>(reinterpret_cast<UINT_PTR>(GetForegroundWindow())));
        }
    }
    SUBCASE("the preview, with a password in force, loads no password library and never asks")
    {
        install_password_library("password_stand_in.dll");
        use_password(1);
        set_user_dword("Software\\SkyFlareTests", "Answer", 1);
        TestWindow area(200, 150, preview_parent, 0, WS_POPUP | WS_VISIBLE);
        Saver s("/p " + number(area.handle));
        HWND preview = nullptr;
        REQUIRE(wait_until([&] {
            return (preview = FindWindowExA(area.handle, nullptr, "WindowsScreenSaverClass", "Preview")) != nullptr;
        }));
        SendMessageA(preview, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageA(preview, WM_LBUTTONDOWN, 0, 0);
        CHECK(preview_stays(preview));
        CHECK(stand_in_note("Loads") == 0);
        CHECK(stand_in_note("Calls") == 0);
        CHECK(saver_running_state() == FALSE);
        DestroyWindow(area.handle);
        CHECK(s.finish() == 0);
    }
    SUBCASE("the password library removed between runs: the next run closes on the first input")
    {
        install_password_library("password_stand_in.dll");
        use_password(1);
        set_user_dword("Software\\SkyFlareTests", "Answer", 0);
        {
            Saver s("/s");
            HWND window = s.full_screen();
            REQUIRE(window != nullptr);
            PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
            REQUIRE(wait_until([] { return stand_in_note("Calls") == 1; }));
            CHECK(s.stays(window));
            s.kill();
        }
        install_password_library(nullptr);
        Saver s("/s");
        HWND window = s.full_screen();
        REQUIRE(window != nullptr);
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        CHECK(s.finish() == 0);
        CHECK(stand_in_note("Calls") == 1);
    }
    SUBCASE("a refused password keeps the saver animating; an accepted one ends it")
    {
        install_password_library("password_stand_in.dll");
        use_password(1);
        set_user_dword("Software\\SkyFlareTests", "Answer", 0);
        set_user_dword("Software\\SkyFlareTests", "DelayMs", 2000);
        Saver s("/s");
        HWND window = s.full_screen();
        REQUIRE(window != nullptr);
        CHECK(wait_until([] { return saver_running_state() == TRUE; }));
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        REQUIRE(wait_until([] { return stand_in_note("Calls") == 1; }));
        CHECK(screen_changes(1500));  // while the check runs
        REQUIRE(wait_until([] { return stand_in_note("TimersSeen") > 0; }));
        CHECK(s.stays(window));
        set_user_dword("Software\\SkyFlareTests", "Answer", 1);
        set_user_dword("Software\\SkyFlareTests", "DelayMs", 0);
        // Keys within 200 ms of the refusal are not asked about; the user presses on until asked.
        CHECK(wait_until([&] {
            PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
            return stand_in_note("Calls") == 2;
        }));
        CHECK(s.finish() == 0);
        CHECK(stand_in_note("Calls") == 2);
        CHECK(saver_running_state() == FALSE);
    }
}

TEST_CASE("a fault in the middle of a run withdraws the running state and ends with the fault code")
{
    install_sample_girls();
    park_pointer(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    SaverAsWin98 win98(FAULT_APP_KEY);
    install_password_library("password_stand_in.dll");
    use_password(1);
    // A system with no debugger to call: its fault handling leaves the fault to the saver.
    HKEY debug;
    REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", 0,
                          KEY_ALL_ACCESS, &debug) == ERROR_SUCCESS);
    char kept[260] = "";
    DWORD size = sizeof kept;
    RegQueryValueExA(debug, "Debugger", nullptr, nullptr, reinterpret_cast<BYTE*>(kept), &size);
    const char none[] = "no-debugger-here.exe %ld %ld";
    RegSetValueExA(debug, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(none), sizeof none);

    // A saver that simply dies leaves the state as it was: the check below can fail.
    {
        SaverAsWin98 real_saver;
        install_password_library("password_stand_in.dll");
        Saver killed("/s");
        REQUIRE(killed.full_screen() != nullptr);
        REQUIRE(wait_until([] { return saver_running_state() == TRUE; }));
        killed.kill();
        CHECK(saver_running_state() == TRUE);
        set_saver_running_state(FALSE);
    }
    install_password_library("password_stand_in.dll");
    use_password(1);
    clear_stand_in_notes();
    const std::vector<COLORREF> colours_before = system_colours_now();
    Saver s("\"" + fixture_path("SkyFlareFault.scr") + "\" /s", true);
    REQUIRE(s.wait_window("WindowsScreenSaverClass", "Screen Saver") != nullptr);
    CHECK(s.finish() == static_cast<DWORD>(FAULT_EXIT_CODE));
    CHECK(saver_running_state() == FALSE);
    // On a palette display the system's colours, black and white while it ran, are back.
    CHECK(system_colours_now() == colours_before);
    CHECK(stand_in_note("Loads") == 1);  // the verifier was loaded, so the state had been set

    RegSetValueExA(debug, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(kept), lstrlenA(kept) + 1);
    RegCloseKey(debug);
}
