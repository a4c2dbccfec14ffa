// main.cpp --- the benchmark's command line: runs each measure on the saver's own code, prints a
// table of what it found and, last, one machine-readable BENCH line.
//
// Usage: bench SAVER-PATH [LONG-RUN-TICKS]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "base/flags.h"
#include "girls/catalogue.h"
#include "tools/bench/measures.h"

// The long run is flat when every report holds the objects the start held, and the private bytes
// stay within this much of the first report after a whole tenth of the same mode. A mode's first
// tenth sets its level once: every allocator grows to what the changes of the displays need, and
// the girls on show, and the order their pictures were loaded in, differ between the modes, not
// between the reports of one. The private bytes are the private memory committed, which is what
// Windows counts as them; Wine's own figure is printed beside it and not judged (see long_run.cpp).
static const long long FLAT_BYTES = 64 * 1024;

static void row(const char* name, const std::vector<double>& values)
{
    printf("%-34s %12.0f %12.0f %12.2f %10zu\n", name, percentile(values, 0.5), percentile(values, 0.99),
           percentile(values, 0.5) / 1000.0, values.size());
}

static long user_total(const UserObjects& user) { return user.windows + user.timers + user.cursors; }

static const char* mode_name(int mode) { return mode < 0 ? "(start)" : mode ? "random girls" : "single girl"; }

// A measure of memory against the first report of the same mode; none at the start.
static long long change(const std::vector<Holdings>& holdings, const Holdings& now, SIZE_T Holdings::*bytes)
{
    for (const Holdings& first : holdings)
        if (first.mode == now.mode && now.mode >= 0)
            return (long long)(now.*bytes) - (long long)(first.*bytes);
    return 0;
}

static long long largest_change(const std::vector<Holdings>& holdings, SIZE_T Holdings::*bytes)
{
    long long most = 0;
    for (const Holdings& now : holdings)
        most = std::max(most, std::llabs(change(holdings, now, bytes)));
    return most;
}

static void report_holdings(const Holdings& now)
{
    static std::vector<Holdings> so_far;
    so_far.push_back(now);
    printf("%10lld %-14s %8.0f %6ld %5ld %8ld %7ld %8ld %11zu %+8lld %14zu %+8lld\n", now.ticks, mode_name(now.mode),
           now.seconds, now.gdi, now.dcs, now.user.windows, now.user.timers, now.user.cursors,
           size_t(now.committed_bytes / 1024), change(so_far, now, &Holdings::committed_bytes) / 1024,
           size_t(now.pagefile_usage / 1024), change(so_far, now, &Holdings::pagefile_usage) / 1024);
    fflush(stdout);
}

static bool objects_flat(const std::vector<Holdings>& holdings)
{
    const Holdings& first = holdings[0];
    for (const Holdings& now : holdings)
        if (now.gdi != first.gdi || now.dcs != first.dcs || now.user.windows != first.user.windows ||
            now.user.timers != first.user.timers || now.user.cursors != first.user.cursors)
            return false;
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench SAVER-PATH [LONG-RUN-TICKS]\n");
        return 2;
    }
    const long long long_run = argc > 2 ? atoll(argv[2]) : 1000000;
    app_instance = GetModuleHandleA(nullptr);
    hook_saver_calls();

    // The two builds are measured side by side: each names itself in its table and its line.
    const char* target_name = sizeof(void*) == 8 ? "x86_64" : "i686";
    printf("Sky Flare benchmark, %s saver: %d x %d, %d girl modules\n\n", target_name, W, H,
           (scan_girl_modules(LANG_NEUTRAL), module_count));
    // On a real full-screen window when the display is that large, else on a DIB section.
    bool on_window = GetSystemMetrics(SM_CXSCREEN) >= W && GetSystemMetrics(SM_CYSCREEN) >= H;
    HWND window = nullptr;
    Screen surface;
    HDC target = surface.dc;
    if (on_window) {
        window = open_bench_window(W, H);
        target = GetDC(window);
    }
    printf("target: %s\n", on_window ? "a 1920 x 1080 window" : "a screen-sized DIB section (the display is smaller)");
    CycleFigures girl = measure_cycle(0, target, window), random = measure_cycle(1, target, window);
    printf("%-34s %12s %12s %12s %10s\n", "one whole cycle", "median us", "99th pct us", "% of 100 ms", "ticks");
    printf("drawing alone\n");
    row("scene_tick, single girl", girl.ticks);
    row("scene_tick, random girls", random.ticks);
    row("naive full-screen redraw", girl.naive);
    double ratio = percentile(girl.naive, 0.5) / std::max(1.0, percentile(girl.ticks, 0.5));
    printf("naive / scene_tick (medians): %.1f x\n\n", ratio);
    double shown_ratio = ratio;
    if (window) {
        printf("drawing and handing the window's pixels to the display, as after every tick of the saver\n");
        row("scene_tick, single girl", girl.shown);
        row("scene_tick, random girls", random.shown);
        row("naive full-screen redraw", girl.naive_shown);
        shown_ratio = percentile(girl.naive_shown, 0.5) / std::max(1.0, percentile(girl.shown, 0.5));
        printf("naive / scene_tick (medians): %.1f x\n\n", shown_ratio);
        if (girl.display >= 0 && girl.naive_display >= 0)
            printf("the display server's own CPU over the cycle: %.0f ms for the saver's ticks, %.0f ms for the naive "
                   "redraw\n\n", girl.display / 1000, girl.naive_display / 1000);
    }
    const DrawSteps steps = draw_breakdown(target);
    printf("one draw of the %d x %d flare, step by step (us): four device contexts made and freed %.0f, two "
           "bitmaps made, selected and freed %.0f, palette selected and realized %.0f, the seven copies %.0f\n\n",
           steps.width, steps.height, steps.dcs, steps.bitmaps, steps.realize, steps.copies);
    if (window) {
        ReleaseDC(window, target);
        DestroyWindow(window);
    }
    double traffic = double(girl.copied) / double(std::max(1LL, girl.changed));
    printf("screen traffic over the cycle: %lld pixels copied, %lld pixels in changed rectangles: %.2f\n",
           girl.copied, girl.changed, traffic);
    printf("per tick: %.0f copied, %.0f changed; the naive redraw copies %d\n\n",
           double(girl.copied) / double(girl.ticks.size()), double(girl.changed) / double(girl.ticks.size()), W * H);

    // A scaled display: 3840 x 2160 at 200 % beside 1920 x 1080 at 100 %, each a full-screen
    // window played through the saver's stage, on a display at least that large.
    double stage_ratio = 0, scaled_traffic = 0, unscaled_median = 0, scaled_median = 0;
    const int big_w = 2 * W, big_h = 2 * H;
    if (GetSystemMetrics(SM_CXSCREEN) >= big_w && GetSystemMetrics(SM_CYSCREEN) >= big_h) {
        CycleFigures unscaled = measure_stage(W, H, 1), scaled = measure_stage(big_w, big_h, 2);
        unscaled_median = percentile(unscaled.ticks, 0.5);
        scaled_median = percentile(scaled.ticks, 0.5);
        stage_ratio = scaled_median / std::max(1.0, unscaled_median);
        scaled_traffic = double(scaled.copied) / double(std::max(1LL, scaled.changed));
        printf("through the stage, one whole cycle: %d x %d at 100 %%: median %.0f us, 99th pct %.0f us; %d x %d at 200 %% "
               "(scale 2): median %.0f us, 99th pct %.0f us: %.2f x\n",
               W, H, unscaled_median, percentile(unscaled.ticks, 0.99), big_w, big_h, scaled_median,
               percentile(scaled.ticks, 0.99), stage_ratio);
        printf("at 200 %%, per tick: %.0f screen pixels copied, %.0f logical pixels changed: %.2f (bound: scale^2 x 2 = 8)\n\n",
               double(scaled.copied) / double(scaled.ticks.size()), double(scaled.changed) / double(scaled.ticks.size()),
               scaled_traffic);
    } else {
        printf("through the stage: not measured, the display is smaller than %d x %d\n\n", big_w, big_h);
    }

    // Every monitor playing a scene of its own: two 1920 x 1080 monitors side by side against one.
    double two_screens_median = 0, two_screens_ratio = 0;
    if (GetSystemMetrics(SM_CXSCREEN) >= 2 * W && GetSystemMetrics(SM_CYSCREEN) >= H) {
        // Three cycles of each, taken in turn, so that a slow moment of the machine weighs on both.
        std::vector<double> one, two;
        for (int run = 0; run < 3; run++) {
            const CycleFigures alone = measure_stage(W, H, 1), beside = measure_stage(W, H, 1, 2);
            one.insert(one.end(), alone.ticks.begin(), alone.ticks.end());
            two.insert(two.end(), beside.ticks.begin(), beside.ticks.end());
        }
        two_screens_median = percentile(two, 0.5);
        two_screens_ratio = two_screens_median / std::max(1.0, percentile(one, 0.5));
        printf("a scene on every monitor, three whole cycles: one %d x %d monitor median %.0f us; two side by side, "
               "each its own scene, median %.0f us, 99th pct %.0f us: %.2f x (aim: at most 2.1)\n",
               W, H, percentile(one, 0.5), two_screens_median, percentile(two, 0.99), two_screens_ratio);
    } else {
        printf("a scene on every monitor: not measured, the display is narrower than %d\n", 2 * W);
    }
    const std::vector<double> changes = measure_display_changes(false), depth_changes = measure_display_changes(true);
    const double change_ms = percentile(changes, 0.5) / 1000, change_16_ms = percentile(depth_changes, 0.5) / 1000;
    printf("the displays change, to the first frame of the new layout shown, median of 21 on the whole %d x %d display: "
           "%.1f ms (99th pct %.1f ms); to 16 colours and back, every frame loaded again, %.1f ms (aim: within one "
           "tick, 100 ms)\n\n",
           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), change_ms, percentile(changes, 0.99) / 1000,
           change_16_ms);

    const ProcessTimes saver = measure_start_and_close("\"" + std::string(argv[1]) + "\" /s", "WindowsScreenSaverClass",
                                                       "Screen Saver");
    printf("SkyFlare.scr /s, median of 5 runs: %.0f ms from start to the first pixel drawn; from the closing key, "
           "%.0f ms until the window is gone and %.0f ms until the process has ended\n",
           saver.start_ms, saver.gone_ms, saver.close_ms);
    const ProcessTimes minimal =
        measure_start_and_close("\"" + own_folder() + "first_pixel.exe\"", "SkyFlareFirstPixel", "First pixel");
    const double start_ratio = saver.start_ms / std::max(1.0, minimal.start_ms);
    printf("a minimal window program (a black topmost window that draws one pixel), under the same Wine: %.0f ms "
           "from start to its pixel; the saver takes %.2f times as long\n\n",
           minimal.start_ms, start_ratio);

    const SetUpTimes set_up = measure_set_up();
    const double scan_ms = percentile(set_up.scans, 0.5) / 1000, load_ms = percentile(set_up.loads, 0.5) / 1000,
                 load_16_ms = percentile(set_up.loads_16, 0.5) / 1000;
    printf("setting the scene up, median of 7: the %d girl modules scanned, each checked before it is read, %.1f ms; "
           "the four sprites loaded %.1f ms, for a 16-colour display (every frame dithered) %.1f ms\n\n",
           module_count, scan_ms, load_ms, load_16_ms);

    printf("the long run: the saver window's own scenes on two 640 x 480 monitors side by side, each tick played "
           "without waiting for the timer, the displays changed every hundredth of the run (the second monitor "
           "unplugged and back, to 16 colours, to 800 x 600); the first half single girl, the second random girls\n");
    printf("%10s %-14s %8s %6s %5s %8s %7s %8s %11s %8s %14s %8s\n", "ticks", "tenth before", "seconds", "GDI", "DCs",
           "windows", "timers", "cursors", "private KB", "change", "Wine's RSS KB", "change");
    fflush(stdout);
    const std::vector<Holdings> holdings = play_long_run(long_run, report_holdings);
    const Holdings &first = holdings.front(), &last = holdings.back();
    const long long pagefile_drift = largest_change(holdings, &Holdings::pagefile_usage);
    const long long committed_drift = largest_change(holdings, &Holdings::committed_bytes);
    const bool flat = objects_flat(holdings) && committed_drift <= FLAT_BYTES;
    printf("%lld ticks (%.1f days of saver time) in %.0f s, %.2f ms a tick: GDI objects %ld -> %ld, USER objects %ld -> "
           "%ld; private bytes (the private memory committed) %zu KB -> %zu KB, at most %lld KB from the first report "
           "after a tenth of the same mode: %s (flat: every object as at the start, the private bytes within %lld KB). "
           "Wine's PagefileUsage (its Unix process's resident memory, glibc's heap included) %zu KB -> %zu KB, at most "
           "%lld KB\n\n",
           last.ticks, double(last.ticks) / 864000.0, last.seconds, last.seconds * 1000 / double(last.ticks), first.gdi,
           last.gdi, user_total(first.user), user_total(last.user), size_t(first.committed_bytes / 1024),
           size_t(last.committed_bytes / 1024), committed_drift / 1024, flat ? "flat" : "NOT FLAT", FLAT_BYTES / 1024,
           size_t(first.pagefile_usage / 1024), size_t(last.pagefile_usage / 1024), pagefile_drift / 1024);

    printf("BENCH target=%s tick_median_us=%.0f tick_p99_us=%.0f random_median_us=%.0f random_p99_us=%.0f naive_median_us=%.0f "
           "naive_ratio=%.1f shown_median_us=%.0f shown_p99_us=%.0f naive_shown_median_us=%.0f shown_ratio=%.1f "
           "traffic_ratio=%.2f start_ms=%.0f close_ms=%.0f window_gone_ms=%.0f stage_median_us=%.0f "
           "scaled_median_us=%.0f scaled_ratio=%.2f scaled_traffic_ratio=%.2f minimal_start_ms=%.0f start_ratio=%.2f "
           "scan_ms=%.1f load_ms=%.1f load_16_ms=%.1f two_screens_median_us=%.0f two_screens_ratio=%.2f "
           "display_change_ms=%.1f display_change_16_ms=%.1f long_ticks=%lld long_s=%.0f gdi_start=%ld gdi_end=%ld "
           "user_start=%ld user_end=%ld pagefile_start_kb=%zu pagefile_end_kb=%zu pagefile_drift_kb=%lld committed_start_kb=%zu "
           "committed_end_kb=%zu committed_drift_kb=%lld long_flat=%d\n",
           target_name, percentile(girl.ticks, 0.5), percentile(girl.ticks, 0.99), percentile(random.ticks, 0.5),
           percentile(random.ticks, 0.99), percentile(girl.naive, 0.5), ratio, percentile(girl.shown, 0.5),
           percentile(girl.shown, 0.99), percentile(girl.naive_shown, 0.5), shown_ratio, traffic, saver.start_ms,
           saver.close_ms, saver.gone_ms, unscaled_median, scaled_median, stage_ratio, scaled_traffic, minimal.start_ms,
           start_ratio, scan_ms, load_ms, load_16_ms, two_screens_median, two_screens_ratio, change_ms, change_16_ms,
           last.ticks, last.seconds, first.gdi, last.gdi, user_total(first.user), user_total(last.user),
           size_t(first.pagefile_usage / 1024), size_t(last.pagefile_usage / 1024), pagefile_drift / 1024,
           size_t(first.committed_bytes / 1024), size_t(last.committed_bytes / 1024), committed_drift / 1024,
           flat ? 1 : 0);
    return 0;
}
