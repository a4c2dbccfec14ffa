// test_recorder.cpp --- the cycle recorder plays the saver's own scene, the same way every time.
#include <algorithm>
#include <set>

#include "scene/display_colours.h"
#include "support/support.h"

namespace {

std::string record(const std::string& folder, const std::string& arguments, const std::string& options = "")
{
    remove_installed_girls();
    install_sample_girls();
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string output;
    DWORD status = run_captured("\"" + build_path("record_cycle.exe") + "\" " + options + "\"" + folder + "\" " + arguments,
                                output);
    CHECK(status == 0);
    return output;
}

int count_frames(const std::string& folder)
{
    int count = 0;
    while (file_exists(folder + "\\frame" + std::string(4 - std::to_string(count).size(), '0') +
                       std::to_string(count) + ".bmp"))
        count++;
    return count;
}

void clear_folder(const std::string& folder)
{
    for (int i = 0; i < 5000; i++) {
        char name[32];
        wsprintfA(name, "\\frame%04d.bmp", i);
        remove_path(folder + name);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

TEST_CASE("the recorder writes one whole cycle, identical on every run")
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string first = std::string(temp) + "skyflare-record-1", second = std::string(temp) + "skyflare-record-2";
    clear_folder(first);
    clear_folder(second);
    CHECK(record(first, "640 480 lumidoll.aur 0").find("316 frames") != std::string::npos);
    // 316 ticks: the whole cycle of the ballerina on 640 x 480, as the choreography's own test counts it.
    CHECK(count_frames(first) == 316);
    record(second, "640 480 lumidoll.aur 0");
    for (int i : {0, 40, 150, 315}) {
        char name[32];
        wsprintfA(name, "\\frame%04d.bmp", i);
        std::string a = read_file(first + name), b = read_file(second + name);
        CHECK(a.size() == 54 + 640 * 480 * 3);
        CHECK(a == b);
    }
    // Mid-cycle the flare and the banner are on the picture: not all black.
    std::string middle = read_file(first + "\\frame0150.bmp");
    CHECK(middle.find_first_not_of('\0', 54) != std::string::npos);
    SUBCASE("random mode opens with the girl asked for, whatever the clock says, and is repeatable")
    {
        for (std::string girl : SAMPLE_GIRLS) {
            CAPTURE(girl);
            clear_folder(first);
            clear_folder(second);
            record(first, std::string("640 480 ") + girl + " 0");
            record(second, std::string("640 480 ") + girl + " 1");
            // Until the first change of girl, the two modes show the same pictures.
            CHECK(read_file(first + "\\frame0040.bmp") == read_file(second + "\\frame0040.bmp"));
        }
        clear_folder(first);
        clear_folder(second);
        record(first, "640 480 lumidoll.aur 1");
        record(second, "640 480 lumidoll.aur 1");
        CHECK(count_frames(first) == count_frames(second));
        CHECK(read_file(first + "\\frame0300.bmp") == read_file(second + "\\frame0300.bmp"));
    }
    clear_folder(first);
    clear_folder(second);
}

namespace {

// The colours of a recorded frame (a 24-bit file as the recorder writes it), as 0xRRGGBB.
std::set<uint32_t> colours_of(const std::string& file)
{
    std::set<uint32_t> colours;
    for (size_t at = 54; at + 3 <= file.size(); at += 3)
        colours.insert(uint32_t(uint8_t(file[at + 2])) << 16 | uint32_t(uint8_t(file[at + 1])) << 8 | uint8_t(file[at]));
    return colours;
}

}  // namespace

TEST_CASE("the recorder shows the scene as a 256-colour and a 16-colour display show it")
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "skyflare-record-colours";
    std::set<uint32_t> standard;
    for (const RGBQUAD& q : STANDARD_COLOURS)
        standard.insert(rgb_of(q));
    // Aurora's own table: the colours the display has while she dances (with its black and white).
    std::set<uint32_t> hers = {0x000000, 0xFFFFFF};
    {
        HMODULE module = LoadLibraryExA(sample_girl_path("lumidoll.aur").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HBITMAP frame = static_cast<HBITMAP>(LoadImageA(module, "GIRL1", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        REQUIRE(frame != nullptr);
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(memory, frame);
        RGBQUAD table[256];
        REQUIRE(GetDIBColorTable(memory, 0, 256, table) == 256);
        for (int i = 1; i < 255; i++)
            hers.insert(rgb_of(table[i]));
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(frame);
        FreeLibrary(module);
    }
    SUBCASE("16 colours: only the standard ones, every tick of the same whole cycle")
    {
        clear_folder(folder);
        CHECK(record(folder, "640 480 lumidoll.aur 0", "--colours 16 ").find("316 frames") != std::string::npos);
        for (int i = 0; i < 316; i += 15) {
            char name[32];
            wsprintfA(name, "\\frame%04d.bmp", i);
            CAPTURE(i);
            std::set<uint32_t> shown = colours_of(read_file(folder + name));
            CHECK(std::includes(standard.begin(), standard.end(), shown.begin(), shown.end()));
        }
    }
    SUBCASE("256 colours: while the ballerina dances under the sky, both show exactly as drawn")
    {
        // Her palette holds the sky's colours: on a 256-colour display the whole picture, sky
        // and girl, is the very one a true-colour display shows.
        const std::string drawn = folder + "-true";
        clear_folder(folder);
        clear_folder(drawn);
        CHECK(record(folder, "640 480 lumidoll.aur 0", "--colours 256 ").find("316 frames") != std::string::npos);
        record(drawn, "640 480 lumidoll.aur 0");
        const std::string shown = read_file(folder + "\\frame0046.bmp");
        const std::set<uint32_t> colours = colours_of(shown);
        CHECK(colours.size() > 100);  // the sky is up, in full
        CHECK(std::includes(hers.begin(), hers.end(), colours.begin(), colours.end()));
        CHECK(shown == read_file(drawn + "\\frame0046.bmp"));
        clear_folder(drawn);
    }
    clear_folder(folder);
}
