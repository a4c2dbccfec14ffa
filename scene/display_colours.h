// display_colours.h --- the colours a display can show: the frames dithered once for a 16-colour
// display, and the system's colours while the saver takes a palette display's static colours.
#pragma once
#include <windows.h>

#include "scene/sprite.h"

enum DisplayKind {
    DISPLAY_TRUE_COLOUR,   // more than 256 colours: every colour shows as it is
    DISPLAY_256_COLOURS,   // a palette: each colour shows as the nearest of the realized palette
    DISPLAY_16_COLOURS,    // 16 colours or fewer: each shows as the nearest of the standard ones
};

// The 16 standard colours of a VGA display, black first.
extern const RGBQUAD STANDARD_COLOURS[16];

int display_kind_of(HDC dc);           // what the device behind a device context shows

// For a 16-colour display, each 8-bit frame of the sprite becomes a pattern of the standard
// colours, once, as it is loaded; for any other display nothing changes.
void dither_for_display(Sprite* sprite, int kind);

// Full screen on a palette display, the saver's palettes take the display's static colours as
// well, and meanwhile the system's own colours are black and white only, so that any window over
// the scene (the password dialog) stays readable. Taken here and given back here, both as the
// saver found them, on every way out (the window's end, a fault); a display without a palette
// has nothing to take, and giving back what was not taken does nothing.
void take_display_colours(HDC screen, HPALETTE palette);
void give_back_display_colours(HDC screen);  // the screen's own device context when null
// As the scene is set up for the display as it is now: a display that was a palette display and
// is one no more gets its colours back; any other is asked to give them (a display without a
// palette says no, and nothing changes).
void suit_display_colours(HDC screen, int kind, HPALETTE palette);
