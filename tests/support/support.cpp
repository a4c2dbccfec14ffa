// support.cpp --- the tests' shared helpers over real files, windows, pixels and processes.
#include "support/support.h"

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

const char* const SAMPLE_GIRLS[3] = {"lumidoll.aur", "lumidoll.mir", "lumidoll.lyr"};
const char* const SAMPLE_TITLES[3] = {"Aurora, the ballerina", "Mira, the ice skater",
                                      "Lyra, the ribbon dancer"};

// The build tree is a Linux folder; Wine shows it as drive Z:.
std::string build_path(const std::string& relative)
{
    std::string path = std::string("Z:") + SKYFLARE_BUILD_DIR + "/" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string saver_path() { return build_path("SkyFlare.scr"); }
std::string sample_girl_path(const std::string& file_name) { return build_path("girl-modules/" + file_name); }

std::string system_dir()
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

std::string system_path(const std::string& file_name) { return system_dir() + "\\" + file_name; }

std::string windows_path(const std::string& file_name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + file_name;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    REQUIRE(out.good());
}

bool file_exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void remove_path(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(path.c_str());
    else
        DeleteFileA(path.c_str());
}

void remove_installed_girls()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(system_path("lumidoll.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& name : names)
        remove_path(system_path(name));
}

void install_girl(const std::string& source, const std::string& name)
{
    const std::string target = system_path(name);
    const bool copied = CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
    const DWORD error = copied ? 0 : GetLastError();
    REQUIRE_MESSAGE(copied, ("copying " + source + " to " + target + " failed with error " + std::to_string(error)));
}

void install_sample_girls()
{
    remove_installed_girls();
    for (const char* name : SAMPLE_GIRLS)
        install_girl(sample_girl_path(name), name);
}

std::string settings_path() { return windows_path("control.ini"); }

// The profile functions keep a cache of the file; flushing it makes the file on disk the truth.
static void flush_profile_cache()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "control.ini");
}

void remove_settings()
{
    flush_profile_cache();
    remove_path(settings_path());
}

void write_settings(const std::string& text)
{
    flush_profile_cache();
    write_file(settings_path(), text);
}

std::string read_settings()
{
    flush_profile_cache();
    return read_file(settings_path());
}

std::string profile_value(const char* key)
{
    flush_profile_cache();
    char value[64] = "";
    GetPrivateProfileStringA("Screen Saver.SkyFlare", key, "", value, sizeof value, "control.ini");
    return value;
}

void pump_messages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms)
{
    ULONGLONG start = GetTickCount64();  // not GetTickCount, which a test may move by hand
    for (;;) {
        pump_messages();
        if (condition())
            return true;
        if (GetTickCount64() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

Surface::Surface(int w, int h) : width(w), height(h)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    void* pixels = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    REQUIRE(bitmap != nullptr);
    bits = static_cast<uint32_t*>(pixels);
    previous = SelectObject(dc, bitmap);
    fill(BLACK);
}

Surface::~Surface()
{
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void Surface::fill(uint32_t colour)
{
    GdiFlush();
    for (int i = 0; i < width * height; i++)
        bits[i] = colour;
}

int Surface::count_not(uint32_t colour, RECT area) const
{
    GdiFlush();
    int count = 0;
    for (int y = std::max<LONG>(0, area.top); y < std::min<LONG>(height, area.bottom); y++)
        for (int x = std::max<LONG>(0, area.left); x < std::min<LONG>(width, area.right); x++)
            if (at(x, y) != colour)
                count++;
    return count;
}

bool Surface::all(uint32_t colour, RECT area) const { return count_not(colour, area) == 0; }

void Surface::save_bmp(const std::string& path) const
{
    GdiFlush();
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    DWORD size = static_cast<DWORD>(width * height * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + size;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(bits), size);
    write_file(path, bytes);
}

void capture_window(HWND window, Surface& into)
{
    HDC dc = GetDC(window);
    BitBlt(into.dc, 0, 0, into.width, into.height, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
}

void capture_screen(Surface& into, int left, int top)
{
    HDC screen = GetDC(nullptr);
    BitBlt(into.dc, 0, 0, into.width, into.height, screen, left, top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
}

bool screen_changes(DWORD within_ms)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Surface first(w, h), now(w, h);
    capture_screen(first);
    return wait_until([&] {
        capture_screen(now);
        return !std::equal(first.bits, first.bits + w * h, now.bits);
    }, within_ms);
}

std::string utf8(const std::wstring& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                     static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(length));
    return out;
}

std::wstring utf16(const std::string& text)
{
    std::wstring out(text.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                     static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(length));
    return out;
}

namespace {

// Reads a resource's words and texts in order, as the dialog manager and LoadString do.
struct ResourceReader {
    const BYTE* p;
    WORD word() { WORD w; std::memcpy(&w, p, 2); p += 2; return w; }
    DWORD dword() { DWORD d; std::memcpy(&d, p, 4); p += 4; return d; }
    short signed_word() { return static_cast<short>(word()); }
    std::string text()  // zero-terminated UTF-16
    {
        std::wstring s;
        for (WORD c = word(); c; c = word())
            s += static_cast<wchar_t>(c);
        return utf8(s);
    }
    std::string name_or_ordinal()
    {
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            word();
            return "#" + std::to_string(word());
        }
        return text();
    }
    void align() { p = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3)); }
};

const BYTE* resource_data(HMODULE module, LPCSTR type, LPCSTR name, WORD language, DWORD* size)
{
    HRSRC found = FindResourceExA(module, type, name, language);
    if (!found)
        return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

BOOL CALLBACK note_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

}  // namespace

DialogTemplate dialog_template(HMODULE module, int id, WORD language)
{
    DialogTemplate dialog;
    DWORD size = 0;
    const BYTE* data = resource_data(module, RT_DIALOG, MAKEINTRESOURCEA(id), language, &size);
    if (!data)
        return dialog;
    ResourceReader r{data};
    dialog.style = r.dword();
    dialog.ex_style = r.dword();
    const WORD controls = r.word();
    dialog.x = r.signed_word();
    dialog.y = r.signed_word();
    dialog.cx = r.signed_word();
    dialog.cy = r.signed_word();
    dialog.menu = r.name_or_ordinal();
    dialog.class_name = r.name_or_ordinal();
    dialog.caption = r.text();
    if (dialog.style & DS_SETFONT) {
        dialog.point_size = r.word();
        dialog.font = r.text();
    }
    for (WORD i = 0; i < controls; i++) {
        DialogControl control;
        r.align();
        control.style = r.dword();
        control.ex_style = r.dword();
        control.x = r.signed_word();
        control.y = r.signed_word();
        control.cx = r.signed_word();
        control.cy = r.signed_word();
        control.id = r.word();
        control.class_name = r.name_or_ordinal();
        control.text = r.name_or_ordinal();
        r.p += r.word();  // its creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

std::vector<std::string> string_block(HMODULE module, UINT id, WORD language)
{
    std::vector<std::string> strings(16);
    DWORD size = 0;
    const BYTE* data = resource_data(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language, &size);
    if (!data)
        return strings;
    ResourceReader r{data};
    for (std::string& text : strings) {
        std::wstring wide;
        for (WORD length = r.word(); length > 0; length--)
            wide += static_cast<wchar_t>(r.word());
        text = utf8(wide);
    }
    return strings;
}

WORD asked_language(WORD otherwise)
{
    char asked[16] = "";
    if (!GetEnvironmentVariableA("SKYFLARE_LANGUAGE", asked, sizeof asked))
        return otherwise;
    return static_cast<WORD>(std::strtoul(asked, nullptr, 16));
}

std::vector<WORD> resource_languages(HMODULE module, LPCSTR type, LPCSTR name)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, name, note_language, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

uint32_t rgb_of(const RGBQUAD& q)
{
    return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}


static LRESULT CALLBACK plain_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

TestWindow::TestWindow(int width, int height, WNDPROC procedure, DWORD ex_style, DWORD style)
{
    static int serial = 0;
    char class_name[64];
    wsprintfA(class_name, "SkyFlareTestWindow%d", ++serial);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = procedure ? procedure : plain_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = class_name;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.style = CS_OWNDC;
    RegisterClassA(&window_class);
    handle = CreateWindowExA(ex_style, class_name, "test", style, 0, 0, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    REQUIRE(handle != nullptr);
    pump_messages();
}

TestWindow::~TestWindow()
{
    if (IsWindow(handle))
        DestroyWindow(handle);
    pump_messages();
}

RECT virtual_screen()
{
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

static BOOL CALLBACK note_other_monitor(HMONITOR, HDC, RECT* area, LPARAM param)
{
    if (area->left != 0 || area->top != 0)
        *reinterpret_cast<RECT*>(param) = *area;
    return TRUE;
}

RECT other_monitor()
{
    RECT other = {};
    EnumDisplayMonitors(nullptr, nullptr, note_other_monitor, reinterpret_cast<LPARAM>(&other));
    return other;
}

static LRESULT CALLBACK bright_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

BrightWindow::BrightWindow(const RECT& area)
    : TestWindow(area.right - area.left, area.bottom - area.top, bright_window_proc)
{
    MoveWindow(handle, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    Surface shown(area.right - area.left, area.bottom - area.top);
    REQUIRE(wait_until([&] {
        capture_screen(shown, area.left, area.top);
        return shown.all(0xFFFFFF, {0, 0, shown.width, shown.height});
    }));
}

Process::Process(const std::string& command_line)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info) != 0;
}

Process::~Process()
{
    if (!started)
        return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
        kill();
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

bool Process::wait(DWORD timeout_ms)
{
    if (!started)
        return false;
    ULONGLONG start = GetTickCount64();  // not GetTickCount, which a test may move by hand
    for (;;) {
        pump_messages();
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0)
            return true;
        if (GetTickCount64() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, 20, QS_ALLINPUT);
    }
}

DWORD Process::exit_code() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

void Process::kill()
{
    TerminateProcess(info.hProcess, 9999);
    WaitForSingleObject(info.hProcess, 10000);
}

static HKEY open_user_key(const char* key)
{
    HKEY handle = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    REQUIRE(handle != nullptr);
    return handle;
}

void set_user_string(const char* key, const char* name, const char* value)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(lstrlenA(value) + 1));
    RegCloseKey(handle);
}

void set_user_dword(const char* key, const char* name, DWORD value)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(handle);
}

void set_user_binary(const char* key, const char* name, const void* data, DWORD size)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}

void delete_user_value(const char* key, const char* name)
{
    HKEY handle = open_user_key(key);
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

std::string fixture_path(const std::string& file_name) { return build_path("tests/fixtures/" + file_name); }

void install_password_library(const char* fixture)
{
    remove_path(system_path("PASSWORD.CPL"));
    if (fixture)
        install_girl(fixture_path(fixture), "PASSWORD.CPL");
}

void clear_stand_in_notes()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SkyFlareTests");
}

DWORD stand_in_note(const char* name)
{
    DWORD value = 0, size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\SkyFlareTests", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

void use_password(DWORD value) { set_user_dword("Control Panel\\Desktop", "ScreenSaveUsePassword", value); }

// Wine keeps the screen-saver-running state in a volatile registry value; each process caches
// what it last read through SystemParametersInfo, so the tests read the value itself.
static const char RUNNING_KEY[] = "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop";

BOOL saver_running_state()
{
    char value[8] = "0";
    DWORD size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUNNING_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "WINE_ScreenSaverRunning", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
    }
    return value[0] == '1';
}

void set_saver_running_state(BOOL running)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RUNNING_KEY, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        const char* text = running ? "1" : "0";
        RegSetValueExA(key, "WINE_ScreenSaverRunning", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2);
        RegCloseKey(key);
    }
}

static void** import_slot(const char* dll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name; entry++) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(by_name->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

static void write_slot(void** slot, void* value)
{
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

ImportSpy::ImportSpy(const char* dll, const char* function, void* replacement)
{
    slot = import_slot(dll, function);
    REQUIRE_MESSAGE(slot != nullptr, function);
    original = *slot;
    write_slot(slot, replacement);
}

ImportSpy::~ImportSpy()
{
    if (slot)
        write_slot(slot, original);
}

// A bitmap's pixels as 0xRRGGBB, rows top-down, through its own colour table.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int& width, int& height)
{
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO wanted = {};
    wanted.bmiHeader.biSize = sizeof wanted.bmiHeader;
    wanted.bmiHeader.biWidth = width;
    wanted.bmiHeader.biHeight = -height;
    wanted.bmiHeader.biPlanes = 1;
    wanted.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &wanted, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    CHECK(rows == height);
    for (uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

std::vector<COLORREF> system_colours()
{
    std::vector<COLORREF> colours;
    for (int element = COLOR_SCROLLBAR; element <= COLOR_GRADIENTINACTIVECAPTION; element++)
        colours.push_back(GetSysColor(element));
    return colours;
}

std::vector<COLORREF> system_colours_now()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string output;
    REQUIRE(run_captured("\"" + std::string(self) + "\" --print-system-colours", output) == 0);
    std::vector<COLORREF> colours;
    std::istringstream lines(output);
    for (unsigned long colour; lines >> colour;)
        colours.push_back(colour);
    return colours;
}

bool palette_display()
{
    HDC screen = GetDC(nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}

static decltype(&GetDeviceCaps) real_device_caps;
static int pretended_bits;
static int WINAPI pretended_caps(HDC dc, int index)
{
    if (index == BITSPIXEL)
        return pretended_bits;
    if (index == PLANES)
        return 1;
    return real_device_caps(dc, index);
}

DisplayDepth::DisplayDepth(int bits) : spy("gdi32.dll", "GetDeviceCaps", reinterpret_cast<void*>(pretended_caps))
{
    real_device_caps = reinterpret_cast<decltype(&GetDeviceCaps)>(spy.original);
    pretended_bits = bits;
}

namespace {
std::set<HGDIOBJ> made_objects;
decltype(&LoadImageA) real_load_image;
decltype(&CreateCompatibleBitmap) real_create_bitmap;
decltype(&CreatePalette) real_create_palette;
decltype(&DeleteObject) real_delete_object;
HANDLE WINAPI made_image(HINSTANCE module, LPCSTR name, UINT type, int w, int h, UINT flags)
{
    HANDLE made = real_load_image(module, name, type, w, h, flags);
    if (made && type == IMAGE_BITMAP)
        made_objects.insert(made);
    return made;
}
HBITMAP WINAPI made_bitmap(HDC dc, int w, int h)
{
    HBITMAP made = real_create_bitmap(dc, w, h);
    made_objects.insert(made);
    return made;
}
HPALETTE WINAPI made_palette(const LOGPALETTE* entries)
{
    HPALETTE made = real_create_palette(entries);
    made_objects.insert(made);
    return made;
}
BOOL WINAPI deleted_object(HGDIOBJ object)
{
    made_objects.erase(object);
    return real_delete_object(object);
}
}  // namespace

GdiWatch::GdiWatch()
    : image("user32.dll", "LoadImageA", reinterpret_cast<void*>(made_image)),
      bitmap("gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(made_bitmap)),
      palette("gdi32.dll", "CreatePalette", reinterpret_cast<void*>(made_palette)),
      deletion("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(deleted_object))
{
    real_load_image = reinterpret_cast<decltype(&LoadImageA)>(image.original);
    real_create_bitmap = reinterpret_cast<decltype(&CreateCompatibleBitmap)>(bitmap.original);
    real_create_palette = reinterpret_cast<decltype(&CreatePalette)>(palette.original);
    real_delete_object = reinterpret_cast<decltype(&DeleteObject)>(deletion.original);
    made_objects.clear();
}

size_t GdiWatch::alive() const { return made_objects.size(); }

DWORD run_captured(const std::string& command_line, std::string& output, DWORD timeout_ms)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    REQUIRE(CreatePipe(&read_end, &write_end, &inherit, 0));
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(write_end);
    if (!started)
        CloseHandle(read_end);
    REQUIRE_MESSAGE(started, command_line);
    output.clear();
    // Read while the program runs, so that a program that hangs with the pipe open still ends
    // at the time-out: reading to the pipe's end first would wait for ever on it.
    char buffer[4096];
    ULONGLONG started_at = GetTickCount64();  // not GetTickCount, which a test may move by hand
    bool ended = false, timed_out = false;
    for (;;) {
        DWORD waiting = 0, got = 0;
        if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr))
            break;  // the program and every copy of the write end have gone
        if (waiting > 0) {
            if (!ReadFile(read_end, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &got, nullptr))
                break;
            output.append(buffer, got);
            continue;
        }
        if (ended)
            break;  // all it wrote before it ended has been read
        if (WaitForSingleObject(info.hProcess, 20) == WAIT_OBJECT_0)
            ended = true;
        else if (GetTickCount64() - started_at >= timeout_ms) {
            timed_out = true;
            break;
        }
    }
    if (!ended && !timed_out) {  // it closed its output and may still be running
        DWORD spent = static_cast<DWORD>(GetTickCount64() - started_at);
        timed_out = WaitForSingleObject(info.hProcess, spent < timeout_ms ? timeout_ms - spent : 0) != WAIT_OBJECT_0;
    }
    if (timed_out) {
        TerminateProcess(info.hProcess, 9999);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(read_end);
    DWORD code = 9999;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CHECK_MESSAGE(!timed_out, command_line << " did not end within " << timeout_ms / 1000
                                           << " s and was ended; it had printed: " << output);
    return code;
}

void start_scene_on(HDC dc, int width, int height, int mode, int girl)
{
    scan_girl_modules();
    Mode = mode;
    Girl = girl;
    load_scene_sprites(dc);
    scene.screen_width = width;
    scene.screen_height = height;
    start_sequence();
}

LRESULT CALLBACK scene_layer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return scene_proc(window, message, wparam, lparam);
}

uint64_t picture_hash(const Surface& surface, RECT area, int scale)
{
    GdiFlush();
    uint64_t hash = 1469598103934665603ull;
    for (int y = area.top * scale; y < area.bottom * scale; y++)
        for (int x = area.left * scale; x < area.right * scale; x++)
            hash = (hash ^ surface.at(x / scale, y / scale)) * 1099511628211ull;
    return hash;
}

std::vector<uint64_t> lone_scene(int width, int height, int ticks, int scale, RECT part)
{
    Surface alone(width, height);
    start_scene_on(alone.dc, width, height, 0, 0);
    if (IsRectEmpty(&part))
        SetRect(&part, 0, 0, width, height);
    std::vector<uint64_t> hashes;
    for (int tick = 0; tick < ticks; tick++) {
        scene_tick(alone.dc);
        hashes.push_back(picture_hash(alone, part, scale));
    }
    destroy_scene_sprites();
    return hashes;
}

bool plays_as_alone(const std::vector<uint64_t>& shown, const std::vector<uint64_t>& alone, int slack)
{
    for (int start = 0; start <= slack && start + shown.size() <= alone.size(); start++)
        if (std::equal(shown.begin(), shown.end(), alone.begin() + start))
            return true;
    return false;
}
