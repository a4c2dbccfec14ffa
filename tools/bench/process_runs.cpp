// process_runs.cpp --- how long a program takes to show its first pixel, and to go on a key: the
// saver beside the smallest window program, each started as a process of its own.
#include "tools/bench/measures.h"

#include <algorithm>

// Start: from process start to the first non-black pixel the program puts on the screen (in
// its top-left W x H, where the saver's girl and the minimal program's pixel first show); close:
// from the closing key to the process's end. Median over several runs; all 0 when the program
// cannot be started.
ProcessTimes measure_start_and_close(const std::string& command_line, const char* window_class, const char* title)
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
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            ReleaseDC(nullptr, screen);
            return {0, 0, 0};
        }
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
    return {percentile(starts, 0.5), percentile(closes, 0.5), percentile(gones, 0.5)};
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
