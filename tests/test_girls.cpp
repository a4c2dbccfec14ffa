// test_girls.cpp --- the options in "control.ini" and the girl modules in the system directory.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <set>
#include <vector>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "support/support.h"

namespace {

const std::string SECTION = "[Screen Saver.SkyFlare]";

// Titles in the order the system's directory search gives the module files.
std::vector<std::string> directory_order()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(system_path("lumidoll.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string title_of_sample(const std::string& file_name)
{
    for (int i = 0; i < 3; i++)
        if (file_name == SAMPLE_GIRLS[i])
            return SAMPLE_TITLES[i];
    return "?";
}

void load_options_fresh()
{
    Mode = 77;
    Girl = 77;
    load_settings_names();
    load_options();
}

int frames_loaded(const SpriteFrame* frames, int count)
{
    int loaded = 0;
    for (int i = 0; i < count; i++)
        loaded += frames[i].bitmap != nullptr;
    return loaded;
}

// A scene's girl, loaded from module `index` as the saver loads her.
struct GirlLoad {
    Scene scene = {};
    SpriteFrame* frames = scene.girl_frames;
    Sprite& sprite = scene.girl;
    explicit GirlLoad(int index)
    {
        HDC screen = GetDC(nullptr);
        scene.girl_index = index;
        scene.display_kind = DISPLAY_TRUE_COLOUR;
        load_girl_sprite(&scene, screen);
        ReleaseDC(nullptr, screen);
    }
    ~GirlLoad() { destroy_sprite(&sprite); }
};

}  // namespace

TEST_CASE("without a settings file or its section the options are 0, and the first save writes both keys")
{
    SUBCASE("no file at all")
    {
        remove_settings();
        load_options_fresh();
        CHECK(Mode == 0);
        CHECK(Girl == 0);
        Mode = 1;
        Girl = -1;
        save_options();
        std::string text = read_settings();
        CHECK(text.find(SECTION + "\r\nMode=1\r\nGirl=-1") != std::string::npos);
    }
    SUBCASE("a file with other sections only, which stay as they were")
    {
        write_settings("[Other]\r\nkey=value\r\n");
        load_options_fresh();
        CHECK(Mode == 0);
        CHECK(Girl == 0);
        Mode = 0;
        Girl = 12;
        save_options();
        std::string text = read_settings();
        CHECK(text.find("[Other]\r\nkey=value") != std::string::npos);
        CHECK(text.find(SECTION + "\r\nMode=0\r\nGirl=12") != std::string::npos);
    }
}

TEST_CASE("saving changes only the two keys of the saver's section")
{
    write_settings("[Screen Saver.Other]\r\nMode=5\r\nGirl=6\r\n" + SECTION +
                   "\r\nExtra=kept\r\nMode=0\r\nGirl=1\r\n[Last]\r\nx=y\r\n");
    load_options_fresh();
    CHECK(Mode == 0);
    CHECK(Girl == 1);
    Mode = 1;
    Girl = -7;
    save_options();
    CHECK(profile_value("Mode") == "1");
    CHECK(profile_value("Girl") == "-7");
    CHECK(profile_value("Extra") == "kept");
    std::string text = read_settings();
    CHECK(text.find("[Screen Saver.Other]\r\nMode=5\r\nGirl=6") != std::string::npos);
    CHECK(text.find("[Last]\r\nx=y") != std::string::npos);
}

TEST_CASE("stored values are read as written, a hand-written Mode=2 and negative girls included")
{
    write_settings(SECTION + "\r\nMode=2\r\nGirl=-1\r\n");
    load_options_fresh();
    CHECK(Mode == 2);
    CHECK(Girl == -1);
    write_settings(SECTION + "\r\nGirl=3\r\n");
    load_options_fresh();
    CHECK(Mode == 0);  // a missing key reads as 0
    CHECK(Girl == 3);
}

TEST_CASE("the scan lists every module in the directory's order with its title")
{
    install_sample_girls();
    std::vector<std::string> order = directory_order();
    REQUIRE(order.size() == 3);
    scan_girl_modules(LANG_NEUTRAL);
    CHECK(module_count == 3);
    for (int i = 0; i < 3; i++) {
        CHECK(std::string(girl_modules[i].file_name) == order[i]);
        CHECK(utf8(girl_modules[i].title) == title_of_sample(order[i]));
    }
    // The samples are classic 32-bit modules, which this 64-bit process reads as data.
    std::string module = read_file(system_path(SAMPLE_GIRLS[0]));
    REQUIRE(module.size() > 0x40);
    DWORD pe_offset = *reinterpret_cast<const DWORD*>(module.data() + 0x3C);
    CHECK(*reinterpret_cast<const WORD*>(module.data() + pe_offset + 4) == IMAGE_FILE_MACHINE_I386);
}

TEST_CASE("every match counts, even one that is no library, but names too long are skipped")
{
    install_sample_girls();
    write_file(system_path("lumidoll.txt"), "this is not a library");
    CreateDirectoryA(system_path("lumidoll.x").c_str(), nullptr);
    write_file(system_path("lumidoll.abcd"), read_file(sample_girl_path(SAMPLE_GIRLS[0])));
    std::vector<std::string> order = directory_order();
    REQUIRE(order.size() == 6);
    scan_girl_modules(LANG_NEUTRAL);
    CHECK(module_count == 5);
    std::set<std::string> listed;
    for (int i = 0; i < module_count; i++) {
        std::string name = girl_modules[i].file_name;
        listed.insert(name);
        const bool unreadable = name == "lumidoll.txt" || name == "lumidoll.x";
        CHECK(girl_modules[i].readable == !unreadable);
        if (unreadable)
            CHECK(utf8(girl_modules[i].title).empty());
        else
            CHECK(utf8(girl_modules[i].title) == title_of_sample(name));
    }
    CHECK(listed.count("lumidoll.abcd") == 0);  // 13 characters: does not fit the table
    CHECK(listed.count("lumidoll.txt") == 1);
    CHECK(listed.count("lumidoll.x") == 1);

    SUBCASE("selecting a file that is no library leaves the girl without frames")
    {
        int index = 0;
        while (std::string(girl_modules[index].file_name) != "lumidoll.txt")
            index++;
        GirlLoad girl(index);
        CHECK(frames_loaded(girl.frames, 17) == 0);
        CHECK(girl.sprite.width == 0);
    }
    remove_installed_girls();
}

TEST_CASE("sixty matching files fill the table's fifty entries and no more")
{
    remove_installed_girls();
    for (int i = 0; i < 60; i++) {
        char name[16];
        wsprintfA(name, "lumidoll.%03d", i);
        write_file(system_path(name), "x");
    }
    girl_modules[MAX_GIRL_MODULES - 1].title[0] = '\0';
    scan_girl_modules(LANG_NEUTRAL);
    CHECK(module_count == 50);
    std::set<std::string> names;
    for (int i = 0; i < 50; i++)
        names.insert(girl_modules[i].file_name);
    CHECK(names.size() == 50);
    remove_installed_girls();
}

TEST_CASE("a girl's frames come from her module and stay drawable after it is released")
{
    install_sample_girls();
    scan_girl_modules(LANG_NEUTRAL);
    for (int index = 0; index < 3; index++) {
        GirlLoad girl(index);
        CAPTURE(girl_modules[index].file_name);
        CHECK(frames_loaded(girl.frames, 17) == 17);
        CHECK(girl.sprite.width > 0);
        CHECK(girl.sprite.height > 0);
        // The module is closed again: drawing uses only the loaded pictures.
        Surface screen(girl.sprite.width + 20, girl.sprite.height + 20);
        girl.scene.sequence.mover = &girl.sprite;
        girl.sprite.frame = 8;
        draw_sprite(&girl.scene, screen.dc, 10, 10, &girl.sprite);
        RECT area = {10, 10, 10 + girl.sprite.width, 10 + girl.sprite.height};
        CHECK(screen.count_not(BLACK, area) > 500);
    }
}


// Modules made by the girl maker page from the sample girls' pictures, in the folder the
// page's test leaves them in: SKYFLARE_PAGE_MODULES, relative to the build tree, holds
// lumidoll.pau, .pmi and .ply, made from aurora's, mira's and lyra's pictures.
TEST_CASE("a girl made in the page shows every one of her pictures' pixels" * doctest::skip())
{
    const char* folder = getenv("SKYFLARE_PAGE_MODULES");
    REQUIRE(folder != nullptr);
    const char* const made[3][2] = {{"lumidoll.pau", "aurora"}, {"lumidoll.pmi", "mira"}, {"lumidoll.ply", "lyra"}};
    for (const auto& girl : made) {
        CAPTURE(girl[0]);
        remove_installed_girls();
        install_girl(build_path(std::string(folder) + "/" + girl[0]), girl[0]);
        scan_girl_modules(LANG_NEUTRAL);
        REQUIRE(module_count == 1);
        GirlLoad loaded(0);
        REQUIRE(frames_loaded(loaded.frames, 17) == 17);
        for (int i = 0; i < 17; i++) {
            CAPTURE(i + 1);
            std::string picture = build_path("girl-modules/" + std::string(girl[1]) + "/girl" + std::to_string(i + 1) + ".bmp");
            HBITMAP given = static_cast<HBITMAP>(LoadImageA(nullptr, picture.c_str(), IMAGE_BITMAP, 0, 0,
                                                            LR_LOADFROMFILE | LR_CREATEDIBSECTION));
            REQUIRE(given != nullptr);
            int width = 0, height = 0, given_width = 0, given_height = 0;
            std::vector<uint32_t> shown = pixels_of(loaded.frames[i].bitmap, width, height);
            std::vector<uint32_t> expected = pixels_of(given, given_width, given_height);
            DeleteObject(given);
            CHECK(width == given_width);
            CHECK(height == given_height);
            size_t differing = 0;
            for (size_t p = 0; p < shown.size() && p < expected.size(); p++)
                differing += shown[p] != expected[p];
            CHECK(differing == 0);
        }
    }
    install_sample_girls();
}

TEST_CASE("a module without one picture loads with that frame missing")
{
    remove_installed_girls();
    install_girl(build_path("tests/fixtures/no_frame5.dll"), "lumidoll.no5");
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 1);
    CHECK(utf8(girl_modules[0].title) == "Missing her fifth picture");
    GirlLoad girl(0);
    CHECK(frames_loaded(girl.frames, 17) == 16);
    CHECK(girl.frames[4].bitmap == nullptr);
    CHECK(girl.frames[3].bitmap != nullptr);
    CHECK(girl.frames[5].bitmap != nullptr);
}

TEST_CASE("a stored girl that names no module loads nothing")
{
    install_sample_girls();
    scan_girl_modules(LANG_NEUTRAL);
    for (int index : {-1, 3, 49, 50, 1000, INT_MAX, INT_MIN}) {
        CAPTURE(index);
        GirlLoad girl(index);
        CHECK(frames_loaded(girl.frames, 17) == 0);
        CHECK(girl.sprite.width == 0);
    }
}

TEST_CASE("modules are read as data from the exact file the scan found")
{
    install_sample_girls();
    const std::string mark = "C:\\skyflare-module-code-ran";
    const std::string code_module = build_path("tests/fixtures/code_module.dll");

    SUBCASE("no code of a module runs")
    {
        install_girl(code_module, "lumidoll.cod");
        remove_path(mark);
        scan_girl_modules(LANG_NEUTRAL);
        int index = -1;
        for (int i = 0; i < module_count; i++)
            if (std::string(girl_modules[i].file_name) == "lumidoll.cod")
                index = i;
        REQUIRE(index >= 0);
        CHECK(utf8(girl_modules[index].title) == "Module with code");
        GirlLoad girl(index);
        CHECK(girl.frames[0].bitmap != nullptr);
        CHECK_FALSE(file_exists(mark));
        // The module does run code when loaded as a program library: the check can fail.
        HMODULE loaded = LoadLibraryA(system_path("lumidoll.cod").c_str());
        REQUIRE(loaded != nullptr);
        FreeLibrary(loaded);
        CHECK(file_exists(mark));
        remove_path(mark);
        remove_path(system_path("lumidoll.cod"));
    }
    SUBCASE("a file of the same name beside the program is not taken instead")
    {
        char program[MAX_PATH];
        GetModuleFileNameA(nullptr, program, MAX_PATH);
        std::string beside = program;
        beside = beside.substr(0, beside.rfind('\\') + 1) + SAMPLE_GIRLS[0];
        REQUIRE(CopyFileA(sample_girl_path(SAMPLE_GIRLS[1]).c_str(), beside.c_str(), FALSE));
        char cwd_copy[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, cwd_copy);
        std::string in_cwd = std::string(cwd_copy) + "\\" + SAMPLE_GIRLS[0];
        CopyFileA(sample_girl_path(SAMPLE_GIRLS[2]).c_str(), in_cwd.c_str(), FALSE);
        scan_girl_modules(LANG_NEUTRAL);
        for (int i = 0; i < module_count; i++)
            CHECK(utf8(girl_modules[i].title) == title_of_sample(girl_modules[i].file_name));
        remove_path(beside);
        remove_path(in_cwd);
    }
}

namespace {

// The clock as the runtime reads it, and the seeds the generator is given.
const time_t A_MOMENT = 1796688000;  // some second of 2026
std::vector<unsigned> seeds_given;
decltype(&srand) real_srand;
void __cdecl watched_srand(unsigned seed)
{
    seeds_given.push_back(seed);
    real_srand(seed);
}
time_t __cdecl stopped_clock(time_t* now)
{
    if (now)
        *now = A_MOMENT;
    return A_MOMENT;
}

}  // namespace

TEST_CASE("the random pick draws from the runtime's generator, seeded from the clock at the first pick")
{
    install_sample_girls();
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 3);
    {
        // Each run of the saver starts its own order of girls: the first pick of the process
        // seeds the generator with the current time, once. (This is this process's first pick.)
        ImportSpy clock("msvcrt.dll", sizeof(time_t) == 8 ? "_time64" : "time",
                        reinterpret_cast<void*>(stopped_clock));
        ImportSpy seeding("msvcrt.dll", "srand", reinterpret_cast<void*>(watched_srand));
        real_srand = reinterpret_cast<decltype(&srand)>(seeding.original);
        seeds_given.clear();
        Girl = pick_random_girl(Girl);
        Girl = pick_random_girl(Girl);
        CHECK(seeds_given == std::vector<unsigned>{static_cast<unsigned>(A_MOMENT)});
    }
    CHECK(Girl >= 0);
    CHECK(Girl < 3);
    srand(12345);
    unsigned state = 12345;
    for (int i = 0; i < 200; i++) {
        state = state * 214013u + 2531011u;
        int expected = int((state >> 16) & 0x7FFF) % 3;
        Girl = pick_random_girl(Girl);
        REQUIRE(Girl == expected);
    }
}

TEST_CASE("a given seed starts the same picks every time, from the girl already chosen")
{
    install_sample_girls();
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 3);
    std::vector<int> runs[2];
    for (auto& picks : runs) {
        Girl = 2;
        seed_girl_picks(20261208);
        CHECK(Girl == 2);  // seeding picks nobody
        for (int i = 0; i < 50; i++) {
            Girl = pick_random_girl(Girl);
            picks.push_back(Girl);
        }
    }
    CHECK(runs[0] == runs[1]);
    CHECK(std::count(runs[0].begin(), runs[0].end(), runs[0][0]) < 50);  // the picks do change
}

TEST_CASE("with one module every pick is 0, and with none the girl stays as she is")
{
    remove_installed_girls();
    install_girl(sample_girl_path(SAMPLE_GIRLS[1]), SAMPLE_GIRLS[1]);
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 1);
    for (int i = 0; i < 100; i++) {
        Girl = 9;
        Girl = pick_random_girl(Girl);
        CHECK(Girl == 0);
    }
    remove_installed_girls();
    scan_girl_modules(LANG_NEUTRAL);
    CHECK(module_count == 0);
    Girl = 4;
    Girl = pick_random_girl(Girl);
    CHECK(Girl == 4);
    install_sample_girls();
}
