// test_hostile_input.cpp --- command lines, settings files and girl modules that anyone can write.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "check_words.h"
#include "girls/catalogue.h"
#include "host/config_dialog.h"
#include "girls/module_file.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/scene_window.h"
#include "scene/sequence.h"
#include "support/support.h"

namespace {

// A text placed so that its terminating zero is the last byte before a page that cannot be
// read: a read past the end faults at once instead of going unnoticed.
struct GuardedText {
    char* page = nullptr;
    char* text = nullptr;
    explicit GuardedText(const std::string& value)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_t size = info.dwPageSize;
        REQUIRE(value.size() + 1 <= size);
        page = static_cast<char*>(VirtualAlloc(nullptr, size * 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        REQUIRE(page != nullptr);
        DWORD old;
        VirtualProtect(page + size, size, PAGE_NOACCESS, &old);
        text = page + size - (value.size() + 1);
        memcpy(text, value.c_str(), value.size() + 1);
    }
    ~GuardedText() { VirtualFree(page, 0, MEM_RELEASE); }
};

// The rules of the command line, written out again from the product's documentation.
SaverMode expected_mode(const std::string& tail, size_t& rest)
{
    size_t i = 0;
    while (i < tail.size() && (tail[i] == ' ' || tail[i] == '-' || tail[i] == '/'))
        i++;
    if (i == tail.size())
        return MODE_CONFIG_ALONE;
    char letter = tail[i];
    auto after_blanks = [&] {
        size_t j = i + 1;
        while (j < tail.size() && tail[j] == ' ')
            j++;
        return j;
    };
    if (letter == 's' || letter == 'S')
        return MODE_FULL_SCREEN;
    if (strchr("pPlL", letter)) {
        rest = after_blanks();
        return MODE_PREVIEW;
    }
    if (letter == 'c' || letter == 'C')
        return MODE_CONFIG_OWNED;
    if (letter == 'a' || letter == 'A') {
        rest = after_blanks();
        return MODE_PASSWORD;
    }
    return MODE_UNUSABLE;
}

uint32_t expected_number(const std::string& text)
{
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = (value * 10 + uint64_t(c - '0')) & 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

std::string random_tail(std::mt19937& random)
{
    std::uniform_int_distribution<int> kind(0, 5), length(0, 40), byte(1, 255), digit(0, 9);
    std::string tail;
    switch (kind(random)) {
    case 0:  // random bytes
        for (int i = length(random); i > 0; i--)
            tail += static_cast<char>(byte(random));
        break;
    case 1:  // long runs of blanks, dashes and slashes, then perhaps a letter
        for (int i = length(random) * 50; i > 0; i--)
            tail += " -/"[random() % 3];
        if (random() % 2)
            tail += "sSpPlLcCaAxX\t"[random() % 13];
        break;
    case 2:  // a preview or password switch with a huge number
    {
        tail = std::string(random() % 2 ? "/p" : "-A") + std::string(random() % 4, ' ');
        for (int i = length(random); i > 0; i--)
            tail += static_cast<char>('0' + digit(random));
        if (random() % 2)
            tail += static_cast<char>(byte(random));
        break;
    }
    case 3:  // double-byte lead bytes at the end
        tail = "/" + std::string(1, "spclax"[random() % 6]) + " 12" + static_cast<char>(0x81 + random() % 0x7E);
        break;
    case 4:  // letters and digits in any mix
        for (int i = length(random) % 8; i >= 0; i--)
            tail += "/- spl:0123456789\t"[random() % 18];
        break;
    default:  // high bytes where the letter goes
        tail = "/" + std::string(1, static_cast<char>(0x80 + random() % 0x80)) + "s";
        break;
    }
    return tail;
}

}  // namespace

TEST_CASE("a hundred thousand generated command tails all follow the rules, without reading past them")
{
    std::mt19937 random(20261208);
    int checked = 0;
    for (int n = 0; n < 100000; n++) {
        std::string tail = random_tail(random);
        GuardedText guarded(tail);
        const char* rest = nullptr;
        size_t expected_rest = 0;
        SaverMode mode = choose_mode(guarded.text, &rest);
        SaverMode expected = expected_mode(tail, expected_rest);
        if (mode != expected)
            FAIL("tail of " << tail.size() << " bytes: mode " << mode << ", expected " << expected);
        if (mode == MODE_PREVIEW || mode == MODE_PASSWORD) {
            REQUIRE(rest == guarded.text + expected_rest);
            REQUIRE(parse_decimal(rest) == expected_number(tail.substr(expected_rest)));
        }
        checked++;
    }
    CHECK(checked == 100000);
}

TEST_CASE("the command tail is found after any program name, quoted or not")
{
    REQUIRE_FALSE(IsDBCSLeadByte(0x81));  // the rules below are those of a single-byte code page
    std::mt19937 random(7);
    for (int n = 0; n < 20000; n++) {
        std::string name, tail;
        for (int i = random() % 30; i > 0; i--)
            name += static_cast<char>(0x21 + random() % 0xDE);
        for (int i = random() % 10; i > 0; i--)
            tail += static_cast<char>(0x21 + random() % 0xDE);
        std::string line;
        size_t expected;
        int form = static_cast<int>(random() % 4);
        std::string quoted_name = name;
        quoted_name.erase(std::remove(quoted_name.begin(), quoted_name.end(), '"'), quoted_name.end());
        std::string blanks(random() % 3, random() % 2 ? ' ' : '\t');
        if (form == 0) {  // "C:\program name" tail
            line = "\"" + quoted_name + "\"" + blanks + tail;
            expected = quoted_name.size() + 2 + blanks.size();
        } else if (form == 1) {  // an unclosed quote: everything is the name
            line = "\"" + quoted_name;
            expected = line.size();
        } else if (form == 2 && !name.empty() && name[0] != '"') {  // name tail
            line = name + " " + blanks + tail;
            expected = name.size() + 1 + blanks.size();
        } else if (!blanks.empty()) {  // only blanks, then the tail
            line = blanks + tail;
            expected = blanks.size();
        } else {
            continue;
        }
        GuardedText guarded(line);
        const char* found = command_tail(guarded.text);
        REQUIRE(found >= guarded.text);
        REQUIRE(static_cast<size_t>(found - guarded.text) == expected);
    }
}

TEST_CASE("a sample of unusable tails also ends the real saver with -1")
{
    SetCursorPos(320, 240);
    std::mt19937 random(11);
    int tried = 0;
    for (int n = 0; n < 4000 && tried < 25; n++) {
        std::string tail = random_tail(random);
        size_t rest = 0;
        SaverMode mode = expected_mode(tail, rest);
        bool unusable = mode == MODE_UNUSABLE || mode == MODE_PASSWORD ||
                        (mode == MODE_PREVIEW && !IsWindow(reinterpret_cast<HWND>(
                                                      static_cast<UINT_PTR>(expected_number(tail.substr(rest))))));
        if (!unusable || tail.find('"') != std::string::npos || tail.size() > 2000)
            continue;
        tried++;
        CAPTURE(tail);
        Process saver("\"" + saver_path() + "\" " + tail);
        REQUIRE(saver.started);
        REQUIRE(saver.wait(20000));
        CHECK(saver.exit_code() == static_cast<DWORD>(-1));
    }
    CHECK(tried == 25);
}

namespace {

// The scene's window on its own, run for a few ticks and closed, as a saver run would be.
void run_scene_briefly()
{
    reset_host_flags();
    TestWindow window(640, 480, scene_layer_proc);
    for (int i = 0; i < 5; i++)
        SendMessageA(window.handle, WM_TIMER, SCENE_TIMER, 0);
    CHECK(IsWindow(window.handle));
}

bool well_formed_settings()
{
    std::string text = read_settings();
    std::regex mode("\\[Screen Saver\\.SkyFlare\\]\\r\\n(?:[^\\[]*\\r\\n)?Mode=-?[0-9]+\\r\\n");
    std::regex girl("\\r\\nGirl=-?[0-9]+\\r\\n");
    return std::regex_search(text, mode) && std::regex_search(text, girl) &&
           std::count(text.begin(), text.end(), '[') == 1;
}

}  // namespace

TEST_CASE("odd settings files: the saver runs and writes back well-formed options")
{
    install_sample_girls();
    const char* files[] = {
        "[Screen Saver.SkyFlare]\r\nMode=abc\r\nGirl=xyz\r\n",
        "[Screen Saver.SkyFlare]\r\nMode=99999999999999999999\r\nGirl=-99999999999999\r\n",
        "[Screen Saver.SkyFlare]\r\nMode=-1\r\nGirl=-2147483648\r\n",
        "[Screen Saver.SkyFlare]\r\nMode=\r\nGirl=\r\n",
        "[Screen Saver.SkyFlare]\r\n",
        "[Screen Saver.SkyFlare]\r\nMode=1 2\r\nGirl= 7\r\nGirl=8\r\n",
        "garbage without any section\r\n\x01\x02\x03",
    };
    for (const char* file : files) {
        CAPTURE(file);
        write_settings(file);
        run_scene_briefly();
        CHECK(well_formed_settings());
    }
}

TEST_CASE("a settings file that cannot be written leaves the saver running and the file sound")
{
    install_sample_girls();
    SUBCASE("read-only: well formed, whether or not the system lets the saver write it")
    {
        // (Wine running as root writes a read-only file anyway.)
        write_settings("[Screen Saver.SkyFlare]\r\nMode=1\r\nGirl=+2\r\n");
        SetFileAttributesA(settings_path().c_str(), FILE_ATTRIBUTE_READONLY);
        run_scene_briefly();
        SetFileAttributesA(settings_path().c_str(), FILE_ATTRIBUTE_NORMAL);
        CHECK(well_formed_settings());
    }
    SUBCASE("a directory of that name: left as it was")
    {
        remove_settings();
        REQUIRE(CreateDirectoryA(settings_path().c_str(), nullptr));
        run_scene_briefly();
        CHECK((GetFileAttributesA(settings_path().c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
        RemoveDirectoryA(settings_path().c_str());
    }
    SUBCASE("replaced by a directory while the saver runs")
    {
        write_options(0, 1);
        closing = 0;
        GetCursorPos(&saved_cursor);
        {
            TestWindow window(640, 480, scene_layer_proc);
            remove_settings();
            REQUIRE(CreateDirectoryA(settings_path().c_str(), nullptr));
            SendMessageA(window.handle, WM_TIMER, SCENE_TIMER, 0);
        }
        CHECK((GetFileAttributesA(settings_path().c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
        RemoveDirectoryA(settings_path().c_str());
    }
    remove_settings();
}

namespace {

std::string hostile(const std::string& name) { return fixture_path("hostile\\" + name); }

struct Played {
    int width = 0, height = 0, frames = 0, lit = 0, gx = 0;
};

// Lists the module alone and plays the choreography with her for a while on a surface.
Played play_module(const std::string& file, int ticks = 60)
{
    remove_installed_girls();
    install_girl(hostile(file), file);
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 1);
    Surface screen(640, 480);
    Scene* scene = start_scene_on(screen.dc, 640, 480, 0, 0);
    Played played;
    played.width = scene->girl.width;
    played.height = scene->girl.height;
    for (int i = 0; i < 17; i++)
        played.frames += scene->girl.frames[i].bitmap != nullptr;
    for (int i = 0; i < ticks; i++)
        scene_tick(scene, screen.dc);
    played.lit = screen.count_not(BLACK, {0, 0, 640, 480});
    played.gx = scene->sequence.gx;
    end_scene(scene);
    return played;
}

}  // namespace

TEST_CASE("girl module files no author should make: listed as decided, played without harm")
{
    SUBCASE("files that are no module: an empty title and no girl")
    {
        for (const char* file : {"lumidoll.emp", "lumidoll.trn", "lumidoll.rnd", "lumidoll.nor"}) {
            CAPTURE(file);
            Played played = play_module(file);
            CHECK(utf8(girl_modules[0].title).empty());
            CHECK(played.frames == 0);
            CHECK(played.width == 0);
        }
    }
    SUBCASE("frames of 1, 4, 24 and 32 bits are shown as they are")
    {
        for (const char* file : {"lumidoll.b1", "lumidoll.b4", "lumidoll.b24", "lumidoll.b32"}) {
            CAPTURE(file);
            Played played = play_module(file);
            CHECK(played.frames == 17);
            CHECK(played.width == 40);
            CHECK(played.lit > 100);
        }
    }
    SUBCASE("frames of different sizes are all shown at the first one's size")
    {
        Played played = play_module("lumidoll.mix", 80);
        CHECK(played.frames == 17);
        CHECK(played.width == 40);
        CHECK(played.height == 60);
    }
    SUBCASE("a frame of 4000 x 4000 pixels is played, slowly but whole")
    {
        Played played = play_module("lumidoll.big", 3);
        CHECK(played.width == 4000);
        CHECK(played.height == 4000);
        CHECK(played.gx >= 1);
    }
    SUBCASE("a 300-character title is cut to its first 39, never in the middle of a character")
    {
        play_module("lumidoll.ttl", 1);
        CHECK(utf8(girl_modules[0].title) == std::string("A title that goes on and on A title that goes on and on").substr(0, 38));
    }
    SUBCASE("a frame one row short of its height is never read, and the checker names it")
    {
        Played played = play_module("lumidoll.row");
        CHECK(girl_modules[0].readable == 0);
        CHECK(played.frames == 0);
        std::string report;
        CHECK(run_captured("\"" + build_path("lumidoll-check.exe") + "\" \"" + hostile("lumidoll.row") + "\"", report) == 1);
        CHECK(report.find("GIRL5: damaged: its colour table or pixels run past the end of its resource") != std::string::npos);
        CHECK(report.find("verdict: the saver cannot read this file") != std::string::npos);
    }
    install_sample_girls();
}

TEST_CASE("the shown girl's module deleted before a random reload: no girl, and the cycle goes on")
{
    remove_installed_girls();
    install_girl(sample_girl_path("lumidoll.mir"), "lumidoll.mir");
    Surface screen(640, 480);
    Scene* scene = start_scene_on(screen.dc, 640, 480, 1, 0);
    int ticks = 0;
    while (scene->sequence.state != 3 && ticks++ < 1000)
        scene_tick(scene, screen.dc);
    REQUIRE(scene->girl.width == 168);
    remove_installed_girls();  // the module goes while she is on the screen
    while (scene->sequence.state != 10 && ticks++ < 2000)
        scene_tick(scene, screen.dc);
    CHECK(scene->sequence.state == 10);
    CHECK(scene->girl.width == 0);
    CHECK(scene->girl.frames[0].bitmap == nullptr);
    while (scene->sequence.state != 0 && ticks++ < 3000)
        scene_tick(scene, screen.dc);
    CHECK(scene->sequence.state == 0);  // the whole cycle went round
    end_scene(scene);
    install_sample_girls();
}

namespace {

// Where Windows' own resource functions find a resource in the intact sample: its offset in the
// file (a module opened as data is the file, byte for byte, at the module's base) and its size.
struct Placed {
    size_t offset, size;
};

Placed place_of(const std::string& module_path, LPCSTR name, LPCSTR type)
{
    HMODULE module = LoadLibraryExA(module_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != nullptr);
    const BYTE* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR(3));
    HRSRC found = FindResourceA(module, name, type);
    REQUIRE(found != nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Placed placed = {static_cast<size_t>(data - base), SizeofResource(module, found)};
    FreeLibrary(module);
    return placed;
}

std::string with_commas(size_t value)
{
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

struct Damaged {
    std::string name, kind, verdict;
    int frames;                          // of GIRL1 to GIRL17, those the kit finds in a readable one
    int title;                           // the length of her title there, 0 when she has none
    std::vector<std::string> sentences;  // the kit's, for a file the saver cannot read
};

std::vector<Damaged> damaged_modules()
{
    std::vector<Damaged> modules;
    std::istringstream lines(read_file(fixture_path("damaged\\verdicts.txt")));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        REQUIRE(fields.size() >= 5);
        modules.push_back({fields[0], fields[1], fields[2], std::stoi(fields[3]), std::stoi(fields[4]),
                           {fields.begin() + 5, fields.end()}});
    }
    return modules;
}

// The checker's reports on several files, a hundred to a run (a command line holds 32,767
// characters): each file's lines by its name; status 1 when any run said so.
std::map<std::string, std::string> check_all(const std::vector<std::string>& paths, DWORD& status)
{
    std::map<std::string, std::string> reports;
    status = 0;
    for (size_t first = 0; first < paths.size(); first += 100) {
        std::string command = "\"" + build_path("lumidoll-check.exe") + "\"";
        for (size_t i = first; i < paths.size() && i < first + 100; i++)
            command += " \"" + paths[i] + "\"";
        // One file alone gets no heading: it is given one here, as several files get.
        if (paths.size() - first == 1)
            command += " \"" + paths[first] + "\"";
        std::string output;
        status |= run_captured(command, output, 120000);
        output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
        size_t at = output.find("== ");
        while (at != std::string::npos) {
            size_t next = output.find("\n== ", at);
            std::string report = output.substr(at + 3, next == std::string::npos ? std::string::npos : next - at - 3);
            std::string path = report.substr(0, report.find('\n'));
            reports[path.substr(path.find_last_of('\\') + 1)] = report;
            at = next == std::string::npos ? next : next + 1;
        }
    }
    return reports;
}

std::string verdict_of(const std::string& report)
{
    if (report.find("verdict: the saver cannot read this file") != std::string::npos)
        return "unreadable";
    if (report.find("verdict: the saver shows this girl completely") != std::string::npos)
        return "complete";
    if (report.find("verdict: the saver will not show this girl completely") != std::string::npos)
        return "refused";
    return "no verdict";
}

// The girl's frames as the saver loads them from the module listed first.
int frames_loaded_from_first()
{
    HDC screen = GetDC(nullptr);
    static Scene scene_of_her;
    Scene* scene = &scene_of_her;
    scene->girl_index = 0;
    load_girl_sprite(scene, screen);  // into the scene's own girl's frames
    ReleaseDC(nullptr, screen);
    int loaded = 0;
    for (int i = 0; i < scene->girl.count; i++)
        loaded += scene->girl.frames[i].bitmap != nullptr;
    destroy_sprite(&scene->girl);
    return loaded;
}

void read_title_into(HMODULE module, void* title)
{
    LoadStringA(module, 1, static_cast<char*>(title), 40);
}

}  // namespace

TEST_CASE("a module cut short inside its string table, a frame or its directory is never read, and says so")
{
    const std::string sample = sample_girl_path("lumidoll.aur");
    const std::string whole = read_file(sample);
    const Placed title = place_of(sample, MAKEINTRESOURCEA(1), RT_STRING);
    const Placed frame5 = place_of(sample, "GIRL5", RT_BITMAP);
    size_t first_data = title.offset;
    for (int i = 1; i <= 17; i++)
        first_data = std::min(first_data, place_of(sample, ("GIRL" + std::to_string(i)).c_str(), RT_BITMAP).offset);
    struct Cut {
        std::string where;
        size_t length;
        const char* says;
    } cuts[] = {
        {"inside the string table", title.offset + 3, "its title lies beyond it: it was cut short, copy it again"},
        {"inside the fifth frame", frame5.offset + frame5.size / 2, "GIRL5"},
        {"inside the resource directory", first_data - 40, "but its resource directory"},
    };
    for (const Cut& cut : cuts) {
        CAPTURE(cut.where);
        remove_installed_girls();
        write_file(system_path("lumidoll.cut"), whole.substr(0, cut.length));
        scan_girl_modules(LANG_NEUTRAL);
        REQUIRE(module_count == 1);
        CHECK(girl_modules[0].readable == 0);
        CHECK(utf8(girl_modules[0].title).empty());
        CHECK(frames_loaded_from_first() == 0);
        DWORD status;
        std::map<std::string, std::string> reports = check_all({system_path("lumidoll.cut"), sample}, status);
        const std::string& report = reports["lumidoll.cut"];
        CAPTURE(report);
        const size_t line = report.find("module: the file ends at byte " + with_commas(cut.length) + ", but ");
        REQUIRE(line != std::string::npos);
        CHECK(report.substr(line, report.find('\n', line) - line).find(cut.says) != std::string::npos);
        CHECK(verdict_of(report) == "unreadable");
        CHECK(verdict_of(reports["lumidoll.aur"]) == "complete");
        CHECK(status == 1);
    }
    install_sample_girls();
}

TEST_CASE("a fault while the system reads a module ends that read and nothing else")
{
    // A module cut short at a page boundary before her title, opened without the check: the
    // system's own string function reads past the end of the file.
    const std::string sample = sample_girl_path("lumidoll.aur");
    const Placed title = place_of(sample, MAKEINTRESOURCEA(1), RT_STRING);
    const std::string cut = read_file(sample).substr(0, title.offset & ~size_t(0xFFFF));
    const std::string path = system_path("lumidoll.cut");
    write_file(path, cut);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != nullptr);
    char read[40] = "";
    CHECK(read_module_guarded(module, static_cast<DWORD>(cut.size()), read_title_into, read) == 0);
    FreeLibrary(module);
    // The same read of the whole module goes through.
    module = LoadLibraryExA(sample.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module != nullptr);
    CHECK(read_module_guarded(module, static_cast<DWORD>(read_file(sample).size()), read_title_into, read) == 1);
    CHECK(std::string(read) == "Aurora, the ballerina");
    FreeLibrary(module);
    remove_path(path);
}

namespace {

// The disk failing under the check: the read numbered failing_read, counted from the first,
// gives nothing, as a read the system cannot make does.
int reads, failing_read;
decltype(&ReadFile) real_read_file;
BOOL WINAPI failing_read_file(HANDLE file, LPVOID into, DWORD length, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (++reads == failing_read) {
        if (got)
            *got = 0;
        SetLastError(ERROR_CRC);
        return FALSE;
    }
    return real_read_file(file, into, length, got, overlapped);
}

}  // namespace

TEST_CASE("a part of a module the disk does not give is never taken for sound: the file is refused, in the checker's words")
{
    const std::string sample = sample_girl_path("lumidoll.aur");
    ImportSpy spy("kernel32.dll", "ReadFile", reinterpret_cast<void*>(failing_read_file));
    real_read_file = reinterpret_cast<decltype(&ReadFile)>(spy.original);
    HANDLE file = CreateFileA(sample.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    ModuleCheck check;
    reads = failing_read = 0;
    REQUIRE(check_module_file(file, &check) == 1);
    const int total = reads;
    REQUIRE(total > 20);  // the headers, the directory's tables and entries, each frame and her title
    // Each read the check makes, failing in turn: wherever it is, the file is refused and the
    // checker names the part the disk did not give.
    const std::string unread = std::string(": damaged: ") + sentence::faultUnread;
    for (failing_read = 1; failing_read <= total; failing_read++) {
        CAPTURE(failing_read);
        reads = 0;
        CHECK(check_module_file(file, &check) == 0);
        CHECK(check.cut == 0);
        const std::vector<std::string> lines = unreadable_lines(check, "lumidoll.aur");
        CHECK(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
                  return line.find(unread) != std::string::npos;
              }) == 1);
    }
    CloseHandle(file);
    // The saver's own scan, its disk failing half way through the check: listed, never read.
    remove_installed_girls();
    install_girl(sample, "lumidoll.aur");
    reads = 0;
    failing_read = total / 2;
    scan_girl_modules(LANG_NEUTRAL);
    failing_read = 0;
    REQUIRE(module_count == 1);
    CHECK(girl_modules[0].readable == 0);
    CHECK(girl_modules[0].title[0] == L'\0');
    install_sample_girls();
}

TEST_CASE("damaged copies of the sample girls: one verdict each from the checker, the kit and the saver, and the "
          "system loads every girl they call complete")
{
    const std::vector<Damaged> modules = damaged_modules();
    REQUIRE(modules.size() == 510);
    std::vector<std::string> paths;
    for (const Damaged& module : modules)
        paths.push_back(fixture_path("damaged\\" + module.name));
    DWORD status;
    std::map<std::string, std::string> reports = check_all(paths, status);
    CHECK(status == 1);
    int unreadable = 0;
    for (const Damaged& module : modules) {
        CAPTURE(module.name);
        CAPTURE(module.kind);
        const std::string& report = reports[module.name];
        CAPTURE(report);
        // The checker's verdict is the kit's; where the saver cannot read it, in the kit's words.
        CHECK(verdict_of(report) == module.verdict);
        for (const std::string& sentence : module.sentences)
            CHECK(report.find(sentence) != std::string::npos);
        // The rule alone stops every damaged part: the last line of defence is never needed.
        CHECK(report.find("a fault while the system read it") == std::string::npos);
        unreadable += module.verdict == "unreadable";
    }
    CHECK(unreadable > 150);
    // The saver's own catalogue and frame loader, each copy alone in the system directory: the
    // system's own functions load what the rule finds, her title and, in a girl it calls
    // complete, every one of her 17 frames.
    remove_installed_girls();
    int complete = 0;
    for (const Damaged& module : modules) {
        CAPTURE(module.name);
        CAPTURE(module.kind);
        install_girl(fixture_path("damaged\\" + module.name), "lumidoll.dmg");
        scan_girl_modules(LANG_NEUTRAL);
        REQUIRE(module_count == 1);
        CHECK(girl_modules[0].readable == (module.verdict != "unreadable"));
        CHECK(lstrlenW(girl_modules[0].title) == std::min(module.title, 39));
        const int loaded = frames_loaded_from_first();
        CHECK(loaded == module.frames);
        if (module.verdict == "complete") {
            CHECK(loaded == 17);
            CHECK(module.title > 0);
            complete++;
        }
    }
    CHECK(complete > 100);
    install_sample_girls();
}
