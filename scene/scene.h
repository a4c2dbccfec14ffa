// scene.h --- one screen's scene: where its choreography stands, its four sprites and its girl,
// and the monitor it plays on.
#pragma once
#include <windows.h>

#include "scene/sprite.h"

const int GIRL_FRAMES = 17;
const int FLARE_FRAMES = 16;     // the executable carries a 17th flare picture, never played
const int SKY_FRAMES = 7;
const int BANNER_FRAMES = 6;

// Where the choreography stands.
struct SceneState {
    int state;                   // current step of the cycle
    int hold;                    // counter of the pauses and the fade phases
    Sprite* mover;               // the girl or the flare: the sprite that travels now, and
                                 // whose current frame's palette every sprite is drawn with
    int screen_width, screen_height;
    int gx, gy;                  // girl's travel per tick
    int fx, fy;                  // flare's travel per tick
    int mx, my;                  // distance of the overlays from the screen's edges
};

// What one screen plays, and where. Each monitor that plays has one; the flare, the sky and the
// banner of every scene show the same pictures (the cast's), each scene's girl her own.
struct Scene {
    SceneState sequence;
    Sprite girl, flare, sky, banner;
    SpriteFrame girl_frames[GIRL_FRAMES];
    int girl_index;              // the girl module her pictures come from
    int display_kind;            // the display its pictures are loaded for (a DisplayKind)
    RECT screen;                 // its monitor, in screen coordinates
    int scale;                   // every pixel of the scene is shown as a scale x scale block
    // With a scale above 1 the scene draws into this picture of the monitor's logical screen,
    // and each tick shows what it changed, enlarged.
    HDC picture_dc;
    HBITMAP picture;
    HGDIOBJ picture_previous;
    int picture_unshown;         // a change the system would not show: the whole is shown next
};
