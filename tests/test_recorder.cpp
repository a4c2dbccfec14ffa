// test_recorder.cpp --- the cycle recorder plays the saver's own scene, the same way every time.
#include "support/support.h"

namespace {

std::string record(const std::string& folder, const std::string& arguments)
{
    remove_installed_girls();
    install_sample_girls();
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string output;
    DWORD status = run_captured("\"" + build_path("record_cycle.exe") + "\" \"" + folder + "\" " + arguments, output);
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
