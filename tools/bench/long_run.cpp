// long_run.cpp --- the saver left on for days: its window's own scenes on two monitors, ticked
// without waiting for the timer, the displays changing every hundredth of the run, and what the
// process holds (GDI and USER objects, its private bytes and Wine's resident figure) at the start
// and at every tenth.
#include "tools/bench/measures.h"

#include <psapi.h>

#include <algorithm>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/stage.h"

namespace {
// What the displays are: monitors of one size side by side, the first the primary.
struct Displays {
    int width, height;
    int monitors;
    bool sixteen_colours;
};
}  // namespace

// The displays the run goes through, one after another at each change, and round again: every
// kind of change the saver answers. A tenth of the run holds two whole rounds, so each report
// finds the displays as they were at the start.
static const Displays ROUND[] = {
    {640, 480, 2, false},  // two monitors, as at the start
    {640, 480, 1, false},  // the second one unplugged: its scene ends
    {640, 480, 2, false},  // and plugged in again: a scene of its own starts there
    {640, 480, 2, true},   // to 16 colours: every picture loaded again, dithered
    {800, 600, 2, false},  // larger, and true colour again: every picture loaded again
};
static const int ROUND_LENGTH = int(sizeof ROUND / sizeof ROUND[0]);
static const unsigned GIRL_SEED = 41;  // where the random picks start again at every report

// What Wine gives as the process's private bytes: PagefileUsage, which Windows documents as its
// commit charge, as PrivateUsage, which Wine leaves 0. Wine gives the resident anonymous memory of
// the whole Unix process instead: its Unix side's own glibc heap included, where the pixels of a
// screen-compatible bitmap live under Wine (Windows keeps them out of the process), and which glibc
// keeps or gives back as the order of the draws' allocations has it. Reported, not judged.
static SIZE_T pagefile_usage()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// The private bytes as Windows counts them, its commit charge: the private memory committed in
// the process's address space, region by region, as Windows and Wine alike keep account of it.
static SIZE_T committed_bytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const BYTE* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}

// The monitors and the colours the saver's code is told of from now on.
static void pretend_displays(const Displays& displays)
{
    RECT monitors[2];
    for (int i = 0; i < displays.monitors; i++)
        SetRect(&monitors[i], i * displays.width, 0, (i + 1) * displays.width, displays.height);
    pretend_monitors(monitors, displays.monitors);
    pretend_sixteen_colours(displays.sixteen_colours);
}

// The displays change as the system changes them: they become what they now are, and
// WM_DISPLAYCHANGE reaches the saver window with the new depth and the primary monitor's size; its
// queue is then emptied, as the saver's message loop would.
static void change_displays(HWND window, const Displays& displays)
{
    pretend_displays(displays);
    SendMessageA(window, WM_DISPLAYCHANGE, displays.sixteen_colours ? 4 : 32,
                 MAKELPARAM(displays.width, displays.height));
    present(window);
}

// The ticks are rounded down to a whole hundred changes; the first half single girl, the second
// random girls. Each tick is the saver's own, as its timer plays it. Random picks start from the
// same seed at every report, so every tenth of the random half picks the same girls and each of
// its reports finds the same girls on show as the one before.
std::vector<Holdings> play_long_run(long long ticks, const std::function<void(const Holdings&)>& report)
{
    const long long change_every = std::max(1LL, ticks / 100), report_every = change_every * 10;
    ticks = change_every * 100;
    const Displays& first = ROUND[0];
    pretend_displays(first);
    HWND window = open_saver_window(first.width * first.monitors, first.height);
    // The window has read the options: a scene on every monitor, and the first girl.
    Screens = 1;
    Mode = 0;
    Girl = 0;
    std::vector<Holdings> holdings;
    const double start = now_us();
    for (long long tick = 0;; tick++) {
        if (tick % change_every == 0) {
            if (tick == ticks / 2)
                Mode = 1;
            change_displays(window, ROUND[(tick / change_every) % ROUND_LENGTH]);
        }
        if (tick % report_every == 0) {
            const int mode_before = tick == 0 ? -1 : tick > ticks / 2 ? 1 : 0;
            const Holdings now = {tick, mode_before, (now_us() - start) / 1e6, gdi_objects(), dcs_taken(),
                                  user_objects(), pagefile_usage(), committed_bytes()};
            holdings.push_back(now);
            report(now);
            seed_girl_picks(GIRL_SEED);
        }
        if (tick == ticks)
            break;
        play_tick(window);
    }
    close_saver_window(window);
    pretend_monitors(nullptr, 0);
    pretend_sixteen_colours(false);
    Screens = 0;
    return holdings;
}
