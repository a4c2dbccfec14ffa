// bench.cpp --- measures the saver as its users live with it: tick cost, screen traffic, start
// and close times, and memory over a long run. Prints a table and a machine-readable last line.
//
// Usage: bench SAVER-PATH [LONG-RUN-TICKS]
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/stage.h"

namespace {

const int W = 1920, H = 1080;

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

// A screen-sized 32-bit surface whose pixels the bench can read.
struct Screen {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits;
    Screen()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = W;
        info.bmiHeader.biHeight = -H;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        void* pixels = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<uint32_t*>(pixels);
        previous = SelectObject(dc, bitmap);
        std::fill(bits, bits + W * H, 0u);
    }
    ~Screen()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// Pixels the saver copies onto the screen, seen through its own calls to BitBlt.
HDC watched_screen;
long long pixels_copied;
decltype(&BitBlt) real_bitblt;
BOOL WINAPI counting_bitblt(HDC to, int x, int y, int w, int h, HDC from, int fx, int fy, DWORD rop)
{
    if (to == watched_screen)
        pixels_copied += (long long)w * h;
    return real_bitblt(to, x, y, w, h, from, fx, fy, rop);
}

decltype(&StretchBlt) real_stretchblt;
BOOL WINAPI counting_stretchblt(HDC to, int x, int y, int w, int h, HDC from, int fx, int fy, int fw, int fh, DWORD rop)
{
    if (to == watched_screen)
        pixels_copied += (long long)w * h;
    return real_stretchblt(to, x, y, w, h, from, fx, fy, fw, fh, rop);
}

// GDI objects alive, counted by watching the saver create and delete them (Wine's
// GetGuiResources answers 0).
long gdi_alive;
decltype(&CreateCompatibleDC) real_create_dc;
decltype(&CreateCompatibleBitmap) real_create_bitmap;
decltype(&CreatePalette) real_create_palette;
decltype(&LoadImageA) real_load_image;
decltype(&DeleteObject) real_delete_object;
decltype(&DeleteDC) real_delete_dc;
HDC WINAPI counting_create_dc(HDC dc) { HDC made = real_create_dc(dc); gdi_alive += made != nullptr; return made; }
HBITMAP WINAPI counting_create_bitmap(HDC dc, int w, int h)
{
    HBITMAP made = real_create_bitmap(dc, w, h);
    gdi_alive += made != nullptr;
    return made;
}
HPALETTE WINAPI counting_create_palette(const LOGPALETTE* p)
{
    HPALETTE made = real_create_palette(p);
    gdi_alive += made != nullptr;
    return made;
}
HANDLE WINAPI counting_load_image(HINSTANCE m, LPCSTR n, UINT t, int x, int y, UINT f)
{
    HANDLE made = real_load_image(m, n, t, x, y, f);
    gdi_alive += made != nullptr && t == IMAGE_BITMAP;
    return made;
}
BOOL WINAPI counting_delete_object(HGDIOBJ o) { BOOL done = real_delete_object(o); gdi_alive -= done != 0; return done; }
BOOL WINAPI counting_delete_dc(HDC dc) { BOOL done = real_delete_dc(dc); gdi_alive -= done != 0; return done; }

void** import_slot(const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* e = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); e->Name; e++) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + e->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + e->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++)
            if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
                !strcmp(reinterpret_cast<char*>(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name), function))
                return reinterpret_cast<void**>(&slots->u1.Function);
    }
    return nullptr;
}

template <typename F>
void watch(const char* function, F replacement, F& original)
{
    void** slot = import_slot(function);
    if (!slot) {
        fprintf(stderr, "bench: %s is not imported\n", function);
        exit(2);
    }
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    original = reinterpret_cast<F>(*slot);
    *slot = reinterpret_cast<void*>(replacement);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// The scene on a screen-sized target, as the saver window starts it, with the first girl.
Scene* start_scene(HDC target, int mode, int kind = DISPLAY_TRUE_COLOUR)
{
    scan_girl_modules(LANG_NEUTRAL);
    Mode = mode;
    Girl = 0;
    const Monitor whole = {{0, 0, W, H}, 1};
    lay_out_scenes_on(target, kind, &whole, 1);
    return scene_at(0);
}

// Wine keeps a window's pixels in the process and hands what changed to the display when the
// thread next finds its queue empty; the saver's thread goes idle after every tick, so the
// hand-over is part of what a tick costs. Empties the queue and gives the time it took.
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

// CPU time the X display server has spent so far, in microseconds, read through Wine's view of
// the Unix file system (/proc/PID/stat, fields 14 and 15, in clock ticks of 10 ms); -1 when
// the server's process is not known (SKYFLARE_DISPLAY_PID) or cannot be read.
double display_cpu_us()
{
    const char* pid = getenv("SKYFLARE_DISPLAY_PID");
    if (!pid || !*pid)
        return -1;
    std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return -1;
    char line[1024] = "";
    size_t length = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[length] = 0;
    const char* after_name = strrchr(line, ')');  // the command name may hold blanks
    if (!after_name)
        return -1;
    unsigned long long user = 0, system = 0;
    if (sscanf(after_name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
        return -1;
    return double(user + system) * 1e4;
}

// The display server's CPU since an earlier reading; -1 when either reading failed.
double display_cpu_since(double before)
{
    double now = display_cpu_us();
    return before >= 0 && now >= 0 ? now - before : -1;
}

struct CycleFigures {
    std::vector<double> ticks, naive;          // drawing alone
    std::vector<double> shown, naive_shown;    // drawing and the hand-over to the display
    double display = -1, naive_display = -1;   // display server CPU over the cycle, microseconds
    long long copied = 0, changed = 0;
};

RECT rect_of(const Sprite& s) { return {s.x, s.y, s.x + s.width, s.y + s.height}; }

// Where the four sprites stand and what they show, taken before a tick; afterwards it tells
// how many pixels of a width x height screen the tick changed: the old and new rectangles of
// every sprite that moved or changed its picture.
struct CastPlaces {
    Sprite* cast[4];
    struct {
        int x, y, frame;
        RECT rect;
    } places[4];
    explicit CastPlaces(Scene* scene) : cast{&scene->girl, &scene->flare, &scene->sky, &scene->banner}
    {
        for (int i = 0; i < 4; i++)
            places[i] = {cast[i]->x, cast[i]->y, cast[i]->frame, rect_of(*cast[i])};
    }
    long long changed(std::vector<char>& mask, int width, int height) const
    {
        mask.assign(size_t(width) * height, 0);
        auto mark = [&](RECT r) {
            for (LONG y = std::max<LONG>(0, r.top); y < std::min<LONG>(height, r.bottom); y++)
                for (LONG x = std::max<LONG>(0, r.left); x < std::min<LONG>(width, r.right); x++)
                    mask[size_t(y) * width + size_t(x)] = 1;
        };
        for (int i = 0; i < 4; i++)
            if (cast[i]->x != places[i].x || cast[i]->y != places[i].y || cast[i]->frame != places[i].frame) {
                mark(places[i].rect);
                mark(rect_of(*cast[i]));
            }
        return std::count(mask.begin(), mask.end(), 1);
    }
};

// One whole cycle, each tick drawn by `tick`: the time each took to draw, and with Wine's
// hand-over to the display; the pixels copied to the watched screen, and the pixels of a
// width x height screen the ticks changed.
template <typename Tick>
void play_cycle(Tick tick, HWND window, int width, int height, CycleFigures& figures)
{
    std::vector<char> mask;
    bool left = false;
    Scene* scene = scene_at(0);
    for (int n = 0; n < 20000; n++) {
        CastPlaces before(scene);
        long long copied_before = pixels_copied;
        GdiFlush();
        double start = now_us();
        tick();
        GdiFlush();
        double drawn = now_us() - start;
        figures.ticks.push_back(drawn);
        figures.shown.push_back(drawn + present(window));
        figures.copied += pixels_copied - copied_before;
        figures.changed += before.changed(mask, width, height);
        left = left || scene->sequence.state != 0;
        if (left && scene->sequence.state == 0)
            break;
    }
}

// The naive way: every tick, all four sprites composed into a full-screen back buffer, and the
// whole frame copied to the screen.
double naive_tick(Scene* scene, HDC screen, HDC back, HDC sprite_dc)
{
    double start = now_us();
    RECT all = {0, 0, W, H};
    FillRect(back, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    for (Sprite* s : {&scene->girl, &scene->flare, &scene->sky, &scene->banner}) {
        if (!s->frames || s->width <= 0)
            continue;
        int index = std::min(std::max(s->frame, 0), s->count - 1);
        if (!s->frames[index].bitmap)
            continue;
        HGDIOBJ previous = SelectObject(sprite_dc, s->frames[index].bitmap);
        real_bitblt(back, s->x, s->y, s->width, s->height, sprite_dc, 0, 0, SRCPAINT);
        SelectObject(sprite_dc, previous);
    }
    real_bitblt(screen, 0, 0, W, H, back, 0, 0, SRCCOPY);
    GdiFlush();
    return now_us() - start;
}

CycleFigures measure_cycle(int mode, HDC target, HWND window)
{
    // The naive way's back buffer and sprite holder, made like the saver's own bitmaps.
    HDC back = CreateCompatibleDC(target);
    HBITMAP back_bitmap = CreateCompatibleBitmap(target, W, H);
    HGDIOBJ old_back = SelectObject(back, back_bitmap);
    HDC sprite_dc = CreateCompatibleDC(target);
    Scene* scene = start_scene(target, mode);
    watched_screen = target;
    present(window);
    CycleFigures figures;
    double display_before = display_cpu_us();
    play_cycle([&] { scene_tick(scene, target); }, window, W, H, figures);
    figures.display = display_cpu_since(display_before);
    watched_screen = nullptr;
    // The same choreography again, drawn the naive way.
    start_sequence(scene);
    bool left = false;
    present(window);
    display_before = display_cpu_us();
    for (int tick = 0; tick < 20000; tick++) {
        scene_tick(scene, back);  // only to move the sprites along; the figures come from the redraw
        double drawn = naive_tick(scene, target, back, sprite_dc);
        figures.naive.push_back(drawn);
        figures.naive_shown.push_back(drawn + present(window));
        left = left || scene->sequence.state != 0;
        if (left && scene->sequence.state == 0)
            break;
    }
    figures.naive_display = display_cpu_since(display_before);
    close_scenes();
    DeleteDC(sprite_dc);
    SelectObject(back, old_back);
    DeleteObject(back_bitmap);
    DeleteDC(back);
    return figures;
}

// Where one draw of the flare goes, step by step, each step repeated on its own: the device
// contexts and bitmaps every draw makes and frees, the palette it selects and realizes, and the
// seven copies of its pixels.
void draw_breakdown(HDC target)
{
    const Sprite& flare = start_scene(target, 0)->flare;
    const int w = flare.width, h = flare.height, repeats = 500;
    HPALETTE palette = flare.frames[0].palette;
    auto time = [&](auto step) {
        double start = now_us();
        for (int i = 0; i < repeats; i++)
            step();
        GdiFlush();
        return (now_us() - start) / repeats;
    };
    double dcs = time([&] {
        HDC made[4];
        for (HDC& dc : made)
            dc = real_create_dc(target);
        for (HDC dc : made)
            real_delete_dc(dc);
    });
    HDC holder = real_create_dc(target);
    double bitmaps = time([&] {
        for (int i = 0; i < 2; i++) {
            HBITMAP made = real_create_bitmap(target, w, h);
            HGDIOBJ previous = SelectObject(holder, made);
            SelectObject(holder, previous);
            real_delete_object(made);
        }
    });
    double realize = time([&] {
        HPALETTE previous = SelectPalette(target, palette, FALSE);
        RealizePalette(target);
        SelectPalette(target, previous, TRUE);
    });
    HDC picture = real_create_dc(target), work = real_create_dc(target), other = real_create_dc(target);
    HBITMAP work_bitmap = real_create_bitmap(target, w, h), other_bitmap = real_create_bitmap(target, w, h);
    HGDIOBJ old_picture = SelectObject(picture, flare.frames[0].bitmap);
    HGDIOBJ old_work = SelectObject(work, work_bitmap), old_other = SelectObject(other, other_bitmap);
    double copies = time([&] {
        real_bitblt(work, 0, 0, w, h, target, 100, 100, SRCCOPY);
        real_bitblt(work, 3, 3, w, h, other, 0, 0, SRCCOPY);
        real_bitblt(other, -3, -3, w, h, picture, 0, 0, SRCPAINT);
        real_bitblt(other, 0, 0, w, h, work, 0, 0, SRCCOPY);
        real_bitblt(other, 0, 0, w, h, picture, 0, 0, SRCPAINT);
        real_bitblt(target, 100, 100, w, h, other, 0, 0, SRCCOPY);
        real_bitblt(target, 103, 103, w, h, work, 0, 0, SRCCOPY);
    });
    SelectObject(picture, old_picture);
    SelectObject(work, old_work);
    SelectObject(other, old_other);
    real_delete_object(work_bitmap);
    real_delete_object(other_bitmap);
    for (HDC dc : {picture, work, other, holder})
        real_delete_dc(dc);
    close_scenes();
    printf("one draw of the %d x %d flare, step by step (us): four device contexts made and freed %.0f, two "
           "bitmaps made, selected and freed %.0f, palette selected and realized %.0f, the seven copies %.0f\n\n",
           w, h, dcs, bitmaps, realize, copies);
}

SIZE_T working_set_kb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / 1024;
}

// Start: from process start to the first non-black pixel the program puts on the screen (in
// its top-left W x H, where the saver's girl and the minimal program's pixel first show); close:
// from the closing key to the process's end. Median over several runs.
void measure_start_and_close(const std::string& command_line, const char* window_class, const char* title,
                             double& start_ms, double& close_ms, double& gone_ms)
{
    std::vector<double> starts, closes, gones;
    HDC screen = GetDC(nullptr);
    const int w = std::min(W, GetSystemMetrics(SM_CXSCREEN)), h = std::min(H, GetSystemMetrics(SM_CYSCREEN));
    Screen shot;
    for (int run = 0; run < 5; run++) {
        SetCursorPos(w / 2, h / 2);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::string line = command_line;
        double t0 = now_us();
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return;
        HWND window = nullptr;
        double drawn = 0;
        while (now_us() - t0 < 20e6) {
            window = window ? window : FindWindowA(window_class, title);
            if (window) {
                BitBlt(shot.dc, 0, 0, w, h, screen, 0, 0, SRCCOPY);
                GdiFlush();
                bool lit = false;
                for (int y = 0; y < h && !lit; y++)
                    for (int x = 0; x < w && !lit; x++)
                        lit = (shot.bits[y * W + x] & 0xFFFFFF) != 0;
                if (lit) {
                    drawn = now_us();
                    break;
                }
            }
            Sleep(1);
        }
        starts.push_back((drawn - t0) / 1000);
        double t1 = now_us();
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        while (IsWindow(window) && now_us() - t1 < 20e6)
            Sleep(1);
        gones.push_back((now_us() - t1) / 1000);
        WaitForSingleObject(info.hProcess, 20000);
        closes.push_back((now_us() - t1) / 1000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    ReleaseDC(nullptr, screen);
    start_ms = percentile(starts, 0.5);
    close_ms = percentile(closes, 0.5);
    gone_ms = percentile(gones, 0.5);
}

// The tick as the saver's window plays it, through its stage, on a full-screen window of the
// given size shown at the given scale, or on as many such monitors side by side, each playing a
// scene of its own: one whole cycle, single girl.
CycleFigures measure_stage(int width, int height, int scale, int screens = 1)
{
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "SkyFlareBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0,
                                  width * screens, height, nullptr, nullptr, app_instance, nullptr);
    HDC dc = GetDC(window);  // the window's own: every GetDC gives this one
    scan_girl_modules(LANG_NEUTRAL);
    Mode = 0;
    Girl = 0;
    std::vector<Monitor> monitors;
    for (int i = 0; i < screens; i++)
        monitors.push_back({{i * width, 0, (i + 1) * width, height}, scale});
    lay_out_scenes_on(dc, DISPLAY_TRUE_COLOUR, monitors.data(), screens);
    const int logical_w = scene_at(0)->sequence.screen_width, logical_h = scene_at(0)->sequence.screen_height;
    present(window);
    watched_screen = dc;
    CycleFigures figures;
    play_cycle([&] { play_tick(window); }, window, logical_w, logical_h, figures);
    watched_screen = nullptr;
    close_scenes();
    ReleaseDC(window, dc);
    DestroyWindow(window);
    return figures;
}

// A display of 16 colours, as the saver's code is told while this is set (through its own
// import of GetDeviceCaps).
bool pretend_sixteen_colours;
decltype(&GetDeviceCaps) real_device_caps;
int WINAPI bench_device_caps(HDC dc, int index)
{
    if (pretend_sixteen_colours && index == BITSPIXEL)
        return 4;
    if (pretend_sixteen_colours && index == PLANES)
        return 1;
    return real_device_caps(dc, index);
}

// From the system's word that the displays changed to the first frame of the new layout
// handed to the display: the saver window's own layers (the host covers the screen again, the
// scene lays itself out and shows its first step) and Wine's hand-over of the pixels. Each
// change is a change of size; with `depth`, every other one is to 16 colours and back, which
// loads every frame again.
std::vector<double> measure_display_changes(bool depth)
{
    WNDCLASSA saver_class = {};
    saver_class.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    saver_class.lpfnWndProc = host_window_proc;
    saver_class.hInstance = app_instance;
    saver_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    saver_class.lpszClassName = "SkyFlareBenchSaver";
    RegisterClassA(&saver_class);
    // Nothing the bench does must end it: its close rules stand aside.
    closing = 1;
    preview_mode = 0;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "SkyFlareBenchSaver", "Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0,
                                  w, h, nullptr, nullptr, app_instance, nullptr);
    present(window);
    std::vector<double> times;
    for (int run = 0; run < 21; run++) {
        pretend_sixteen_colours = depth && run % 2 == 0;
        const double t0 = now_us();
        SendMessageA(window, WM_DISPLAYCHANGE, pretend_sixteen_colours ? 4 : 32, MAKELPARAM(w, h));
        present(window);
        times.push_back(now_us() - t0);
    }
    pretend_sixteen_colours = false;
    DestroyWindow(window);
    present(window);
    UnregisterClassA("SkyFlareBenchSaver", app_instance);
    closing = 0;
    return times;
}

// The folder this benchmark runs from, where the minimal window program is built beside it.
std::string own_folder()
{
    // As long as a path the system can name: a shorter buffer would cut it, unterminated.
    static char path[32768];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length < sizeof path ? length : 0);
    return folder.substr(0, folder.rfind('\\') + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench SAVER-PATH [LONG-RUN-TICKS]\n");
        return 2;
    }
    const long long long_run = argc > 2 ? atoll(argv[2]) : 100000;
    app_instance = GetModuleHandleA(nullptr);
    watch("BitBlt", counting_bitblt, real_bitblt);
    watch("StretchBlt", counting_stretchblt, real_stretchblt);
    watch("CreateCompatibleDC", counting_create_dc, real_create_dc);
    watch("CreateCompatibleBitmap", counting_create_bitmap, real_create_bitmap);
    watch("CreatePalette", counting_create_palette, real_create_palette);
    watch("LoadImageA", counting_load_image, real_load_image);
    watch("DeleteObject", counting_delete_object, real_delete_object);
    watch("DeleteDC", counting_delete_dc, real_delete_dc);
    watch("GetDeviceCaps", bench_device_caps, real_device_caps);

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
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hInstance = app_instance;
        window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        window_class.lpszClassName = "SkyFlareBench";
        window_class.style = CS_OWNDC;
        RegisterClassA(&window_class);
        window = CreateWindowExA(WS_EX_TOPMOST, "SkyFlareBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, W, H,
                                 nullptr, nullptr, app_instance, nullptr);
        target = GetDC(window);
    }
    printf("target: %s\n", on_window ? "a 1920 x 1080 window" : "a screen-sized DIB section (the display is smaller)");
    CycleFigures girl = measure_cycle(0, target, window), random = measure_cycle(1, target, window);
    auto row = [](const char* name, const std::vector<double>& values) {
        printf("%-34s %12.0f %12.0f %12.2f %10zu\n", name, percentile(values, 0.5), percentile(values, 0.99),
               percentile(values, 0.5) / 1000.0, values.size());
    };
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
    draw_breakdown(target);
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

    double start_ms = 0, close_ms = 0, gone_ms = 0;
    measure_start_and_close("\"" + std::string(argv[1]) + "\" /s", "WindowsScreenSaverClass", "Screen Saver",
                            start_ms, close_ms, gone_ms);
    printf("SkyFlare.scr /s, median of 5 runs: %.0f ms from start to the first pixel drawn; from the closing key, "
           "%.0f ms until the window is gone and %.0f ms until the process has ended\n", start_ms, gone_ms, close_ms);
    double minimal_ms = 0, minimal_close_ms = 0, minimal_gone_ms = 0;
    measure_start_and_close("\"" + own_folder() + "first_pixel.exe\"", "SkyFlareFirstPixel", "First pixel",
                            minimal_ms, minimal_close_ms, minimal_gone_ms);
    printf("a minimal window program (a black topmost window that draws one pixel), under the same Wine: %.0f ms "
           "from start to its pixel; the saver takes %.2f times as long\n\n",
           minimal_ms, start_ms / std::max(1.0, minimal_ms));

    // What the start spends on the girl modules' check and, on a 16-colour display, on dithering
    // every frame as it loads: the scan, and the four sprites loaded for each kind of display.
    std::vector<double> scans, loads_true, loads_16;
    {
        HDC display = GetDC(nullptr);
        for (int run = 0; run < 7; run++) {
            double t = now_us();
            scan_girl_modules(LANG_NEUTRAL);
            scans.push_back(now_us() - t);
            for (int kind : {DISPLAY_TRUE_COLOUR, DISPLAY_16_COLOURS}) {
                t = now_us();
                start_scene(display, 0, kind);
                (kind == DISPLAY_TRUE_COLOUR ? loads_true : loads_16).push_back(now_us() - t);
                close_scenes();
            }
        }
        ReleaseDC(nullptr, display);
    }
    printf("setting the scene up, median of 7: the %d girl modules scanned, each checked before it is read, %.1f ms; "
           "the four sprites loaded %.1f ms, for a 16-colour display (every frame dithered) %.1f ms\n\n",
           module_count, percentile(scans, 0.5) / 1000, percentile(loads_true, 0.5) / 1000,
           percentile(loads_16, 0.5) / 1000);

    Screen screen;
    Scene* scene = start_scene(screen.dc, 1);
    for (int i = 0; i < 1000; i++)  // until every sprite has drawn and holds its background
        scene_tick(scene, screen.dc);
    long gdi_start = gdi_alive;
    SIZE_T ws_start = working_set_kb();
    double t0 = now_us();
    for (long long i = 0; i < long_run; i++)
        scene_tick(scene, screen.dc);
    double seconds = (now_us() - t0) / 1e6;
    long gdi_end = gdi_alive;
    SIZE_T ws_end = working_set_kb();
    close_scenes();
    printf("long run, random girls: %lld ticks (%.1f h of saver time) in %.0f s\n", long_run,
           double(long_run) / 36000.0, seconds);
    printf("GDI objects alive (counted from the saver's create and delete calls): %ld after 1000 ticks, %ld at the end\n",
           gdi_start, gdi_end);
    printf("working set: %zu KB after 1000 ticks, %zu KB at the end\n\n", size_t(ws_start), size_t(ws_end));
    printf("BENCH target=%s tick_median_us=%.0f tick_p99_us=%.0f random_median_us=%.0f random_p99_us=%.0f naive_median_us=%.0f "
           "naive_ratio=%.1f shown_median_us=%.0f shown_p99_us=%.0f naive_shown_median_us=%.0f shown_ratio=%.1f traffic_ratio=%.2f start_ms=%.0f close_ms=%.0f window_gone_ms=%.0f gdi_start=%ld gdi_end=%ld ws_start_kb=%zu "
           "ws_end_kb=%zu stage_median_us=%.0f scaled_median_us=%.0f scaled_ratio=%.2f scaled_traffic_ratio=%.2f "
           "minimal_start_ms=%.0f start_ratio=%.2f scan_ms=%.1f load_ms=%.1f load_16_ms=%.1f two_screens_median_us=%.0f "
           "two_screens_ratio=%.2f display_change_ms=%.1f display_change_16_ms=%.1f\n",
           target_name, percentile(girl.ticks, 0.5), percentile(girl.ticks, 0.99), percentile(random.ticks, 0.5),
           percentile(random.ticks, 0.99), percentile(girl.naive, 0.5), ratio, percentile(girl.shown, 0.5), percentile(girl.shown, 0.99),
           percentile(girl.naive_shown, 0.5), shown_ratio, traffic, start_ms, close_ms, gone_ms, gdi_start,
           gdi_end, size_t(ws_start), size_t(ws_end), unscaled_median, scaled_median, stage_ratio, scaled_traffic,
           minimal_ms, start_ms / std::max(1.0, minimal_ms), percentile(scans, 0.5) / 1000,
           percentile(loads_true, 0.5) / 1000, percentile(loads_16, 0.5) / 1000, two_screens_median, two_screens_ratio,
           change_ms, change_16_ms);
    return 0;
}
