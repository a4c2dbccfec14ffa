// sequence.h --- the saver's choreography: who moves where, tick by tick, in an endless cycle.
#pragma once
#include <windows.h>

#include "scene/sprite.h"

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

extern SceneState scene;

void compute_steps(int girl_width, int girl_height, int flare_width, int flare_height);
void start_sequence();
void scene_tick(HDC screen);
