// test_soak.cpp --- the full-screen saver left running in random mode: it keeps animating, its
// memory and handles stay flat, and a key still ends it. One minute here; ./run soak runs it
// for half an hour (SKYFLARE_SOAK_SECONDS).
#include "girls/catalogue.h"
#include "scene/cast.h"
#include "scene/sequence.h"
#include "support/support.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct Sample {
    SIZE_T working_set_kb;
    SIZE_T private_kb;  // memory committed to the process alone: what a leak would grow
    DWORD handles;
};

Sample sample(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    return {counters.WorkingSetSize / 1024, counters.PagefileUsage / 1024, handles};
}

}  // namespace

TEST_CASE("left running in random mode the saver keeps animating with flat memory, and a key ends it")
{
    const char* configured = getenv("SKYFLARE_SOAK_SECONDS");
    const DWORD seconds = configured ? static_cast<DWORD>(atoi(configured)) : 60;
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\SkyFlare.scr");
    install_sample_girls();
    write_options(1, 0);
    const int cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN) / 2;
    SetCursorPos(cx, cy);
    REQUIRE(wait_until([&] { POINT p; GetCursorPos(&p); return p.x == cx && p.y == cy; }));
    Process saver("\"" + saver_path() + "\" /s");
    REQUIRE(saver.started);
    HWND window = nullptr;
    REQUIRE(wait_until([&] { return (window = FindWindowA("WindowsScreenSaverClass", "Screen Saver")) != nullptr; }));

    const DWORD start = GetTickCount();
    Sample warm = {0, 0, 0};
    bool warmed = false;
    int checks = 0;
    while (GetTickCount() - start < seconds * 1000) {
        // A hand resting on the mouse: small moves that stay within the threshold.
        SetCursorPos(cx + 2, cy);
        wait_until([] { return false; }, 1000);
        SetCursorPos(cx, cy);
        REQUIRE_FALSE(saver.wait(1000));  // still running
        if (!warmed && GetTickCount() - start > 10000) {
            warm = sample(saver.info.hProcess);
            warmed = true;
        }
        if ((GetTickCount() - start) / 10000 > static_cast<DWORD>(checks)) {
            checks++;
            CHECK(screen_changes(5000));
            Sample now = sample(saver.info.hProcess);
            printf("after %3lu s: working set %zu KB, private %zu KB\n", (GetTickCount() - start) / 1000,
                   size_t(now.working_set_kb), size_t(now.private_kb));
            fflush(stdout);
        }
    }
    Sample end = sample(saver.info.hProcess);
    MESSAGE("working set " << warm.working_set_kb << " KB after 10 s, " << end.working_set_kb << " KB after "
                           << seconds << " s; private " << warm.private_kb << " KB then " << end.private_kb
                           << " KB; handles " << warm.handles << " then " << end.handles);
    CHECK(warmed);
    CHECK(end.working_set_kb <= warm.working_set_kb + 4096);  // flat: no more than 4 MB of drift
    CHECK(end.private_kb <= warm.private_kb + 4096);
    CHECK(end.handles <= warm.handles + 8);
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    REQUIRE(saver.wait(20000));
    CHECK(saver.exit_code() == 0);
    remove_settings();
}

TEST_CASE("girl after girl in random mode, every bitmap and palette of the one before is freed")
{
    install_sample_girls();
    GdiWatch watch;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Surface screen(w, h);
    Scene* scene = start_scene_on(screen.dc, w, h, 1, 0);
    seed_girl_picks(1208);
    // Every sample girl has 17 frames: at the start of each cycle the same number lives.
    std::vector<size_t> at_cycle_start;
    int reloads = 0;
    for (int cycle = 0; cycle < 20; cycle++) {
        at_cycle_start.push_back(watch.alive());
        bool under_way = false;
        for (int ticks = 0; ticks < 2000; ticks++) {
            int state = scene->sequence.state;
            scene_tick(scene, screen.dc);
            reloads += (state == 4 || state == 14) && scene->sequence.state != state;
            if (scene->sequence.state != 0)
                under_way = true;
            else if (under_way)
                break;
        }
    }
    end_scene(scene);
    MESSAGE(reloads << " girls loaded; alive at each cycle's start: " << at_cycle_start.front() << " then "
                    << at_cycle_start.back());
    CHECK(reloads == 40);
    CHECK(std::count(at_cycle_start.begin(), at_cycle_start.end(), at_cycle_start[1]) == 19);
    CHECK(watch.alive() == 0);
}
