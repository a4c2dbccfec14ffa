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
    sprite->owed = nullptr;
    sprite->owed_x = 0;
    sprite->owed_y = 0;
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
    if (sprite->owed) {
        DeleteObject(sprite->owed);
        sprite->owed = nullptr;
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

// False when the system refused a part of it: nothing is kept.
static bool capture_background(HDC screen, Sprite* sprite)
{
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(screen, sprite->width, sprite->height) : nullptr;
    HGDIOBJ previous = bitmap ? SelectObject(memory, bitmap) : nullptr;
    const bool copied =
        previous && BitBlt(memory, 0, 0, sprite->width, sprite->height, screen, sprite->x, sprite->y, SRCCOPY);
    if (previous)
        SelectObject(memory, previous);
    if (memory)
        DeleteDC(memory);
    if (copied)
        sprite->saved = bitmap;
    else if (bitmap)
        DeleteObject(bitmap);
    return copied;
}

// The old rectangle that the screen would not take back at the last draw goes back first.
static bool restore_owed(HDC screen, Sprite* sprite)
{
    if (!sprite->owed)
        return true;
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = memory ? SelectObject(memory, sprite->owed) : nullptr;
    const bool restored = previous && BitBlt(screen, sprite->owed_x, sprite->owed_y, sprite->width, sprite->height,
                                             memory, 0, 0, SRCCOPY);
    if (previous)
        SelectObject(memory, previous);
    if (memory)
        DeleteDC(memory);
    if (restored) {
        DeleteObject(sprite->owed);
        sprite->owed = nullptr;
    }
    return restored;
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

// A draw's own device contexts, in the order the palette and the bitmaps are selected into them:
// S holds the frame, N the new background, O the old background, C the composition.
enum { S, N, O, C, MEMORY_DCS };

// What a draw takes from the system, and what each device context held before.
struct Draw {
    HDC screen;
    HDC dcs[MEMORY_DCS];
    HBITMAP new_background, composition;
    HPALETTE previous_palettes[MEMORY_DCS + 1];  // the screen's last
    int palettes_selected;
    HGDIOBJ previous_objects[MEMORY_DCS];
};

static HDC palette_dc(const Draw* draw, int i) { return i < MEMORY_DCS ? draw->dcs[i] : draw->screen; }

// Everything a draw needs, or false as soon as the system refuses a part of it.
static bool take(Draw* draw, const Sprite* sprite, HPALETTE palette, HBITMAP picture)
{
    for (HDC& dc : draw->dcs)
        if (!(dc = CreateCompatibleDC(draw->screen)))
            return false;
    SetBkColor(draw->dcs[S], 0);
    draw->new_background = CreateCompatibleBitmap(draw->screen, sprite->width, sprite->height);
    draw->composition = CreateCompatibleBitmap(draw->screen, sprite->width, sprite->height);
    if (!draw->new_background || !draw->composition)
        return false;
    if (palette) {
        for (int i = 0; i <= MEMORY_DCS; i++) {
            HPALETTE previous = SelectPalette(palette_dc(draw, i), palette, FALSE);
            if (!previous)
                return false;
            draw->previous_palettes[draw->palettes_selected++] = previous;
        }
        if (RealizePalette(draw->screen) == GDI_ERROR)
            return false;
    }
    // A frame whose picture failed to load shows nothing of its own: the background stays.
    const HGDIOBJ bitmaps[MEMORY_DCS] = {picture, draw->new_background, sprite->saved, draw->composition};
    for (int i = 0; i < MEMORY_DCS; i++)
        if (bitmaps[i] && !(draw->previous_objects[i] = SelectObject(draw->dcs[i], bitmaps[i])))
            return false;
    return true;
}

// Gives back what the draw took, in the reverse order, the new background where it was not kept.
static void give_back(Draw* draw)
{
    for (int i = 0; i < MEMORY_DCS; i++)
        if (draw->previous_objects[i])
            SelectObject(draw->dcs[i], draw->previous_objects[i]);
    for (int i = 0; i < draw->palettes_selected; i++)
        SelectPalette(palette_dc(draw, i), draw->previous_palettes[i], TRUE);
    for (HDC dc : draw->dcs)
        if (dc)
            DeleteDC(dc);
    if (draw->composition)
        DeleteObject(draw->composition);
    if (draw->new_background)
        DeleteObject(draw->new_background);
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
    // A draw the system refuses a part of (a device context, a bitmap, a copy) leaves the screen
    // and the background saved under the sprite as they were, the sprite where it stood: the
    // next tick draws it.
    if (!restore_owed(screen, sprite) || (!sprite->saved && !capture_background(screen, sprite)))
        return;
    const int ox = sprite->x, oy = sprite->y;
    Draw draw = {};
    draw.screen = screen;
    HBITMAP picture = shown_frame(sprite)->bitmap;
    const bool taken = take(&draw, sprite, scene_palette(scene), picture);
    HDC s = draw.dcs[S], n = draw.dcs[N], o = draw.dcs[O], c = draw.dcs[C];
    // Everything until the new rectangle is shown can be refused without a trace.
    const bool shown = taken &&
                       // What the screen shows under the new rectangle, possibly with this sprite's
                       // old image, with the old image replaced by the background saved under it.
                       BitBlt(n, 0, 0, w, h, screen, nx, ny, SRCCOPY) &&
                       BitBlt(n, ox - nx, oy - ny, w, h, o, 0, 0, SRCCOPY) &&
                       // The new picture over its background; black pixels of the frame are
                       // transparent.
                       BitBlt(c, 0, 0, w, h, n, 0, 0, SRCCOPY) &&
                       (!picture || BitBlt(c, 0, 0, w, h, s, 0, 0, SRCPAINT)) &&
                       // Only two copies touch the screen: the new rectangle, then the old one.
                       BitBlt(screen, nx, ny, w, h, c, 0, 0, SRCCOPY);
    HBITMAP old_background = sprite->saved;
    if (shown) {
        // Where the rectangles overlap, repainting the old one must show the new picture (were
        // this refused, the overlap would show the background for a tick).
        if (picture)
            BitBlt(o, nx - ox, ny - oy, w, h, s, 0, 0, SRCPAINT);
        if (!BitBlt(screen, ox, oy, w, h, o, 0, 0, SRCCOPY)) {
            sprite->owed = old_background;
            sprite->owed_x = ox;
            sprite->owed_y = oy;
            old_background = nullptr;
        }
        sprite->saved = draw.new_background;
        draw.new_background = nullptr;
        sprite->x = nx;
        sprite->y = ny;
    }
    give_back(&draw);
    if (shown && old_background)
        DeleteObject(old_background);
}
