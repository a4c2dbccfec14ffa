// catalogue.h --- the add-on girl modules found in the system directory, and the random pick.
#pragma once
#include <windows.h>

#include "scene/sprite.h"

struct GirlModule {
    char file_name[13];          // without directory, at most 12 characters
    WCHAR title[40];             // the module's string 1, at most 39 UTF-16 characters as she
                                 // stores it (on the 95 family as its code page shows it);
                                 // empty when it could not be read
    int readable;                // 0 when the file is no module the saver can read safely
};

const int MAX_GIRL_MODULES = 50;

extern GirlModule girl_modules[MAX_GIRL_MODULES];
extern int module_count;

void scan_girl_modules();
void load_girl_frames(Sprite* sprite, int index);
void pick_random_girl();
// Starts the picks from a given seed instead of the clock, for a recording or a test that must
// see the same girls on every run.
void seed_girl_picks(unsigned seed);
