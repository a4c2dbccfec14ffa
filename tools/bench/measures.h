// measures.h --- the benchmark's measures and the instruments they share: each measure plays the
// saver's own code and returns its figures, which the command line reports.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "tools/bench/hooks.h"
#include "tools/pictures/readable_picture.h"

// The size of the screen the scene's own figures are taken on.
const int W = 1920, H = 1080;

// The instruments (measuring.cpp).
double now_us();
double percentile(std::vector<double> values, double p);

// A screen-sized 32-bit surface whose pixels the bench can read.
struct Screen : ReadablePicture {
    Screen() : ReadablePicture(W, H) {}
};

// A black topmost window of the bench's own, with a device context of its own as the saver's has.
HWND open_bench_window(int width, int height);

// The saver window, its messages going through the saver's own window procedure, covering a
// width x height screen; its close rules stand aside while it is open, so that nothing the bench
// does ends it. Closed with close_saver_window.
HWND open_saver_window(int width, int height);
void close_saver_window(HWND window);

// The scene on a screen-sized target, as the saver window starts it, with the first girl.
Scene* start_scene(HDC target, int mode, int kind);

// Wine keeps a window's pixels in the process and hands what changed to the display when the
// thread next finds its queue empty; the saver's thread goes idle after every tick, so the
// hand-over is part of what a tick costs. Empties the queue and gives the time it took.
double present(HWND window);

// The tick and the screen traffic (tick_cost.cpp).
struct CycleFigures {
    std::vector<double> ticks, naive;          // drawing alone
    std::vector<double> shown, naive_shown;    // drawing and the hand-over to the display
    double display = -1, naive_display = -1;   // display server CPU over the cycle, microseconds
    long long copied = 0, changed = 0;
};
// One whole cycle of scene_at(0)'s choreography, each tick drawn by `tick`: the time each took to
// draw, and with Wine's hand-over to the display; the pixels copied to the watched screen, and
// the pixels of a width x height screen the ticks changed.
void play_cycle(const std::function<void()>& tick, HWND window, int width, int height, CycleFigures& figures);
// One whole cycle of scene_tick on the target, then the same drawn the naive way.
CycleFigures measure_cycle(int mode, HDC target, HWND window);
// Where one draw of the flare goes, step by step, in microseconds.
struct DrawSteps {
    int width, height;
    double dcs, bitmaps, realize, copies;
};
DrawSteps draw_breakdown(HDC target);

// The stage, its scaling and its monitors (stage_runs.cpp): one whole cycle through the saver's
// stage on a full-screen window of the given size shown at the given scale, or on as many such
// monitors side by side.
CycleFigures measure_stage(int width, int height, int scale, int screens = 1);

// A change of the displays through the saver window's own procedure (display_changes.cpp):
// milliseconds from the message to the new layout's first frame handed to the display.
std::vector<double> measure_display_changes(bool depth);

// The start and the close of a process (process_runs.cpp), median of several runs.
struct ProcessTimes {
    double start_ms, close_ms, gone_ms;
};
ProcessTimes measure_start_and_close(const std::string& command_line, const char* window_class, const char* title);
std::string own_folder();

// Setting the scene up (set_up.cpp): each in microseconds, one for each run.
struct SetUpTimes {
    std::vector<double> scans, loads, loads_16;
};
SetUpTimes measure_set_up();

// The long run (long_run.cpp): what the process holds at its start and at each tenth.
struct Holdings {
    long long ticks;
    int mode;                    // the saver's Mode over the tenth before; -1 at the start
    double seconds;              // since the start
    long gdi, dcs;
    UserObjects user;
    SIZE_T pagefile_usage;       // PagefileUsage, as Wine gives it: reported, not judged
    SIZE_T committed_bytes;      // the private bytes as Windows counts them: private memory committed
};
std::vector<Holdings> play_long_run(long long ticks, const std::function<void(const Holdings&)>& report);
