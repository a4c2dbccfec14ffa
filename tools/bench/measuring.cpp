// measuring.cpp --- the instruments every measure of the benchmark uses: the clock, percentiles, a
// surface it can read, a window of its own, the scene started, Wine's hand-over to the display.
#include "tools/bench/measures.h"

#include <algorithm>

#include "base/flags.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/stage.h"

double now_us()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) * 1e6 / double(frequency.QuadPart);
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

HWND open_bench_window(int width, int height)
{
    static ATOM bench_class = [] {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hInstance = app_instance;
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        window_class.lpszClassName = "SkyFlareBench";
        window_class.style = CS_OWNDC;
        return RegisterClassA(&window_class);
    }();
    return CreateWindowExA(WS_EX_TOPMOST, MAKEINTATOM(bench_class), "bench", WS_POPUP | WS_VISIBLE, 0, 0, width,
                           height, nullptr, nullptr, app_instance, nullptr);
}

static const char SAVER_CLASS[] = "SkyFlareBenchSaver";

HWND open_saver_window(int width, int height)
{
    WNDCLASSA saver_class = {};
    saver_class.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    saver_class.lpfnWndProc = host_window_proc;
    saver_class.hInstance = app_instance;
    saver_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    saver_class.lpszClassName = SAVER_CLASS;
    RegisterClassA(&saver_class);
    closing = 1;
    preview_mode = 0;
    return CreateWindowExA(WS_EX_TOPMOST, SAVER_CLASS, "Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                           nullptr, nullptr, app_instance, nullptr);
}

void close_saver_window(HWND window)
{
    DestroyWindow(window);
    present(window);
    UnregisterClassA(SAVER_CLASS, app_instance);
    closing = 0;
}

Scene* start_scene(HDC target, int mode, int kind)
{
    scan_girl_modules(LANG_NEUTRAL);
    Mode = mode;
    Girl = 0;
    const Monitor whole = {{0, 0, W, H}, 1};
    lay_out_scenes_on(target, kind, &whole, 1);
    return scene_at(0);
}

double present(HWND window)
{
    if (!window)
        return 0;
    double start = now_us();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    return now_us() - start;
}
