// test_sprites.cpp --- sprites move and animate over a background without flicker, trails or leaks.
#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <map>
#include <set>

#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/host.h"
#include "scene/cast.h"
#include "scene/display_colours.h"
#include "scene/sequence.h"
#include "scene/sprite.h"
#include "support/support.h"
#include "tools/sweep/refusals.h"

namespace {

Scene drawing;  // the scene whose mover's palette every draw of the cases uses

// A background with a different colour at every pixel, so a wrong restore shows.
uint32_t background(int x, int y)
{
    return (uint32_t((x * 7) & 0xFF) << 16) | (uint32_t((y * 5) & 0xFF) << 8) | 0x20;
}

void paint_background(Surface& screen)
{
    GdiFlush();
    for (int y = 0; y < screen.height; y++)
        for (int x = 0; x < screen.width; x++)
            screen.bits[y * screen.width + x] = background(x, y);
}

// An 8-bit DIB section frame: index(x, y) picks from a small table, index 0 is black.
HBITMAP make_frame(int width, int height, const std::vector<uint32_t>& colours,
                   const std::function<int(int, int)>& index, int table_entries = 256)
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biClrUsed = static_cast<DWORD>(table_entries);
    for (size_t i = 0; i < colours.size(); i++) {
        info.table[i].rgbRed = BYTE(colours[i] >> 16);
        info.table[i].rgbGreen = BYTE(colours[i] >> 8);
        info.table[i].rgbBlue = BYTE(colours[i]);
    }
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    REQUIRE(bitmap != nullptr);
    int stride = (width + 3) & ~3;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            static_cast<BYTE*>(bits)[y * stride + x] = BYTE(index(x, y));
    return bitmap;
}

const std::vector<uint32_t> COLOURS = {0x000000, 0xC00000, 0x0000C0, 0x00C000};

// A sprite of test frames, made the scene's mover so its palette is at hand.
struct TestSprite {
    std::vector<SpriteFrame> frames;
    Sprite sprite = {};
    TestSprite(Surface& screen, const std::vector<HBITMAP>& bitmaps)
        : frames(bitmaps.size())
    {
        clear_sprite(&sprite);
        begin_sprite_load(&sprite, static_cast<int>(frames.size()), frames.data());
        for (size_t i = 0; i < bitmaps.size(); i++)
            frames[i].bitmap = bitmaps[i];
        finish_sprite_load(&sprite, screen.dc, DISPLAY_TRUE_COLOUR);
        drawing.sequence.mover = &sprite;
    }
    ~TestSprite()
    {
        destroy_sprite(&sprite);
        drawing.sequence.mover = nullptr;
    }
};

// Frame 0: a solid block of red; frame 1: a blue square in the middle, the rest transparent.
std::vector<HBITMAP> block_then_square(int w, int h)
{
    return {make_frame(w, h, COLOURS, [](int, int) { return 1; }),
            make_frame(w, h, COLOURS, [w, h](int x, int y) {
                return (x >= w / 4 && x < 3 * w / 4 && y >= h / 4 && y < 3 * h / 4) ? 2 : 0;
            })};
}

// Checks every pixel: inside the sprite's rectangle the background ORed with the frame,
// elsewhere the untouched background.
void check_screen_shows(const Surface& screen, int sx, int sy, int w, int h,
                        const std::function<uint32_t(int, int)>& frame_colour)
{
    GdiFlush();
    int wrong = 0;
    for (int y = 0; y < screen.height; y++)
        for (int x = 0; x < screen.width; x++) {
            uint32_t want = background(x, y);
            if (x >= sx && x < sx + w && y >= sy && y < sy + h)
                want |= frame_colour(x - sx, y - sy);
            if (screen.at(x, y) != want && wrong++ < 5)
                MESSAGE("pixel " << x << "," << y << " is " << std::hex << screen.at(x, y) << " not " << want);
        }
    CHECK(wrong == 0);
}

uint32_t red(int, int) { return 0xC00000; }

}  // namespace

TEST_CASE("a redraw in place with the next frame leaves no trace of the previous one")
{
    Surface screen(320, 240);
    paint_background(screen);
    TestSprite t(screen, block_then_square(40, 32));
    draw_sprite(&drawing, screen.dc, 100, 80, &t.sprite);
    check_screen_shows(screen, 100, 80, 40, 32, red);
    t.sprite.frame = 1;
    draw_sprite(&drawing, screen.dc, 100, 80, &t.sprite);
    check_screen_shows(screen, 100, 80, 40, 32, [](int x, int y) {
        return (x >= 10 && x < 30 && y >= 8 && y < 24) ? 0x0000C0u : 0u;
    });
}

TEST_CASE("moving a sprite leaves no trail behind it")
{
    Surface screen(320, 240);
    paint_background(screen);
    TestSprite t(screen, block_then_square(40, 32));
    draw_sprite(&drawing, screen.dc, 100, 80, &t.sprite);

    SUBCASE("a move by less than its size: the overlap shows the new frame")
    {
        t.sprite.frame = 1;
        draw_sprite(&drawing, screen.dc, 112, 87, &t.sprite);
        check_screen_shows(screen, 112, 87, 40, 32, [](int x, int y) {
            return (x >= 10 && x < 30 && y >= 8 && y < 24) ? 0x0000C0u : 0u;
        });
        CHECK(t.sprite.x == 112);
        CHECK(t.sprite.y == 87);
    }
    SUBCASE("a move by more than its size puts back the whole old rectangle")
    {
        draw_sprite(&drawing, screen.dc, 220, 180, &t.sprite);
        check_screen_shows(screen, 220, 180, 40, 32, red);
    }
    SUBCASE("a long walk in small steps, up and left, leaves only the sprite where it ends")
    {
        for (int step = 1; step <= 20; step++)
            draw_sprite(&drawing, screen.dc, 100 - 3 * step, 80 - 2 * step, &t.sprite);
        check_screen_shows(screen, 40, 40, 40, 32, red);
    }
}

TEST_CASE("a draw the system refuses a part of leaves the screen as it was, and the next draw shows the sprite")
{
    // The calls of one draw, and how many of the first can be refused without a trace; the rest
    // come once the new rectangle is shown, or give back what the draw took.
    const struct {
        const char* function;
        int calls, untouched;
    } draw_calls[] = {{"CreateCompatibleDC", 4, 4}, {"CreateCompatibleBitmap", 2, 2}, {"SelectPalette", 10, 5},
                      {"RealizePalette", 1, 1},     {"SelectObject", 8, 4},           {"BitBlt", 7, 5},
                      {"SetBkColor", 1, 0}};
    const auto square = [](int x, int y) { return (x >= 10 && x < 30 && y >= 8 && y < 24) ? 0x0000C0u : 0u; };
    Refusals refusals;
    for (const auto& calls : draw_calls)
        for (int nth = 1; nth <= calls.calls; nth++) {
            const std::string function = calls.function;
            CAPTURE(function);
            CAPTURE(nth);
            Surface screen(320, 240);
            paint_background(screen);
            {
                TestSprite t(screen, block_then_square(40, 32));
                draw_sprite(&drawing, screen.dc, 100, 80, &t.sprite);
                t.sprite.frame = 1;
                set_phase(1);
                plan_refusal(function_index(calls.function), 0, 1, nth);
                draw_sprite(&drawing, screen.dc, 112, 87, &t.sprite);
                set_phase(0);
                CHECK(refusal_made());
                if (nth <= calls.untouched)
                    check_screen_shows(screen, 100, 80, 40, 32, red);
                draw_sprite(&drawing, screen.dc, 112, 87, &t.sprite);
                check_screen_shows(screen, 112, 87, 40, 32, square);
            }
            CHECK(objects_alive().empty());
        }
}

TEST_CASE("a sprite partly or wholly outside the window draws without error")
{
    Surface screen(320, 240);
    paint_background(screen);
    TestSprite t(screen, block_then_square(40, 32));
    const POINT places[] = {{-20, -10}, {300, 225}, {-100, -100}, {1000, 1000}, {-39, 100}, {150, 239}};
    for (const POINT& place : places) {
        CAPTURE(place.x);
        CAPTURE(place.y);
        draw_sprite(&drawing, screen.dc, place.x, place.y, &t.sprite);
        check_screen_shows(screen, place.x, place.y, 40, 32, red);
    }
    draw_sprite(&drawing, screen.dc, 100, 100, &t.sprite);
    check_screen_shows(screen, 100, 100, 40, 32, red);
}

TEST_CASE("a sprite without its first picture has no size and is never drawn")
{
    Surface screen(200, 100);
    paint_background(screen);
    TestSprite t(screen, {nullptr, nullptr, nullptr});
    CHECK(t.sprite.width == 0);
    CHECK(t.sprite.height == 0);
    draw_sprite(&drawing, screen.dc, 50, 20, &t.sprite);
    check_screen_shows(screen, 0, 0, 0, 0, red);
    // It still travels, so the choreography keeps its rhythm.
    CHECK(t.sprite.x == 50);
    CHECK(t.sprite.y == 20);
    CHECK(t.sprite.saved == nullptr);
}

TEST_CASE("a frame whose picture is missing shows nothing of its own")
{
    Surface screen(200, 100);
    paint_background(screen);
    TestSprite t(screen, {make_frame(30, 20, COLOURS, [](int, int) { return 3; }), nullptr});
    draw_sprite(&drawing, screen.dc, 40, 30, &t.sprite);
    check_screen_shows(screen, 40, 30, 30, 20, [](int, int) { return 0x00C000u; });
    t.sprite.frame = 1;
    draw_sprite(&drawing, screen.dc, 50, 35, &t.sprite);
    check_screen_shows(screen, 0, 0, 0, 0, red);  // the background, all of it
}

TEST_CASE("a frame index past the last frame shows the last frame")
{
    Surface screen(200, 100);
    paint_background(screen);
    TestSprite t(screen, block_then_square(40, 32));
    t.sprite.frame = 3;  // two frames: index 1 is the last
    draw_sprite(&drawing, screen.dc, 20, 20, &t.sprite);
    check_screen_shows(screen, 20, 20, 40, 32, [](int x, int y) {
        return (x >= 10 && x < 30 && y >= 8 && y < 24) ? 0x0000C0u : 0u;
    });
}

TEST_CASE("each frame's palette is made from its own colour table, and short tables end in black")
{
    Surface screen(64, 64);
    std::vector<uint32_t> full(256);
    for (int i = 0; i < 256; i++)
        full[i] = 0x010101u * uint32_t(i) ^ 0x400000u;
    TestSprite t(screen, {make_frame(8, 8, full, [](int, int) { return 7; }),
                          make_frame(8, 8, COLOURS, [](int, int) { return 1; }, 4)});
    for (int j = 0; j < 256; j++) {
        const PALETTEENTRY& e = t.frames[0].entries[j];
        CHECK(((uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue) == full[j]);
        CHECK(e.peFlags == 0);
    }
    const PALETTEENTRY& red_entry = t.frames[1].entries[1];
    CHECK(red_entry.peRed == 0xC0);
    for (int j = 4; j < 256; j++) {
        const PALETTEENTRY& e = t.frames[1].entries[j];
        CHECK(e.peRed + e.peGreen + e.peBlue == 0);
    }
    for (const SpriteFrame& frame : t.frames) {
        REQUIRE(frame.palette != nullptr);
        PALETTEENTRY read[256];
        CHECK(GetPaletteEntries(frame.palette, 0, 256, read) == 256);
        CHECK(std::equal(read, read + 256, frame.entries, [](const PALETTEENTRY& a, const PALETTEENTRY& b) {
            return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
        }));
    }
}

struct PaletteCall {
    HDC dc;
    HPALETTE palette;  // null for a realization
    BOOL background;
};
static std::vector<PaletteCall> palette_calls;
static decltype(&SelectPalette) real_select_palette;
static decltype(&RealizePalette) real_realize_palette;
static HPALETTE WINAPI watched_select_palette(HDC dc, HPALETTE palette, BOOL background)
{
    palette_calls.push_back({dc, palette, background});
    return real_select_palette(dc, palette, background);
}
static UINT WINAPI watched_realize_palette(HDC dc)
{
    palette_calls.push_back({dc, nullptr, FALSE});
    return real_realize_palette(dc);
}

TEST_CASE("every draw uses the mover's current palette on all five contexts and puts the old ones back")
{
    Surface screen(64, 64);
    ImportSpy select("gdi32.dll", "SelectPalette", reinterpret_cast<void*>(watched_select_palette));
    ImportSpy realize("gdi32.dll", "RealizePalette", reinterpret_cast<void*>(watched_realize_palette));
    real_select_palette = reinterpret_cast<decltype(&SelectPalette)>(select.original);
    real_realize_palette = reinterpret_cast<decltype(&RealizePalette)>(realize.original);
    TestSprite mover(screen, block_then_square(16, 16));
    TestSprite other(screen, block_then_square(8, 8));
    drawing.sequence.mover = &mover.sprite;
    mover.sprite.frame = 1;
    palette_calls.clear();
    draw_sprite(&drawing, screen.dc, 10, 10, &other.sprite);  // drawn with the mover's frame 1 palette
    const HPALETTE wanted = mover.frames[1].palette;
    REQUIRE(palette_calls.size() == 11);  // five selections, one realization, five restorations
    std::map<HDC, HPALETTE> chosen;
    for (int i = 0; i < 5; i++) {
        CHECK(palette_calls[i].palette == wanted);
        CHECK(palette_calls[i].background == FALSE);
        chosen[palette_calls[i].dc] = wanted;
    }
    CHECK(chosen.size() == 5);  // the screen and four memory contexts, each once
    CHECK(chosen.count(screen.dc) == 1);
    CHECK(palette_calls[5].dc == screen.dc);  // realized on the screen
    CHECK(palette_calls[5].palette == nullptr);
    std::map<HDC, int> restored;
    for (int i = 6; i < 11; i++) {
        CHECK(palette_calls[i].palette != wanted);  // what each context had before
        CHECK(palette_calls[i].background == TRUE);
        restored[palette_calls[i].dc]++;
    }
    CHECK(restored.size() == 5);
    for (const auto& context : chosen)
        CHECK(restored[context.first] == 1);
    CHECK(GetCurrentObject(screen.dc, OBJ_PAL) != wanted);  // the screen's own palette is back

    // No mover, or a mover without frames: nothing is selected at all.
    palette_calls.clear();
    drawing.sequence.mover = nullptr;
    draw_sprite(&drawing, screen.dc, 12, 12, &other.sprite);
    CHECK(palette_calls.empty());
}

TEST_CASE("the saver's own flare crosses a real window without a trail")
{
    TestWindow window(640, 480);
    HDC dc = GetDC(window.handle);
    static SpriteFrame frames[16];
    Sprite flare;
    clear_sprite(&flare);
    load_sprite(&flare, dc, DISPLAY_TRUE_COLOUR, 16, frames, "SKYFLARE", app_instance);
    REQUIRE(flare.width == 252);
    REQUIRE(flare.height == 140);
    drawing.sequence.mover = &flare;
    Surface shown(640, 480);
    for (int step = 0; step < 12; step++) {
        flare.frame = step % 16;
        draw_sprite(&drawing, dc, 360 - 25 * step, 300 - 20 * step, &flare);
        capture_window(window.handle, shown);
        // Outside the flare's rectangle the window is black; inside, the flare shows.
        RECT inside = {flare.x, flare.y, flare.x + 252, flare.y + 140};
        int stray = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                POINT p = {x, y};
                if (!PtInRect(&inside, p) && shown.at(x, y) != BLACK)
                    stray++;
            }
        CHECK(stray == 0);
        CHECK(shown.count_not(BLACK, inside) > 1000);
    }
    ReleaseDC(window.handle, dc);
    destroy_sprite(&flare);
    drawing.sequence.mover = nullptr;
}

// Every object deletion of the saver's code, counted per handle.
static std::map<HGDIOBJ, int> deletes;
static decltype(&DeleteObject) real_delete_object;
static BOOL WINAPI counting_delete_object(HGDIOBJ object)
{
    deletes[object]++;
    return real_delete_object(object);
}

TEST_CASE("destroying the four sprites, in any order, frees each bitmap and palette exactly once")
{
    Surface screen(64, 64);
    static SpriteFrame frames[4][17];
    const char* prefixes[4] = {"SKYFLARE", "STARRY", "URL", "SKYFLARE"};
    const int counts[4] = {17, 7, 6, 16};
    const std::vector<std::vector<int>> orders = {{3, 2, 1, 0}, {0, 1, 2, 3}, {2, 0, 3, 1}};
    ImportSpy spy("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(counting_delete_object));
    real_delete_object = reinterpret_cast<decltype(&DeleteObject)>(spy.original);
    for (const std::vector<int>& order : orders) {
        Sprite sprites[4];
        std::vector<HGDIOBJ> handles[4];
        for (int s = 0; s < 4; s++) {
            clear_sprite(&sprites[s]);
            load_sprite(&sprites[s], screen.dc, DISPLAY_TRUE_COLOUR, counts[s], frames[s], prefixes[s], app_instance);
            drawing.sequence.mover = &sprites[s];
            draw_sprite(&drawing, screen.dc, 5, 5, &sprites[s]);  // so each holds a saved background too
            for (int i = 0; i < counts[s]; i++) {
                handles[s].push_back(frames[s][i].bitmap);
                handles[s].push_back(frames[s][i].palette);
            }
            handles[s].push_back(sprites[s].saved);
        }
        deletes.clear();
        for (int s : order) {
            for (HGDIOBJ handle : handles[s])
                REQUIRE(GetObjectType(handle) != 0);
            destroy_sprite(&sprites[s]);
            for (HGDIOBJ handle : handles[s])
                CHECK(GetObjectType(handle) == 0);
            CHECK(sprites[s].frames == nullptr);
            CHECK(sprites[s].saved == nullptr);
        }
        for (int s = 0; s < 4; s++)
            destroy_sprite(&sprites[s]);  // destroying again frees nothing more
        for (int s = 0; s < 4; s++)
            for (HGDIOBJ handle : handles[s])
                CHECK(deletes[handle] == 1);
        size_t deleted = 0;
        for (const auto& counted : deletes)
            deleted += static_cast<size_t>(counted.second);
        CHECK(deleted == handles[0].size() + handles[1].size() + handles[2].size() + handles[3].size());
    }
    drawing.sequence.mover = nullptr;
}

namespace {

double distance(uint32_t a, uint32_t b)
{
    const double dr = double(a >> 16 & 255) - double(b >> 16 & 255), dg = double(a >> 8 & 255) - double(b >> 8 & 255),
                 db = double(a & 255) - double(b & 255);
    return std::sqrt(dr * dr + dg * dg + db * db);
}

// The nearest of the standard colours, as a 16-colour display shows a colour it is given.
uint32_t nearest_standard(uint32_t colour)
{
    uint32_t best = 0;
    for (const RGBQUAD& q : STANDARD_COLOURS)
        if (distance(colour, rgb_of(q)) < distance(colour, best))
            best = rgb_of(q);
    return best;
}

}  // namespace

TEST_CASE("on a 16-colour display each frame becomes a steady pattern of the standard colours")
{
    install_sample_girls();
    scan_girl_modules(LANG_NEUTRAL);
    static Scene scene;
    scene.girl_index = 0;
    Sprite* cast[4] = {&scene.girl, &scene.flare, &scene.sky, &scene.banner};
    const char* names[4] = {"girl", "flare", "sky", "banner"};
    HDC screen = GetDC(nullptr);
    // Every frame as drawn, then as loaded for a 16-colour display.
    std::vector<std::vector<uint32_t>> drawn, dithered;
    std::vector<int> widths, owner;
    for (int kind : {DISPLAY_TRUE_COLOUR, DISPLAY_16_COLOURS}) {
        open_cast(&scene, screen, kind);
        for (int s = 0; s < 4; s++)
            for (int i = 0; i < cast[s]->count; i++) {
                int w, h;
                (kind == DISPLAY_TRUE_COLOUR ? drawn : dithered).push_back(pixels_of(cast[s]->frames[i].bitmap, w, h));
                if (kind == DISPLAY_TRUE_COLOUR) {
                    widths.push_back(w);
                    owner.push_back(s);
                }
            }
        close_cast(&scene);
    }
    ReleaseDC(nullptr, screen);
    REQUIRE(dithered.size() == drawn.size());
    std::set<uint32_t> standard;
    for (const RGBQUAD& q : STANDARD_COLOURS)
        standard.insert(rgb_of(q));
    double dithered_error[4] = {}, nearest_error[4] = {};
    int tiles[4] = {};
    for (size_t f = 0; f < drawn.size(); f++) {
        CAPTURE(f);
        const std::vector<uint32_t>& before = drawn[f];
        const std::vector<uint32_t>& after = dithered[f];
        const int w = widths[f], h = static_cast<int>(before.size()) / w, s = owner[f];
        int not_standard = 0, black_changed = 0, unsteady = 0;
        std::map<std::pair<uint32_t, int>, uint32_t> pattern;  // (colour, place in the tile) -> shown
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint32_t was = before[size_t(y) * w + x], now = after[size_t(y) * w + x];
                not_standard += standard.count(now) == 0;
                // Black stays black; a colour the display shows as a colour never becomes black
                // (only one it shows as black anyway may, in the sparse dots of a fading glow).
                black_changed += was == 0 ? now != 0 : now == 0 && nearest_standard(was) != 0;
                auto key = std::make_pair(was, (y & 7) * 8 + (x & 7));
                auto known = pattern.find(key);
                if (known == pattern.end())
                    pattern[key] = now;
                else
                    unsteady += known->second != now;
            }
        CHECK(not_standard == 0);
        CHECK(black_changed == 0);
        CHECK(unsteady == 0);  // one colour, one pattern, wherever it is in the frame
        // Seen from a step back (each 8 x 8 tile averaged), the pattern is the picture's colour,
        // where the nearest standard colour alone is not.
        for (int ty = 0; ty + 8 <= h; ty += 8)
            for (int tx = 0; tx + 8 <= w; tx += 8) {
                double was[3] = {}, now[3] = {}, closest[3] = {};
                bool colour = true;
                for (int y = ty; y < ty + 8; y++)
                    for (int x = tx; x < tx + 8; x++) {
                        const uint32_t b = before[size_t(y) * w + x];
                        const uint32_t n = nearest_standard(b);
                        colour = colour && n != 0;
                        for (int c = 0; c < 3; c++) {
                            was[c] += b >> (16 - 8 * c) & 255;
                            now[c] += after[size_t(y) * w + x] >> (16 - 8 * c) & 255;
                            closest[c] += n >> (16 - 8 * c) & 255;
                        }
                    }
                if (!colour)
                    continue;
                double d = 0, e = 0;
                for (int c = 0; c < 3; c++) {
                    d += (was[c] - now[c]) * (was[c] - now[c]);
                    e += (was[c] - closest[c]) * (was[c] - closest[c]);
                }
                dithered_error[s] += std::sqrt(d) / 64;
                nearest_error[s] += std::sqrt(e) / 64;
                tiles[s]++;
            }
    }
    for (int s = 0; s < 4; s++) {
        CAPTURE(std::string(names[s]));
        REQUIRE(tiles[s] > 0);
        MESSAGE("16 colours, " << std::string(names[s]) << ": " << tiles[s] << " tiles of colour, each off by "
                << dithered_error[s] / tiles[s] << " dithered, " << nearest_error[s] / tiles[s] << " as the nearest colours");
        CHECK(dithered_error[s] < nearest_error[s] / 2);
    }
}
