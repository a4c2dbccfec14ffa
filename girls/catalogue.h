// catalogue.h --- the add-on girl modules found in the system directory, what each holds, and the
// random pick.
#pragma once
#include <windows.h>

#include "girls/module_guard.h"

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

// Finds the modules afresh, each with her title in `language` where she has one (else in
// English, or as the system picks); LANG_NEUTRAL for the system's own pick.
void scan_girl_modules(WORD language);
// Runs read(module, context) on the module of table entry `index`, opened as data for just that
// long, under the module guard. False when the read faulted half way, so that nothing it made is
// to be trusted; true when it went through, and when the index names no module (nothing read).
bool load_girl_frames(int index, ModuleRead read, void* context);
// A random index below the module count; `current` when there is no module to choose from.
int pick_random_girl(int current);
// Starts the picks from a given seed instead of the clock, for a recording or a test that must
// see the same girls on every run.
void seed_girl_picks(unsigned seed);
