// test_sequence.cpp --- the choreography: states, timing, girl changes and what the screen shows.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "scene/cast.h"
#include "scene/sequence.h"
#include "support/support.h"

namespace {

Scene* scene;  // the scene the case plays

typedef std::vector<std::pair<int, int>> Runs;  // (state, ticks spent in it)

int index_of_module(const char* file_name)
{
    for (int i = 0; i < module_count; i++)
        if (std::string(girl_modules[i].file_name) == file_name)
            return i;
    return -1;
}

// The scene on an off-screen surface of the screen's size, started as the saver window starts it.
struct Stage {
    Surface screen;
    Stage(int mode, const char* girl_file, int width = 640, int height = 480) : screen(width, height)
    {
        scan_girl_modules(LANG_NEUTRAL);
        scene = start_scene_on(screen.dc, width, height, mode, girl_file ? index_of_module(girl_file) : Girl);
    }
    ~Stage() { end_scene(scene); }
    void tick() { scene_tick(scene, screen.dc); }
    bool run_until(int state, int limit = 2000)
    {
        for (int i = 0; i < limit; i++) {
            if (scene->sequence.state == state)
                return true;
            tick();
        }
        return false;
    }
    // Ticks through one whole cycle, from state 0 back to state 0, counting each state's ticks.
    Runs cycle()
    {
        Runs runs;
        for (int ticks = 0; ticks < 5000; ticks++) {
            int state = scene->sequence.state;
            tick();
            if (runs.empty() || runs.back().first != state)
                runs.push_back({state, 0});
            runs.back().second++;
            if (state != 0 && scene->sequence.state == 0)
                break;
        }
        return runs;
    }
};

// "state:ticks" pairs, readable when a comparison fails.
std::string describe(const Runs& runs)
{
    std::string text;
    for (const auto& [state, ticks] : runs)
        text += std::to_string(state) + ":" + std::to_string(ticks) + " ";
    return text;
}

RECT rect_of(const Sprite& s) { return {s.x, s.y, s.x + s.width, s.y + s.height}; }

// Non-black pixels outside the given rectangles.
int stray_pixels(const Surface& screen, std::vector<RECT> visible)
{
    GdiFlush();
    int stray = 0;
    for (int y = 0; y < screen.height; y++)
        for (int x = 0; x < screen.width; x++) {
            POINT p = {x, y};
            bool inside = false;
            for (const RECT& r : visible)
                inside = inside || PtInRect(&r, p);
            if (!inside && screen.at(x, y) != BLACK)
                stray++;
        }
    return stray;
}

}  // namespace

TEST_CASE("one whole cycle on a 640 x 480 screen, state by state")
{
    install_sample_girls();
    Stage stage(0, "lumidoll.aur");
    REQUIRE(scene->girl.width == 132);
    REQUIRE(scene->girl.height == 200);
    // Worked out by hand from the table for the 132 x 200 ballerina and the 252 x 140 flare:
    // girl steps (9, 13), flare steps (11, 12). The girl falls from -200 past (480-200)/2 = 140
    // in 27 ticks and from 151 past 480 in 26; the flare rises from 480 above 120-70 = 50 in
    // 36 ticks and from 48 above -140 in 16. Pauses last 5 ticks; the sky fades in over 7
    // and holds 2, the banner 6 and 4; the fade-outs end when the mover's frame is back at 0:
    // 8 ticks for the girl (frames 10..16, 0) and 6 for the flare (11..15, 0).
    const Runs expected = {
        {0, 27}, {1, 5}, {2, 7}, {200, 2}, {201, 8}, {3, 5}, {4, 26},
        {5, 36}, {6, 5}, {7, 6}, {700, 4}, {701, 6}, {8, 5}, {9, 16},
        {10, 27}, {11, 5}, {12, 7}, {1200, 2}, {1201, 8}, {13, 5}, {14, 26},
        {15, 36}, {16, 5}, {17, 6}, {1700, 4}, {1701, 6}, {18, 5}, {19, 16},
    };
    for (int round = 0; round < 2; round++) {
        CAPTURE(round);
        Runs runs = stage.cycle();
        CHECK(describe(runs) == describe(expected));
    }
    CHECK(scene->sequence.gx == 9);
    CHECK(scene->sequence.gy == 13);

    // The overlays' frames, tick by tick: each fades in from its blank last frame to the full
    // picture (frame 0), holds it, and fades out, one frame a tick, past its last frame until
    // the mover's own animation is back at its first.
    std::map<int, std::vector<int>> frames;  // by state, the overlay's frame after each tick
    REQUIRE(scene->sequence.state == 0);
    for (bool left = false; !left || scene->sequence.state != 0; left = left || scene->sequence.state != 0) {
        const int state = scene->sequence.state;
        stage.tick();
        const int phase = state % 100 == state ? state % 10 : state / 100 % 10;
        if (phase == 2)
            frames[state].push_back(scene->sky.frame);
        if (phase == 7)
            frames[state].push_back(scene->banner.frame);
    }
    const std::vector<int> sky_in = {6, 5, 4, 3, 2, 1, 0}, sky_out = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<int> banner_in = {5, 4, 3, 2, 1, 0}, banner_out = {1, 2, 3, 4, 5, 6};
    for (int half : {0, 10}) {
        CAPTURE(half);
        CHECK(frames[2 + half] == sky_in);
        CHECK(frames[(2 + half) * 100] == std::vector<int>{0, 0});
        CHECK(frames[(2 + half) * 100 + 1] == sky_out);
        CHECK(frames[7 + half] == banner_in);
        CHECK(frames[(7 + half) * 100] == std::vector<int>{0, 0, 0, 0});
        CHECK(frames[(7 + half) * 100 + 1] == banner_out);
    }
}

TEST_CASE("one whole cycle on an 800 x 600 screen, where every step and margin differs")
{
    install_sample_girls();
    Stage stage(0, "lumidoll.aur", 800, 600);
    // Worked out by hand as above: girl steps (10, 16), flare steps (13, 14), margins (40, 30).
    // The girl falls from -200 past (600-200)/2 = 200 in 26 ticks (to 216) and from 216 past
    // 600 in 25; the flare rises from 600 above 150-70 = 80 in 38 ticks (to 68) and from 68
    // above -140 in 15. Pauses, fades and holds do not depend on the screen.
    const Runs expected = {
        {0, 26}, {1, 5}, {2, 7}, {200, 2}, {201, 8}, {3, 5}, {4, 25},
        {5, 38}, {6, 5}, {7, 6}, {700, 4}, {701, 6}, {8, 5}, {9, 15},
        {10, 26}, {11, 5}, {12, 7}, {1200, 2}, {1201, 8}, {13, 5}, {14, 25},
        {15, 38}, {16, 5}, {17, 6}, {1700, 4}, {1701, 6}, {18, 5}, {19, 15},
    };
    CHECK(describe(stage.cycle()) == describe(expected));
    // Where everyone stands: the girl stops at (-132 + 26 x 10, 216), the sky at (800-40-332, 30),
    // the flare stops at 68 after entering at (800, 600), the banner at (40, 600-30-253).
    REQUIRE(stage.run_until(1));
    CHECK(scene->girl.x == 128);
    CHECK(scene->girl.y == 216);
    REQUIRE(stage.run_until(2));
    CHECK(scene->sky.x == 428);
    CHECK(scene->sky.y == 30);
    REQUIRE(stage.run_until(5));
    CHECK(scene->flare.x == 800);
    CHECK(scene->flare.y == 600);
    REQUIRE(stage.run_until(6));
    CHECK(scene->flare.x == 800 - 38 * 13);
    CHECK(scene->flare.y == 68);
    REQUIRE(stage.run_until(7));
    CHECK(scene->banner.x == 40);
    CHECK(scene->banner.y == 317);
    // The girl's pixels are where she stands, on a screen of this size.
    REQUIRE(stage.run_until(11));
    CHECK(stage.screen.count_not(BLACK, rect_of(scene->girl)) > 2000);
}

TEST_CASE("the overlays take their corners and the movers their entrances")
{
    install_sample_girls();
    Stage stage(0, "lumidoll.aur");
    CHECK(scene->sequence.mover == &scene->girl);
    CHECK(scene->girl.x == -132);
    CHECK(scene->girl.y == -200);
    REQUIRE(stage.run_until(2));
    CHECK(scene->sky.x == 640 - 32 - 332);
    CHECK(scene->sky.y == 24);
    REQUIRE(stage.run_until(5));
    CHECK(scene->sequence.mover == &scene->flare);
    CHECK(scene->flare.x == 640);
    CHECK(scene->flare.y == 480);
    REQUIRE(stage.run_until(7));
    CHECK(scene->banner.x == 32);
    CHECK(scene->banner.y == 480 - 24 - 253);
    REQUIRE(stage.run_until(10));
    CHECK(scene->sequence.mover == &scene->girl);
    CHECK(scene->girl.x == 640);
    CHECK(scene->girl.y == -200);
    REQUIRE(stage.run_until(12));
    CHECK(scene->sky.x == 32);
    CHECK(scene->sky.y == 24);
    REQUIRE(stage.run_until(15));
    CHECK(scene->flare.x == -252);
    CHECK(scene->flare.y == 480);
    REQUIRE(stage.run_until(17));
    CHECK(scene->banner.x == 640 - 32 - 432);
    CHECK(scene->banner.y == 480 - 24 - 253);
    REQUIRE(stage.run_until(0));
    CHECK(scene->girl.x == -132);
    CHECK(scene->girl.y == -200);
}

TEST_CASE("single girl mode keeps one girl for ever; random mode reloads her twice a cycle")
{
    remove_installed_girls();
    install_girl(sample_girl_path("lumidoll.mir"), "lumidoll.mir");

    SUBCASE("Mode 0, and any Mode but 1 (a hand-edited 2): the same pictures, cycle after cycle")
    {
        for (int mode : {0, 2}) {
            CAPTURE(mode);
            Stage stage(mode, "lumidoll.mir");
            HBITMAP first = scene->girl.frames[0].bitmap;
            for (int half = 0; half < 6; half++) {
                REQUIRE(stage.run_until(half % 2 ? 15 : 5));
                CHECK(scene->girl.frames[0].bitmap == first);
                CHECK(scene->girl.saved != nullptr);  // she was not reloaded: her background stays
                stage.tick();
            }
            CHECK(Girl == 0);
        }
    }
    SUBCASE("Mode 1 with one module: the pick is the same girl and she is reloaded anyway")
    {
        Stage stage(1, "lumidoll.mir");
        for (int half = 0; half < 6; half++) {
            REQUIRE(stage.run_until(half % 2 ? 14 : 4));
            REQUIRE(scene->girl.saved != nullptr);
            REQUIRE(stage.run_until(half % 2 ? 15 : 5));
            CHECK(scene->girl.saved == nullptr);  // a fresh load has no saved background
            CHECK(scene->girl.frames[0].bitmap != nullptr);
            CHECK(Girl == 0);
        }
    }
}

// The ticks a girl spends coming in at the given state, in a cycle's runs.
int ticks_in(const Runs& runs, int state)
{
    for (const auto& run : runs)
        if (run.first == state)
            return run.second;
    return -1;
}

TEST_CASE("a new girl of another size comes in at her own pace, as she does alone")
{
    remove_installed_girls();
    install_girl(sample_girl_path("lumidoll.aur"), "lumidoll.aur");  // 132 x 200
    install_girl(sample_girl_path("lumidoll.mir"), "lumidoll.mir");  // 168 x 180
    std::map<int, Runs> alone;  // each girl's cycle when she is the only one, by her width
    for (const char* file : {"lumidoll.aur", "lumidoll.mir"}) {
        Stage solo(0, file);
        int width = scene->girl.width;
        alone[width] = solo.cycle();
    }
    REQUIRE(alone.size() == 2);
    Stage stage(1, "lumidoll.aur");
    seed_girl_picks(7);  // a fixed sequence of picks
    int sizes_seen = 0;
    int last_width = scene->girl.width;
    for (int change = 0; change < 12; change++) {
        // After the change at the end of each half, the new girl comes in at the other half's start.
        const int entry = change % 2 ? 0 : 10;
        REQUIRE(stage.run_until(entry));
        CAPTURE(scene->girl.width);
        int ticks = 0;
        while (scene->sequence.state == entry && ticks < 1000) {
            stage.tick();
            ticks++;
        }
        REQUIRE(alone.count(scene->girl.width) == 1);
        CHECK(ticks == ticks_in(alone[scene->girl.width], entry));
        if (scene->girl.width != last_width)
            sizes_seen++;
        last_width = scene->girl.width;
    }
    CHECK(sizes_seen > 0);
    install_sample_girls();
}

TEST_CASE("every travel step is at least one pixel on every screen size")
{
    const int girl_sizes[][2] = {{132, 200}, {168, 180}, {120, 220}, {0, 0}, {1, 1}};
    static Scene bare;
    scene = &bare;
    int checked = 0;
    for (int w = 100; w <= 7680; w += (w < 800 ? 7 : 97)) {
        for (int h = 50; h <= 4320; h += (h < 600 ? 11 : 89)) {
            for (const auto& girl : girl_sizes) {
                scene->sequence.screen_width = w;
                scene->sequence.screen_height = h;
                compute_steps(scene, girl[0], girl[1], 252, 140);
                REQUIRE(scene->sequence.gx >= 1);
                REQUIRE(scene->sequence.gy >= 1);
                REQUIRE(scene->sequence.fx >= 1);
                REQUIRE(scene->sequence.fy >= 1);
                checked++;
            }
        }
    }
    scene->sequence.screen_width = 7680;
    scene->sequence.screen_height = 4320;
    compute_steps(scene, 0, 0, 252, 140);
    CHECK(scene->sequence.gx >= 1);
    scene->sequence.screen_width = 640;
    scene->sequence.screen_height = 480;
    compute_steps(scene, 132, 200, 252, 140);
    CHECK(scene->sequence.fx == 11);
    CHECK(scene->sequence.fy == 12);
    CHECK(scene->sequence.mx == 32);
    CHECK(scene->sequence.my == 24);
    CHECK(checked > 1000);
}

TEST_CASE("what the screen shows: overlays at their corners, black elsewhere, no trails")
{
    install_sample_girls();
    Stage stage(0, "lumidoll.lyr");
    Surface& screen = stage.screen;

    SUBCASE("the sky during its hold, beside the resting girl")
    {
        REQUIRE(stage.run_until(200));
        stage.tick();
        RECT sky = rect_of(scene->sky);
        CHECK(sky.left == 276);
        CHECK(sky.top == 24);
        CHECK(screen.count_not(BLACK, sky) > 2000);
        CHECK(screen.count_not(BLACK, rect_of(scene->girl)) > 1000);
        CHECK(stray_pixels(screen, {sky, rect_of(scene->girl)}) == 0);
    }
    SUBCASE("a rising flare leaves no trail, and the faded sky is gone")
    {
        REQUIRE(stage.run_until(5));
        for (int i = 0; i < 20; i++)
            stage.tick();
        CHECK(screen.count_not(BLACK, rect_of(scene->flare)) > 1000);
        CHECK(stray_pixels(screen, {rect_of(scene->flare)}) == 0);
    }
    SUBCASE("the banner at the bottom left during its hold, and nothing else but the flare")
    {
        REQUIRE(stage.run_until(700));
        stage.tick();
        RECT banner = rect_of(scene->banner);
        CHECK(banner.left == 32);
        CHECK(banner.top == 203);
        CHECK(screen.count_not(BLACK, banner) > 5000);
        CHECK(stray_pixels(screen, {banner, rect_of(scene->flare)}) == 0);
    }
    SUBCASE("after a whole cycle only the girl, coming in again, is on the screen")
    {
        stage.cycle();
        stage.tick();
        CHECK(stray_pixels(screen, {rect_of(scene->girl)}) == 0);
    }
}

TEST_CASE("random mode without any module keeps the girl and the rhythm going")
{
    remove_installed_girls();
    Girl = 2;
    Stage stage(1, nullptr);
    CHECK(scene->girl.width == 0);
    // Worked out by hand for a girl without pictures: she has no size, steps (6, 9); she
    // falls from 0 past 240 in 27 ticks and from 243 past 480 in 27; the rest as usual.
    const Runs expected = {
        {0, 27}, {1, 5}, {2, 7}, {200, 2}, {201, 8}, {3, 5}, {4, 27},
        {5, 36}, {6, 5}, {7, 6}, {700, 4}, {701, 6}, {8, 5}, {9, 16},
        {10, 27}, {11, 5}, {12, 7}, {1200, 2}, {1201, 8}, {13, 5}, {14, 27},
        {15, 36}, {16, 5}, {17, 6}, {1700, 4}, {1701, 6}, {18, 5}, {19, 16},
    };
    CHECK(describe(stage.cycle()) == describe(expected));
    CHECK(Girl == 2);
    // The flare and the overlays still play: the banner is on the screen during its hold.
    REQUIRE(stage.run_until(700));
    stage.tick();
    CHECK(stage.screen.count_not(BLACK, rect_of(scene->banner)) > 5000);
    install_sample_girls();
}

TEST_CASE("an unknown state number makes a tick do nothing")
{
    install_sample_girls();
    Stage stage(0, "lumidoll.aur");
    for (int i = 0; i < 10; i++)
        stage.tick();
    GdiFlush();
    std::vector<uint32_t> before(stage.screen.bits, stage.screen.bits + 640 * 480);
    scene->sequence.state = 42;
    int x = scene->girl.x, y = scene->girl.y;
    stage.tick();
    GdiFlush();
    CHECK(scene->sequence.state == 42);
    CHECK(scene->girl.x == x);
    CHECK(scene->girl.y == y);
    CHECK(std::equal(before.begin(), before.end(), stage.screen.bits));
}
