// sprite.cpp --- loading, palettes and overlap-safe drawing of the saver's animated pictures.
#include "scene/sprite.h"

#include "scene/display_colours.h"
#include "scene/scene.h"

void clear_sprite(Sprite* sprite)
{
    sprite->count = 0;
    sprite->frames = nullptr;
    sprite->frame = 0;
    sprite->width = 0;
    sprite->height = 0;
    sprite->saved = nullptr;
    sprite->x = 0;
    sprite->y = 0;
}

// Frame i of a sprite is the bitmap resource named prefix + i ("STARRY1", "GIRL17"), i from 1.
void load_sprite_frames(int count, SpriteFrame* frames, const char* prefix, HINSTANCE module)
{
    for (int i = 1; i <= count; i++) {
        char name[20];
        wsprintfA(name, "%s%d", prefix, i);
        frames[i - 1].bitmap = static_cast<HBITMAP>(
            LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
    }
}

// What the sprite saved of the screen under it no longer belongs there (the screen was laid
// out again): it is dropped, and the sprite's next draw takes what lies under it afresh.
void forget_background(Sprite* sprite)
{
    if (sprite->saved) {
        DeleteObject(sprite->saved);
        sprite->saved = nullptr;
    }
}

void begin_sprite_load(Sprite* sprite, int count, SpriteFrame* frames)
{
    forget_background(sprite);
    sprite->frame = 0;
    sprite->x = 0;
    sprite->y = 0;
    sprite->count = count;
    sprite->frames = frames;
}

static void build_frame_palettes(HDC screen, Sprite* sprite);

void finish_sprite_load(Sprite* sprite, HDC screen, int kind)
{
    // A sprite without its first picture has no size and is never drawn: no GDI call may be
    // given a size read from a bitmap that is not there.
    BITMAP info;
    if (sprite->count > 0 && sprite->frames[0].bitmap &&
        GetObjectA(sprite->frames[0].bitmap, sizeof info, &info) == sizeof info) {
        sprite->width = info.bmWidth;
        sprite->height = info.bmHeight;
    } else {
        sprite->width = 0;
        sprite->height = 0;
    }
    dither_for_display(sprite, kind);
    build_frame_palettes(screen, sprite);
}

void load_sprite(Sprite* sprite, HDC screen, int kind, int count, SpriteFrame* frames, const char* prefix,
                 HINSTANCE module)
{
    begin_sprite_load(sprite, count, frames);
    load_sprite_frames(count, frames, prefix, module);
    finish_sprite_load(sprite, screen, kind);
}

static void build_frame_palettes(HDC screen, Sprite* sprite)
{
    HDC memory = CreateCompatibleDC(screen);
    for (int i = 0; i < sprite->count; i++) {
        SpriteFrame* frame = &sprite->frames[i];
        // Entries the bitmap does not fill (a short table, or no bitmap at all) stay black.
        RGBQUAD table[256] = {};
        if (frame->bitmap) {
            HGDIOBJ previous = SelectObject(memory, frame->bitmap);
            GetDIBColorTable(memory, 0, 256, table);
            SelectObject(memory, previous);
        }
        for (int j = 0; j < 256; j++) {
            frame->entries[j].peRed = table[j].rgbRed;
            frame->entries[j].peGreen = table[j].rgbGreen;
            frame->entries[j].peBlue = table[j].rgbBlue;
            frame->entries[j].peFlags = 0;
        }
        struct {
            WORD version;
            WORD count;
            PALETTEENTRY entries[256];
        } logical;
        logical.version = 0x300;
        logical.count = 256;
        CopyMemory(logical.entries, frame->entries, sizeof logical.entries);
        frame->palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
    }
    DeleteDC(memory);
}

void destroy_sprite(Sprite* sprite)
{
    forget_background(sprite);
    if (sprite->frames) {
        for (int i = 0; i < sprite->count; i++) {
            if (sprite->frames[i].bitmap)
                DeleteObject(sprite->frames[i].bitmap);
            if (sprite->frames[i].palette)
                DeleteObject(sprite->frames[i].palette);
            sprite->frames[i].bitmap = nullptr;
            sprite->frames[i].palette = nullptr;
        }
    }
    clear_sprite(sprite);
}

static void capture_background(HDC screen, Sprite* sprite)
{
    if (sprite->saved)
        DeleteObject(sprite->saved);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, sprite->width, sprite->height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, sprite->width, sprite->height, screen, sprite->x, sprite->y, SRCCOPY);
    sprite->saved = bitmap;
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// The frame a draw shows: an index past the last frame (the overlays' fade-outs overshoot)
// shows the last one, so nothing past the frame array is ever read.
static const SpriteFrame* shown_frame(const Sprite* sprite)
{
    int index = sprite->frame;
    if (index >= sprite->count)
        index = sprite->count - 1;
    if (index < 0)
        index = 0;
    return &sprite->frames[index];
}

// Every sprite is drawn with the palette of the mover's current frame, looked up afresh at
// each draw, so a frame advance of the mover recolours the draws that follow it.
static HPALETTE scene_palette(const Scene* scene)
{
    const Sprite* mover = scene->sequence.mover;
    if (!mover || !mover->frames || mover->count <= 0)
        return nullptr;
    return shown_frame(mover)->palette;
}

static HPALETTE select_palette(HDC dc, HPALETTE palette, BOOL background)
{
    return palette ? SelectPalette(dc, palette, background) : nullptr;
}

void draw_sprite(const Scene* scene, HDC screen, int nx, int ny, Sprite* sprite)
{
    const int w = sprite->width, h = sprite->height;
    if (w <= 0 || h <= 0 || !sprite->frames || sprite->count <= 0) {
        // Nothing to show (a girl without pictures), but the sprite still travels, so the
        // choreography keeps its rhythm around it.
        sprite->x = nx;
        sprite->y = ny;
        return;
    }
    if (!sprite->saved)
        capture_background(screen, sprite);
    const int ox = sprite->x, oy = sprite->y;

    // S holds the frame, C the composition, N the new background, O the old background.
    HDC s = CreateCompatibleDC(screen);
    HDC c = CreateCompatibleDC(screen);
    HDC n = CreateCompatibleDC(screen);
    HDC o = CreateCompatibleDC(screen);
    SetBkColor(s, 0);
    HBITMAP new_background = CreateCompatibleBitmap(screen, w, h);
    HBITMAP composition = CreateCompatibleBitmap(screen, w, h);

    HPALETTE palette = scene_palette(scene);
    HPALETTE old_s_palette = select_palette(s, palette, FALSE);
    HPALETTE old_n_palette = select_palette(n, palette, FALSE);
    HPALETTE old_o_palette = select_palette(o, palette, FALSE);
    HPALETTE old_c_palette = select_palette(c, palette, FALSE);
    HPALETTE old_screen_palette = select_palette(screen, palette, FALSE);
    if (palette)
        RealizePalette(screen);

    // A frame whose picture failed to load shows nothing of its own: the background stays.
    HBITMAP picture = shown_frame(sprite)->bitmap;
    HGDIOBJ old_s = picture ? SelectObject(s, picture) : nullptr;
    HGDIOBJ old_n = SelectObject(n, new_background);
    HGDIOBJ old_o = SelectObject(o, sprite->saved);
    HGDIOBJ old_c = SelectObject(c, composition);

    // What the screen shows under the new rectangle, possibly with this sprite's old image...
    BitBlt(n, 0, 0, w, h, screen, nx, ny, SRCCOPY);
    // ...with the old image replaced by the background saved under it.
    BitBlt(n, ox - nx, oy - ny, w, h, o, 0, 0, SRCCOPY);
    // Where the rectangles overlap, repainting the old one must show the new picture.
    if (picture)
        BitBlt(o, nx - ox, ny - oy, w, h, s, 0, 0, SRCPAINT);
    // The new picture over its background; black pixels of the frame are transparent.
    BitBlt(c, 0, 0, w, h, n, 0, 0, SRCCOPY);
    if (picture)
        BitBlt(c, 0, 0, w, h, s, 0, 0, SRCPAINT);
    // Only two copies touch the screen: the new rectangle, then the old one.
    BitBlt(screen, nx, ny, w, h, c, 0, 0, SRCCOPY);
    BitBlt(screen, ox, oy, w, h, o, 0, 0, SRCCOPY);

    if (picture)
        SelectObject(s, old_s);
    SelectObject(n, old_n);
    SelectObject(o, old_o);
    SelectObject(c, old_c);
    if (palette) {
        SelectPalette(s, old_s_palette, TRUE);
        SelectPalette(n, old_n_palette, TRUE);
        SelectPalette(o, old_o_palette, TRUE);
        SelectPalette(c, old_c_palette, TRUE);
        SelectPalette(screen, old_screen_palette, TRUE);
    }

    DeleteObject(sprite->saved);
    sprite->saved = new_background;
    DeleteObject(composition);
    DeleteDC(s);
    DeleteDC(c);
    DeleteDC(n);
    DeleteDC(o);
    sprite->x = nx;
    sprite->y = ny;
}
