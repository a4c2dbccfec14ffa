// support.h --- shared set-up for the tests: paths, installed girls, settings, pixels, waiting.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "doctest.h"

// Where things are: the build tree (seen from Wine as drive Z:) and the prefix's folders.
std::string build_path(const std::string& relative);
std::string saver_path();
std::string sample_girl_path(const std::string& file_name);
std::string system_dir();
std::string system_path(const std::string& file_name);
std::string windows_path(const std::string& file_name);
extern const char* const SAMPLE_GIRLS[3];
extern const char* const SAMPLE_TITLES[3];

// Text the system keeps in UTF-16, as UTF-8 (how the tests write what they expect), and back.
std::string utf8(const std::wstring& text);
std::wstring utf16(const std::string& text);

// A dialog template as the dialog manager reads it (texts as UTF-8; a class or menu given by
// number as "#n"), from a module's resources in one language: empty (no controls, no caption)
// where the module has no such template in that language.
struct DialogControl {
    DWORD style = 0, ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::string class_name, text;
};
struct DialogTemplate {
    DWORD style = 0, ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, class_name, caption;
    WORD point_size = 0;
    std::string font;
    std::vector<DialogControl> controls;
};
DialogTemplate dialog_template(HMODULE module, int id, WORD language);
// The sixteen strings of the string table block that holds string `id`, in one language (as
// UTF-8; all empty where the module has no such block in that language).
std::vector<std::string> string_block(HMODULE module, UINT id, WORD language);
// The languages a module holds a resource in, in the order of its resource directory.
std::vector<WORD> resource_languages(HMODULE module, LPCSTR type, LPCSTR name);

// The language tests/in_languages.sh says this run's user must get (SKYFLARE_LANGUAGE, in
// hexadecimal), or `otherwise` when the run is not one of its.
WORD asked_language(WORD otherwise = 0);

// Files.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
void remove_path(const std::string& path);  // a file, or an empty directory

// Girl modules in the system directory: every test states which are there.
void remove_installed_girls();
void install_girl(const std::string& source, const std::string& name);
void install_sample_girls();

// The control panel's settings file.
std::string settings_path();
void remove_settings();
void write_settings(const std::string& text);
std::string read_settings();
std::string profile_value(const char* key);  // "" when missing

// Waiting: pumps this thread's messages until the condition holds or the time is up.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = 15000);
void pump_messages();

// A 32-bit top-down DIB section with a device context: a screen whose pixels can be read.
struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int width = 0, height = 0;
    Surface(int w, int h);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    uint32_t at(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
    void fill(uint32_t colour);
    int count_not(uint32_t colour, RECT area) const;
    bool all(uint32_t colour, RECT area) const;
    void save_bmp(const std::string& path) const;
};

// Every system colour, from the scroll bar to the inactive title's gradient; as this process
// sees them, or as a process started now sees them (after another process has changed them).
std::vector<COLORREF> system_colours();
std::vector<COLORREF> system_colours_now();
// Whether the screen is a palette display (256 colours or fewer, through a realized palette).
bool palette_display();

// A bitmap's pixels as 0xRRGGBB, rows top-down, through its own colour table.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int& width, int& height);

// Copies what a window shows on the screen (client area) into a surface.
void capture_window(HWND window, Surface& into);
// Copies what the screen shows, from the given screen point on, into a surface.
void capture_screen(Surface& into, int left = 0, int top = 0);
// Whether the primary screen shows something new within the time.
bool screen_changes(DWORD within_ms);
uint32_t rgb_of(const RGBQUAD& q);  // 0x00RRGGBB, as a 32-bit DIB stores it
const uint32_t BLACK = 0;


// A plain top-level window for drawing tests, destroyed with the object.
struct TestWindow {
    HWND handle = nullptr;
    TestWindow(int width, int height, WNDPROC procedure = nullptr, DWORD ex_style = 0,
               DWORD style = WS_POPUP | WS_VISIBLE);
    ~TestWindow();
};

// The screen of every monitor, and a monitor other than the primary one (empty if none).
RECT virtual_screen();
RECT other_monitor();

// Another program's bright white window over an area of the screen, shown before it returns.
struct BrightWindow : TestWindow {
    explicit BrightWindow(const RECT& area);
};

// Running another program, as the system would.
struct Process {
    PROCESS_INFORMATION info = {};
    bool started = false;
    explicit Process(const std::string& command_line);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool wait(DWORD timeout_ms);  // true when it ended in time
    DWORD exit_code() const;
    void kill();
};

// Registry values of the current user that tests set and clear.
void set_user_string(const char* key, const char* name, const char* value);
void set_user_dword(const char* key, const char* name, DWORD value);
void set_user_binary(const char* key, const char* name, const void* data, DWORD size);
void delete_user_value(const char* key, const char* name);

// The stand-in password libraries and what they noted (see fixtures/stand_in_registry.h).
std::string fixture_path(const std::string& file_name);
void install_password_library(const char* fixture);  // nullptr removes it
void clear_stand_in_notes();
DWORD stand_in_note(const char* name);
void use_password(DWORD value);  // "ScreenSaveUsePassword" as a number
BOOL saver_running_state();
void set_saver_running_state(BOOL running);

// Puts a function of this program's own in place of a system function it imports, for calls
// whose effect the platform does not show (Wine keeps no system palette use on true colour).
// The original is put back when the object goes.
struct ImportSpy {
    void** slot = nullptr;
    void* original = nullptr;
    ImportSpy(const char* dll, const char* function, void* replacement);
    ~ImportSpy();
};

// While it lives, this program's device contexts say they are of a display of that many bits a
// pixel, in one plane: 4 as the VGA driver of the Windows 95 family, which Xvfb has no depth for;
// 8 as a palette display, where the test's own display is not one.
struct DisplayDepth {
    ImportSpy spy;
    explicit DisplayDepth(int bits);
};
struct SixteenColourDisplay : DisplayDepth {
    SixteenColourDisplay() : DisplayDepth(4) {}
};

// While it lives, the bitmaps and palettes this program's code has made (loaded, created) and
// not yet deleted, watched through its own calls (Wine's GetGuiResources answers 0).
struct GdiWatch {
    ImportSpy image, bitmap, palette, deletion;
    GdiWatch();
    size_t alive() const;
};

// Runs a console program to its end and gives its exit code, with what it printed; one that
// has not ended within the time-out is ended, and the case fails saying so.
DWORD run_captured(const std::string& command_line, std::string& output, DWORD timeout_ms = 60000);

// The scene started on an off-screen device context as the saver window starts it: modules
// scanned, the options given, the four sprites loaded, the girl about to come in.
void start_scene_on(HDC dc, int width, int height, int mode, int girl);

// A fingerprint of the pixels of an area, each shown as a scale x scale block: two areas with
// the same fingerprint show the same picture.
uint64_t picture_hash(const Surface& surface, RECT area, int scale = 1);
// Fingerprints, tick by tick, of the first girl's scene alone on a screen of the given size,
// each pixel shown as a scale x scale block; of `part` of that screen only, where given, as a
// window smaller than the screen shows it from its own corner.
std::vector<uint64_t> lone_scene(int width, int height, int ticks, int scale = 1, RECT part = {});
// Whether `shown`, fingerprints of a live scene's ticks, is a stretch of `alone` beginning
// within its first `slack` ticks (ticks the live scene drew before a test took over).
bool plays_as_alone(const std::vector<uint64_t>& shown, const std::vector<uint64_t>& alone, int slack = 0);

// The scene layer alone as a window's procedure.
LRESULT CALLBACK scene_layer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
