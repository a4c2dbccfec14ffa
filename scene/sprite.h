// sprite.h --- animated 256-colour pictures, drawn over the screen without flicker or trails.
#pragma once
#include <windows.h>

// One picture of a sprite, with the palette built from its own colour table.
struct SpriteFrame {
    HBITMAP bitmap;              // 8-bit DIB section; null if it could not be loaded
    PALETTEENTRY entries[256];   // the bitmap's colour table, flags 0
    HPALETTE palette;            // logical palette made from entries
};

struct Sprite {
    int count;                   // number of frames
    SpriteFrame* frames;         // the sprite's own fixed frame array (not owned by the record)
    int frame;                   // current frame, 0-based
    int width, height;           // size of the first frame; 0 x 0 when it is missing
    HBITMAP saved;               // what the screen shows under (x, y) without this sprite
    int x, y;                    // top-left corner of the last drawn rectangle
    HBITMAP owed;                // a rectangle the screen would not take back at the last draw,
    int owed_x, owed_y;          // and where: put back first at the next one
};

struct Scene;

void clear_sprite(Sprite* sprite);
void load_sprite_frames(int count, SpriteFrame* frames, const char* prefix, HINSTANCE module);
// A load in two halves, around the frames filled from wherever they come: the sprite set to its
// frame array, then its size and palettes, the frames first dithered for a display of `kind`.
void begin_sprite_load(Sprite* sprite, int count, SpriteFrame* frames);
void finish_sprite_load(Sprite* sprite, HDC screen, int kind);
void load_sprite(Sprite* sprite, HDC screen, int kind, int count, SpriteFrame* frames, const char* prefix,
                 HINSTANCE module);
void destroy_sprite(Sprite* sprite);
void forget_background(Sprite* sprite);
// Draws the sprite at (x, y), with the palette of the scene's mover.
void draw_sprite(const Scene* scene, HDC screen, int x, int y, Sprite* sprite);
