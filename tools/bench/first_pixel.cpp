// first_pixel.cpp --- the smallest window program the benchmark compares the saver's start with:
// a black topmost window of the screen's size that draws one pixel and ends on a key.
#include <windows.h>

static LRESULT CALLBACK first_pixel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        SetPixel(dc, 8, 8, RGB(255, 255, 255));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = first_pixel_proc;
    window_class.hInstance = instance;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = "SkyFlareFirstPixel";
    RegisterClassA(&window_class);
    CreateWindowExA(WS_EX_TOPMOST, "SkyFlareFirstPixel", "First pixel", WS_POPUP | WS_VISIBLE, 0, 0,
                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                    nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
