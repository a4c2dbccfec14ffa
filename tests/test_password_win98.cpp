// test_password_win98.cpp --- the password hooks on the Windows 95 family, with stand-in libraries.
//
// Wine reports the Windows 95 family to this program (see support/main.cpp). The test cases
// run in file order: the first one needs a process that has not checked a password yet.
#include "host/host.h"
#include "scene/scene_window.h"
#include "scene/stage.h"
#include "support/support.h"
#include "tools/sweep/refusals.h"

namespace {

int timer_messages;

// A saver-like window: the scene layer, then the close rules.
LRESULT CALLBACK saver_like_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_TIMER)
        timer_messages++;
    return scene_proc(window, message, wparam, lparam);
}

// The saver's clock, moved by hand in every case, so that "199 ms later" and "200 ms later"
// are exact however slow the machine. Each case starts a day past the one before, so no stamp
// of an earlier case's password check can hold back a check of this one.
DWORD hand_clock = 50;  // the first case starts below 200 ms: its first check is the process's first
DWORD WINAPI read_hand_clock() { return hand_clock; }
DWORD next_day = 50;

struct Win98 {
    ImportSpy clock{"kernel32.dll", "GetTickCount", reinterpret_cast<void*>(read_hand_clock)};
    Win98()
    {
        hand_clock = next_day;
        next_day += 86400000;
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExA(&version);
        REQUIRE(version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS);
        is_win9x = 1;
        closing = 0;
        checking_password = 0;
        preview_mode = 0;
        clear_stand_in_notes();
        set_saver_running_state(FALSE);
    }
    ~Win98()
    {
        unload_password_verifier();
        install_password_library(nullptr);
        delete_user_value("Control Panel\\Desktop", "ScreenSaveUsePassword");
        closing = 0;
        set_saver_running_state(FALSE);
    }
};

// The verifier's answer and how long it takes to give it.
void verifier_answers(DWORD answer, DWORD delay_ms)
{
    set_user_dword("Software\\SkyFlareTests", "Answer", answer);
    set_user_dword("Software\\SkyFlareTests", "DelayMs", delay_ms);
}

// The stand-in password library in place, a password in force and the verifier loaded, with
// the answer it gives and how long it takes to give it.
void verifier_in_force(DWORD answer, DWORD delay_ms)
{
    install_password_library("password_stand_in.dll");
    use_password(1);
    verifier_answers(answer, delay_ms);
    load_password_verifier();
}

struct SaverLikeWindow : TestWindow {
    SaverLikeWindow() : TestWindow(320, 240, prepare())
    {
        timer_messages = 0;
        SetForegroundWindow(handle);  // the cursor shown is the foreground window's
    }
    // As the saver window does on creation: the pointer's place is the reference point.
    static WNDPROC prepare()
    {
        GetCursorPos(&saved_cursor);
        return saver_like_window;
    }
    void request_close()
    {
        PostMessageA(handle, WM_CLOSE, 0, 0);
        pump_messages();
    }
};

}  // namespace

TEST_CASE("the first check is never held back, and a refused check holds the next ones for 200 ms")
{
    Win98 platform;
    verifier_in_force(0, 0);
    SaverLikeWindow saver;
    // The clock reads 50 ms: were "no check yet" taken for a check at 0, this one would be held.
    REQUIRE(hand_clock < 200);
    saver.request_close();
    CHECK(stand_in_note("Calls") == 1);
    CHECK(stand_in_note("Window") == static_cast<DWORD>(reinterpret_cast<UINT_PTR>(saver.handle)));
    hand_clock += 199;
    saver.request_close();  // within the 200 ms: refused without asking
    CHECK(stand_in_note("Calls") == 1);
    CHECK(IsWindow(saver.handle));
    hand_clock += 1;
    saver.request_close();
    CHECK(stand_in_note("Calls") == 2);
    CHECK(IsWindow(saver.handle));
    // Across the clock's wrap after 49.7 days the interval holds the same.
    hand_clock = 0xFFFFFF00u;
    saver.request_close();
    CHECK(stand_in_note("Calls") == 3);
    hand_clock += 199;  // past zero
    saver.request_close();
    CHECK(stand_in_note("Calls") == 3);
    hand_clock += 1;
    saver.request_close();
    CHECK(stand_in_note("Calls") == 4);
    CHECK(closing == 0);
}

TEST_CASE("a refused password keeps the saver, hides the cursor and moves the reference point")
{
    Win98 platform;
    verifier_in_force(0, 0);
    // The pointer rests before the saver starts, so no movement of it asks for a close.
    SetCursorPos(123, 97);
    REQUIRE(wait_until([] { POINT p; GetCursorPos(&p); return p.x == 123 && p.y == 97; }));
    saved_cursor = {123, 97};
    SaverLikeWindow saver;
    pump_messages();
    saved_cursor = {1, 1};
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    saver.request_close();
    CHECK(stand_in_note("Calls") == 1);
    CHECK(IsWindow(saver.handle));
    CHECK(GetCursor() == nullptr);
    CHECK(saved_cursor.x == 123);
    CHECK(saved_cursor.y == 97);
}

TEST_CASE("while the password is asked the scene keeps animating")
{
    Win98 platform;
    install_sample_girls();
    verifier_in_force(0, 1500);
    SaverLikeWindow saver;
    REQUIRE(wait_until([] { return timer_messages >= 3; }));
    int state_ticks_before = timer_messages;
    POINT mover_before = {scene_at(0)->sequence.mover->x, scene_at(0)->sequence.mover->y};
    int state_before = scene_at(0)->sequence.state;
    saver.request_close();
    CHECK(stand_in_note("Calls") == 1);
    CHECK(stand_in_note("TimersSeen") >= 5);
    CHECK(timer_messages - state_ticks_before >= 5);
    bool moved = scene_at(0)->sequence.mover->x != mover_before.x || scene_at(0)->sequence.mover->y != mover_before.y ||
                 scene_at(0)->sequence.state != state_before;
    CHECK(moved);
    CHECK(IsWindow(saver.handle));
}

TEST_CASE("input and close requests while the password is asked start no second check")
{
    Win98 platform;
    set_user_dword("Software\\SkyFlareTests", "InputWhileAsking", 1);
    verifier_in_force(0, 300);
    SaverLikeWindow saver;
    saver.request_close();
    pump_messages();  // what was posted during the check is handled after it
    CHECK(stand_in_note("Calls") == 1);
    CHECK(stand_in_note("MostAtOnce") == 1);
    CHECK(IsWindow(saver.handle));
}

TEST_CASE("timer ticks that piled up before the check are dropped, two of them")
{
    Win98 platform;
    verifier_in_force(0, 0);
    SaverLikeWindow saver;
    KillTimer(saver.handle, SCENE_TIMER);  // only the ticks the test queues
    pump_messages();
    timer_messages = 0;
    // The close request comes first; the system's ticks wait behind it, as they do.
    PostMessageA(saver.handle, WM_CLOSE, 0, 0);
    for (int i = 0; i < 3; i++)
        PostMessageA(saver.handle, WM_TIMER, SCENE_TIMER, 0);
    pump_messages();
    CHECK(stand_in_note("Calls") == 1);
    CHECK(timer_messages == 1);  // three queued, two dropped by the check
}

static HWND preview_area;
static bool preview_stayed;

// Plays the user at the preview from inside the saver's message loop, then closes the display
// settings around it.
static void CALLBACK touch_the_preview(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND preview = FindWindowExA(preview_area, nullptr, "WindowsScreenSaverClass", "Preview");
    if (!preview)
        return;
    KillTimer(nullptr, timer);
    CHECK(saver_running_state() == FALSE);
    SendMessageA(preview, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(preview, WM_LBUTTONDOWN, 0, 0);
    SendMessageA(preview, WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
    SetCursorPos(saved_cursor.x + 40, saved_cursor.y + 40);
    pump_messages();
    preview_stayed = IsWindow(preview) != FALSE;
    DestroyWindow(preview_area);
}

TEST_CASE("the preview, with a password in force, never loads the password library nor asks")
{
    Win98 platform;
    install_password_library("password_stand_in.dll");
    use_password(1);
    verifier_answers(1, 0);
    TestWindow area(200, 150);
    preview_area = area.handle;
    preview_stayed = false;
    closing = 0;
    saver_window = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, touch_the_preview);
    int result = run_saver(area.handle);
    KillTimer(nullptr, timer);
    UnregisterClassA("WindowsScreenSaverClass", app_instance);
    preview_mode = 0;
    CHECK(result == 0);
    CHECK(preview_stayed);
    CHECK(stand_in_note("Loads") == 0);
    CHECK(stand_in_note("Calls") == 0);
    CHECK(saver_running_state() == FALSE);
}

TEST_CASE("an accepted password closes the saver")
{
    Win98 platform;
    verifier_in_force(1, 0);
    SaverLikeWindow saver;
    saver.request_close();
    CHECK(wait_until([&] { return !IsWindow(saver.handle); }));
    CHECK(closing != 0);
    CHECK(stand_in_note("Calls") == 1);
}

TEST_CASE("with a password in force the running state is set while the verifier is loaded")
{
    Win98 platform;
    install_password_library("password_stand_in.dll");
    use_password(1);
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 1);
    CHECK(saver_running_state() == TRUE);
    unload_password_verifier();
    CHECK(stand_in_note("Unloads") == 1);
    CHECK(saver_running_state() == FALSE);
}

TEST_CASE("without a password in force the verifier is not loaded and the first request closes")
{
    Win98 platform;
    install_password_library("password_stand_in.dll");
    SUBCASE("the value is 0") { use_password(0); }
    SUBCASE("the value is missing") { delete_user_value("Control Panel\\Desktop", "ScreenSaveUsePassword"); }
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 0);
    CHECK(saver_running_state() == FALSE);
    SaverLikeWindow saver;
    CHECK(SendMessageA(saver.handle, PASSWORD_MESSAGE, 0, 0) == 1);  // no verifier: may close
    saver.request_close();
    CHECK(wait_until([&] { return !IsWindow(saver.handle); }));
    CHECK(closing == 1);
    unload_password_verifier();
    CHECK(saver_running_state() == FALSE);
}

TEST_CASE("a password library without the verifier is loaded, freed again, and changes nothing")
{
    Win98 platform;
    install_password_library("password_without_verifier.dll");
    use_password(1);
    set_saver_running_state(TRUE);  // whatever the state is, it is left alone
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 1);
    CHECK(stand_in_note("Unloads") == 1);
    CHECK(saver_running_state() == TRUE);
    set_saver_running_state(FALSE);
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 2);
    CHECK(saver_running_state() == FALSE);
}

TEST_CASE("the stored password flag reads short values as their bytes, and longer ones as none")
{
    Win98 platform;
    install_password_library("password_stand_in.dll");
    struct Case {
        std::vector<BYTE> bytes;
        bool in_force;
    };
    const Case cases[] = {
        {{1}, true}, {{0, 1}, true}, {{0, 0}, false}, {{0, 0, 0}, false}, {{1, 0, 0, 0}, true},
        {{0, 0, 0, 0}, false}, {{1, 0, 0, 0, 0}, false}, {{1, 1, 1, 1, 1, 1, 1, 1}, false}, {{}, false},
    };
    DWORD loads = 0;
    for (const Case& c : cases) {
        CAPTURE(c.bytes.size());
        set_user_binary("Control Panel\\Desktop", "ScreenSaveUsePassword", c.bytes.data(),
                        static_cast<DWORD>(c.bytes.size()));
        load_password_verifier();
        DWORD now = stand_in_note("Loads");
        CHECK((now > loads) == c.in_force);
        loads = now;
        unload_password_verifier();
    }
    set_user_string("Control Panel\\Desktop", "ScreenSaveUsePassword", "1");  // text counts too
    load_password_verifier();
    CHECK(stand_in_note("Loads") == loads + 1);
}

TEST_CASE("a password whose setting or library cannot be had now keeps the saver until it can")
{
    Win98 platform;
    install_password_library("password_stand_in.dll");
    use_password(1);
    Refusals refusals;
    for (const std::string refused : {"RegOpenKeyA", "RegQueryValueExA", "LoadLibraryA"}) {
        CAPTURE(refused);
        clear_stand_in_notes();
        verifier_answers(1, 0);
        closing = 0;
        hand_clock += 1000;
        plan_refusal(function_index(refused.c_str()), 0, 0, 1);
        load_password_verifier();
        CHECK(saver_running_state() == TRUE);  // meanwhile the system is told a saver runs
        SaverLikeWindow saver;
        plan_refusal(function_index(refused.c_str()), 0, 0, 1);  // and again at the first close request
        saver.request_close();
        CHECK(IsWindow(saver.handle));
        CHECK(stand_in_note("Calls") == 0);
        saver.request_close();  // it can be had now: the password is asked, and the answer closes
        CHECK(wait_until([&] { return !IsWindow(saver.handle); }));
        CHECK(stand_in_note("Calls") == 1);
        unload_password_verifier();
    }
}

TEST_CASE("the password library is taken only from the system directory")
{
    Win98 platform;
    install_password_library(nullptr);
    use_password(1);
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string beside = std::string(program).substr(0, std::string(program).rfind('\\') + 1) + "PASSWORD.CPL";
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string in_cwd = std::string(cwd) + "\\PASSWORD.CPL";
    REQUIRE(CopyFileA(fixture_path("password_stand_in.dll").c_str(), beside.c_str(), FALSE));
    CopyFileA(fixture_path("password_stand_in.dll").c_str(), in_cwd.c_str(), FALSE);
    load_password_verifier();
    CHECK(stand_in_note("Loads") == 0);
    CHECK(saver_running_state() == FALSE);
    SaverLikeWindow saver;
    saver.request_close();
    CHECK(wait_until([&] { return !IsWindow(saver.handle); }));  // no verifier: it closes
    remove_path(beside);
    remove_path(in_cwd);
}

TEST_CASE("the password change asks the network provider library with SCRSAVE and the owner")
{
    Win98 platform;
    std::string mpr = system_path("MPR.DLL");
    std::string kept = system_path("mpr-kept.dll");
    REQUIRE(MoveFileExA(mpr.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING));
    REQUIRE(CopyFileA(fixture_path("mpr_stand_in.dll").c_str(), mpr.c_str(), FALSE));
    TestWindow owner(100, 100);
    change_password(owner.handle);
    CHECK(stand_in_note("ChangeCalls") == 1);
    CHECK(stand_in_note("Owner") == static_cast<DWORD>(reinterpret_cast<UINT_PTR>(owner.handle)));
    CHECK(stand_in_note("Reserved1") == 0);
    CHECK(stand_in_note("Reserved2") == 0);
    HKEY key;
    char provider[32] = "";
    DWORD size = sizeof provider;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\SkyFlareTests", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "Provider", nullptr, nullptr, reinterpret_cast<BYTE*>(provider), &size);
        RegCloseKey(key);
    }
    CHECK(std::string(provider) == "SCRSAVE");
    REQUIRE(MoveFileExA(kept.c_str(), mpr.c_str(), MOVEFILE_REPLACE_EXISTING));
}
