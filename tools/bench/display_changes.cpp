// display_changes.cpp --- how long the saver window takes to answer a change of the displays.
#include "tools/bench/measures.h"

// From the system's word that the displays changed to the first frame of the new layout handed
// to the display: the saver window's own layers (the host covers the screen again, the scene lays
// itself out and shows its first step) and Wine's hand-over of the pixels, on the whole display.
// Each change is a change of size; with `depth`, every other one is to 16 colours and back, which
// loads every frame again.
std::vector<double> measure_display_changes(bool depth)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND window = open_saver_window(w, h);
    present(window);
    std::vector<double> times;
    for (int run = 0; run < 21; run++) {
        const bool sixteen_colours = depth && run % 2 == 0;
        pretend_sixteen_colours(sixteen_colours);
        const double t0 = now_us();
        SendMessageA(window, WM_DISPLAYCHANGE, sixteen_colours ? 4 : 32, MAKELPARAM(w, h));
        present(window);
        times.push_back(now_us() - t0);
    }
    pretend_sixteen_colours(false);
    close_saver_window(window);
    return times;
}
