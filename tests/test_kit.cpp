// test_kit.cpp --- the girl module kit: what it builds plays in the saver; its checker names faults.
#include <algorithm>
#include <sstream>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/sequence.h"
#include "support/support.h"

namespace {

std::string kit_module(const std::string& name) { return fixture_path("kit\\" + name); }

struct Check {
    DWORD status;
    std::string output;
    explicit Check(const std::string& module)
    {
        status = run_captured("\"" + build_path("lumidoll-check.exe") + "\" \"" + module + "\"", output);
    }
    bool says(const std::string& text) const { return output.find(text) != std::string::npos; }
};

// The code pages of the Windows 95 family's languages: those of the saver's fifteen.
const UINT CODE_PAGES_95[] = {932, 936, 949, 950, 1250, 1251, 1252};

// A text as Windows itself shows it in a code page: turned into it as the 95 family's LoadStringA
// does (best fit and all), and back.
std::wstring windows_shows(const std::wstring& text, UINT code_page)
{
    std::string bytes(2 * text.size() + 1, '\0');
    std::wstring shown(text.size() + 1, L'\0');
    const int size = WideCharToMultiByte(code_page, 0, text.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    shown.resize(static_cast<size_t>(std::max(1, MultiByteToWideChar(code_page, 0, bytes.c_str(), size, &shown[0],
                                                                     static_cast<int>(shown.size()))) - 1));
    return shown;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> parts;
    std::istringstream split(line);
    for (std::string part; std::getline(split, part, '\t');)
        parts.push_back(part);
    return parts;
}

}  // namespace

TEST_CASE("a module built by the kit from the sample girl's pictures is listed and played")
{
    remove_installed_girls();
    install_girl(kit_module("lumidoll.kit"), "lumidoll.kit");
    scan_girl_modules(LANG_NEUTRAL);
    REQUIRE(module_count == 1);
    CHECK(utf8(girl_modules[0].title) == "Aurora, rebuilt by the kit");
    Surface screen(640, 480);
    Scene* scene = start_scene_on(screen.dc, 640, 480, 0, 0);
    CHECK(scene->girl.width == 132);
    CHECK(scene->girl.height == 200);
    for (int i = 0; i < 17; i++)
        CHECK(scene->girl.frames[i].bitmap != nullptr);
    for (int tick = 0; tick < 60 && scene->sequence.state < 2; tick++)
        scene_tick(scene, screen.dc);
    RECT girl = {scene->girl.x, scene->girl.y, scene->girl.x + scene->girl.width, scene->girl.y + scene->girl.height};
    CHECK(screen.count_not(BLACK, girl) > 2000);
    end_scene(scene);
    install_sample_girls();
}

TEST_CASE("the checker passes the sample girls and what the kit builds")
{
    for (const char* name : SAMPLE_GIRLS) {
        CAPTURE(name);
        Check check(sample_girl_path(name));
        CHECK(check.status == 0);
        CHECK(check.says("module: readable"));
        CHECK(check.says("verdict: the saver shows this girl completely"));
        CHECK_FALSE(check.says("lacks the sky's colours"));
    }
    Check kit(kit_module("lumidoll.kit"));
    CHECK(kit.status == 0);
    CHECK(kit.says("title: \"Aurora, rebuilt by the kit\" (26 characters)"));
    CHECK_FALSE(kit.says("Windows 95 family"));
    CHECK(kit.says("GIRL17: 8-bit, 256 colours, 132 x 200"));
    CHECK(kit.says("background: pure black around every frame"));
    CHECK_FALSE(kit.says("lacks the sky's colours"));
    // A girl whose table was made without the sky's colours still shows; the checker warns in the
    // kit's own words.
    Check plain(kit_module("lumidoll.ok"));
    CHECK(plain.status == 0);
    CHECK(plain.says("colours: her colour table lacks the sky's colours at entries 213 to 255: on a 256-colour "
                     "display the sky shows in her colours while she dances"));
}

TEST_CASE("the checker names each fault a module author can make")
{
    struct Fault {
        const char* module;
        const char* says;
    };
    const Fault faults[] = {
        {"lumidoll.mis", "GIRL9: missing"},
        {"lumidoll.dep", "GIRL4: 24-bit"},
        {"lumidoll.siz", "GIRL7: 48 x 60, not the size of GIRL1 (40 x 60)"},
        {"lumidoll.hgt", "GIRL6: 40 x 72, not the size of GIRL1 (40 x 60)"},
        {"lumidoll.wdt", "GIRL11: 52 x 60, not the size of GIRL1 (40 x 60)"},
        {"lumidoll.tit", "has 49 characters; the dialog shows only the first 39"},
        {"lumidoll.txt", "module: lumidoll.txt is not a girl module: it does not start as a Windows program or library does"},
        {"lumidoll.emp", "module: lumidoll.emp is not a girl module: the file is empty"},
        {"lumidoll.zzz", "does not exist: there is nothing to check"},
        {"nova.dll", "verdict: the saver will not find this girl at all"},
    };
    for (const Fault& fault : faults) {
        CAPTURE(fault.module);
        Check check(kit_module(fault.module));
        CAPTURE(check.output);
        CHECK(check.status == 1);
        CHECK(check.says(fault.says));
        CHECK_FALSE(check.says("verdict: the saver shows this girl completely"));
    }
    Check named(sample_girl_path("aurora\\girl1.bmp"));
    CHECK(named.status == 1);
    CHECK(named.says("will not be found"));
    // A frame on a background that is not black still shows: a warning, and she passes.
    Check background(kit_module("lumidoll.bkg"));
    CHECK(background.status == 0);
    CHECK(background.says("GIRL5: not surrounded by pure black"));
    CHECK(background.says("verdict: the saver shows this girl completely"));
}

TEST_CASE("the checker shows a title of accented letters as the dialog will")
{
    Check accented(kit_module("lumidoll.vga"));
    CHECK(accented.status == 0);
    CHECK(accented.says("title: \"V\xC3\xA9ga, l'\xC3\xA9toile\" (14 characters)"));
    CHECK_FALSE(accented.says("1252 (Western)"));  // the Western code page has her letters
}

TEST_CASE("a title in Cyrillic and one in Japanese: the checker shows each as written and says, in the page's words, where it cannot show")
{
    // Each line: the module, her title and the kit's sentence, written by the kit itself.
    std::istringstream lines(read_file(kit_module("title-sentences.txt")));
    int titles = 0;
    for (std::string line; std::getline(lines, line); titles++) {
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        const std::string file = line.substr(0, first), title = line.substr(first + 1, second - first - 1);
        CAPTURE(file);
        Check check(kit_module(file));
        CHECK(check.status == 0);  // a warning: she shows all the same
        CHECK(check.says("title: \"" + title + "\" (" + std::to_string(utf16(title).size()) + " characters)"));
        CHECK(check.says("title: " + line.substr(second + 1)));
        // It names exactly the code pages in which Windows' own conversion changes her title.
        for (UINT page : CODE_PAGES_95)
            CHECK_MESSAGE((windows_shows(utf16(title), page) != utf16(title)) ==
                              (line.find(" " + std::to_string(page) + " (", second) != std::string::npos),
                          page);
    }
    CHECK(titles == 2);
}

TEST_CASE("the kit says how a title shows on the Windows 95 family exactly as Windows' own conversion does")
{
    // Written by the kit itself: each title and how it shows in each of its code pages. The last
    // title holds every UTF-16 unit but the surrogates, NUL and the file's separators.
    std::istringstream lines(read_file(kit_module("code-pages.txt")));
    int titles = 0;
    for (std::string line; std::getline(lines, line); titles++) {
        const std::vector<std::string> kit = fields(line);
        REQUIRE(kit.size() == 1 + std::size(CODE_PAGES_95));
        const std::wstring title = utf16(kit[0]);
        for (size_t i = 0; i < std::size(CODE_PAGES_95); i++) {
            const std::wstring windows = windows_shows(title, CODE_PAGES_95[i]), said = utf16(kit[i + 1]);
            const size_t at = std::mismatch(windows.begin(), windows.end(), said.begin(), said.end()).first - windows.begin();
            CHECK_MESSAGE(windows == said, "U+" << std::hex << (at < title.size() ? title[at] : 0) << " in code page "
                                                << std::dec << CODE_PAGES_95[i]);
        }
    }
    CHECK(titles == 9);
}

TEST_CASE("each sample girl is titled in each of the saver's languages, in that language's code page")
{
    // Each line: the module, the language (hexadecimal) and her title there, as make_girls.py gave them.
    std::istringstream lines(read_file(sample_girl_path("titles.txt")));
    int titles = 0;
    for (std::string line; std::getline(lines, line); titles++) {
        const std::vector<std::string> given = fields(line);
        REQUIRE(given.size() == 3);
        CAPTURE(line);
        const WORD language = static_cast<WORD>(std::stoul(given[1], nullptr, 16));
        HMODULE module = LoadLibraryExA(sample_girl_path(given[0]).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        // String 1 of that language's first string table, as the module stores it.
        HRSRC block = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(1), language);
        const WORD* at = block ? static_cast<const WORD*>(LockResource(LoadResource(module, block))) : nullptr;
        REQUIRE(at != nullptr);
        at += at[0] + 1;
        const std::wstring title(reinterpret_cast<const WCHAR*>(at + 1), at[0]);
        FreeLibrary(module);
        CHECK(utf8(title) == given[2]);
        // Her language's Windows 95 family shows it as written: its code page has every letter.
        char code_page[8] = "";
        GetLocaleInfoA(MAKELCID(language, SORT_DEFAULT), LOCALE_IDEFAULTANSICODEPAGE, code_page, sizeof code_page);
        CHECK(windows_shows(title, static_cast<UINT>(atoi(code_page))) == title);
    }
    CHECK(titles == 3 * 15);
}
