// display_colours.cpp --- 16-colour frames by ordered dither, and the system's colours in black
// and white while the saver's palettes hold a palette display's static colours.
#include "scene/display_colours.h"

const RGBQUAD STANDARD_COLOURS[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},     {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0},   {128, 128, 0, 0},   {128, 128, 128, 0},
    {192, 192, 192, 0}, {0, 0, 255, 0},     {0, 255, 0, 0},     {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0},   {255, 255, 255, 0},
};  // blue, green, red: black, dark red, dark green, dark yellow, dark blue, ... white

int display_kind_of(HDC dc)
{
    const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    if (bits <= 4)
        return DISPLAY_16_COLOURS;
    return bits <= 8 ? DISPLAY_256_COLOURS : DISPLAY_TRUE_COLOUR;
}

// The threshold of each pixel of an 8 x 8 tile, 0 to 63: Bayer's ordered matrix, whose levels
// spread each mix as evenly as 64 cells allow.
static const BYTE BAYER[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

// A colour as a pattern of 16 standard colours, darkest first: the pixel whose tile threshold
// is t shows the colour at t / 4, so each of the 16 is a fourth of the tile's cells, spread.
struct Mix {
    BYTE colours[16];
};

static const long long WEIGHT[3] = {3, 4, 2};  // red, green, blue: the eye's unequal sensitivity

static long long brightness(int index)
{
    const RGBQUAD& q = STANDARD_COLOURS[index];
    return WEIGHT[0] * q.rgbRed + WEIGHT[1] * q.rgbGreen + WEIGHT[2] * q.rgbBlue;
}

static long long distance_to(const long long* colour, int index)
{
    const RGBQUAD& q = STANDARD_COLOURS[index];
    const long long value[3] = {q.rgbRed, q.rgbGreen, q.rgbBlue};
    long long d = 0;
    for (int i = 0; i < 3; i++)
        d += WEIGHT[i] * (colour[i] - value[i]) * (colour[i] - value[i]);
    return d;
}

// The mix of up to 16 standard colours whose average is nearest the colour: built a colour at a
// time, each time adding the one that (as many times over as the mix has colours yet, or fewer)
// brings the average nearest. Black is the sprites' transparency: a dot of it in a figure is a
// hole through which what lies behind shows. So black is in the mix only of a colour that a
// 16-colour display shows as black anyway (the faint edge of a glow, which then fades out in
// sparse dots instead of ending in a hard-edged haze); every other colour stays a colour.
static Mix mix_for(const RGBQUAD& colour)
{
    Mix mix = {};
    if (!colour.rgbRed && !colour.rgbGreen && !colour.rgbBlue)
        return mix;  // black stays black
    const long long target[3] = {colour.rgbRed, colour.rgbGreen, colour.rgbBlue};
    int nearest = 0;
    for (int i = 1; i < 16; i++)
        if (distance_to(target, i) < distance_to(target, nearest))
            nearest = i;
    const int first_candidate = nearest == 0 ? 0 : 1;
    long long sum[3] = {0, 0, 0};
    int count = 0;
    while (count < 16) {
        long long best_error = -1, best_count = 1;
        int best = first_candidate;
        const int most = count == 0 ? 1 : (count < 16 - count ? count : 16 - count);
        for (int candidate = first_candidate; candidate < 16; candidate++) {
            const RGBQUAD& q = STANDARD_COLOURS[candidate];
            const long long value[3] = {q.rgbRed, q.rgbGreen, q.rgbBlue};
            for (int times = 1; times <= most; times++) {
                // The average's error, times the square of the mix's size (compared across sizes
                // by multiplying out, so that no division rounds).
                const long long size = count + times;
                long long error = 0;
                for (int i = 0; i < 3; i++) {
                    const long long off = sum[i] + times * value[i] - target[i] * size;
                    error += WEIGHT[i] * off * off;
                }
                const long long best_size = count + best_count;
                if (best_error < 0 || error * best_size * best_size < best_error * size * size) {
                    best_error = error;
                    best = candidate;
                    best_count = times;
                }
            }
        }
        const RGBQUAD& chosen = STANDARD_COLOURS[best];
        for (long long t = 0; t < best_count; t++) {
            mix.colours[count++] = static_cast<BYTE>(best);
            sum[0] += chosen.rgbRed;
            sum[1] += chosen.rgbGreen;
            sum[2] += chosen.rgbBlue;
        }
    }
    // Darkest first, so that the tile's thresholds spread each colour evenly over it.
    for (int i = 1; i < 16; i++)
        for (int j = i; j > 0 && brightness(mix.colours[j]) < brightness(mix.colours[j - 1]); j--) {
            BYTE swap = mix.colours[j];
            mix.colours[j] = mix.colours[j - 1];
            mix.colours[j - 1] = swap;
        }
    return mix;
}

// The mixes of the last colour table seen: a sprite's frames share one, so it is worked out once.
static RGBQUAD mixed_table[256];
static Mix mixes[256];
static int mixes_ready;

static void dither_frame(HBITMAP bitmap)
{
    DIBSECTION dib;
    if (!bitmap || GetObjectA(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 8 || !dib.dsBm.bmBits)
        return;  // only 8-bit frames: others show as the system maps them
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = memory ? SelectObject(memory, bitmap) : nullptr;
    RGBQUAD table[256] = {};
    RGBQUAD standard[256] = {};
    for (int i = 0; i < 16; i++)
        standard[i] = STANDARD_COLOURS[i];
    // A frame whose colours the system will not read or change stays as drawn, shown as the
    // system maps it: its pixels are changed only once its new colours are in place.
    if (previous && GetDIBColorTable(memory, 0, 256, table) > 0) {
        bool same = mixes_ready != 0;
        for (int i = 0; i < 256 && same; i++)
            same = table[i].rgbRed == mixed_table[i].rgbRed && table[i].rgbGreen == mixed_table[i].rgbGreen &&
                   table[i].rgbBlue == mixed_table[i].rgbBlue;
        if (!same) {
            for (int i = 0; i < 256; i++) {
                mixed_table[i] = table[i];
                mixes[i] = mix_for(table[i]);
            }
            mixes_ready = 1;
        }
        if (SetDIBColorTable(memory, 0, 256, standard) > 0) {
            GdiFlush();
            BYTE* bits = static_cast<BYTE*>(dib.dsBm.bmBits);
            const int width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight, stride = dib.dsBm.bmWidthBytes;
            const bool bottom_up = dib.dsBmih.biHeight > 0;
            // The pattern is laid from the frame's own top-left corner: it moves with the sprite and
            // is the same in every frame, so nothing shimmers.
            for (int y = 0; y < height; y++) {
                BYTE* row = bits + static_cast<long long>(bottom_up ? height - 1 - y : y) * stride;
                for (int x = 0; x < width; x++) {
                    row[x] = mixes[row[x]].colours[BAYER[y & 7][x & 7] >> 2];
                }
            }
        }
    }
    if (previous)
        SelectObject(memory, previous);
    if (memory)
        DeleteDC(memory);
}

void dither_for_display(Sprite* sprite, int kind)
{
    if (kind != DISPLAY_16_COLOURS)
        return;
    for (int i = 0; i < sprite->count; i++)
        dither_frame(sprite->frames[i].bitmap);
}

// Every system colour in black or white, in pairs that keep what lies side by side apart:
// text black on white, the active title white on black, frames black, faces white.
static const struct {
    int element;
    COLORREF colour;
} MONOCHROME[] = {
    {COLOR_SCROLLBAR, RGB(255, 255, 255)},     {COLOR_BACKGROUND, RGB(0, 0, 0)},
    {COLOR_ACTIVECAPTION, RGB(0, 0, 0)},       {COLOR_INACTIVECAPTION, RGB(255, 255, 255)},
    {COLOR_MENU, RGB(255, 255, 255)},          {COLOR_WINDOW, RGB(255, 255, 255)},
    {COLOR_WINDOWFRAME, RGB(0, 0, 0)},         {COLOR_MENUTEXT, RGB(0, 0, 0)},
    {COLOR_WINDOWTEXT, RGB(0, 0, 0)},          {COLOR_CAPTIONTEXT, RGB(255, 255, 255)},
    {COLOR_ACTIVEBORDER, RGB(255, 255, 255)},  {COLOR_INACTIVEBORDER, RGB(255, 255, 255)},
    {COLOR_APPWORKSPACE, RGB(255, 255, 255)},  {COLOR_HIGHLIGHT, RGB(0, 0, 0)},
    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}, {COLOR_BTNFACE, RGB(255, 255, 255)},
    {COLOR_BTNSHADOW, RGB(0, 0, 0)},           {COLOR_GRAYTEXT, RGB(0, 0, 0)},
    {COLOR_BTNTEXT, RGB(0, 0, 0)},             {COLOR_INACTIVECAPTIONTEXT, RGB(0, 0, 0)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},  {COLOR_3DDKSHADOW, RGB(0, 0, 0)},
    {COLOR_3DLIGHT, RGB(255, 255, 255)},       {COLOR_INFOTEXT, RGB(0, 0, 0)},
    {COLOR_INFOBK, RGB(255, 255, 255)},
    // Windows 98 and 2000 on: the link colour and the title bars' gradients.
    {COLOR_HOTLIGHT, RGB(0, 0, 0)},            {COLOR_GRADIENTACTIVECAPTION, RGB(0, 0, 0)},
    {COLOR_GRADIENTINACTIVECAPTION, RGB(255, 255, 255)},
};
static const int MONOCHROME_COUNT = sizeof MONOCHROME / sizeof MONOCHROME[0];

// What was set and what it was before, while the static colours are the saver's.
static int taken;
static int changed_count;
static int changed_elements[MONOCHROME_COUNT];
static COLORREF saved_colours[MONOCHROME_COUNT];

void take_display_colours(HDC screen, HPALETTE palette)
{
    if (taken || SetSystemPaletteUse(screen, SYSPAL_NOSTATIC) == SYSPAL_ERROR)
        return;  // taken already, or a display without a palette
    taken = 1;
    // The palette first, as Windows asks, so that the screen already shows the saver's colours.
    if (palette) {
        HPALETTE previous = SelectPalette(screen, palette, FALSE);
        RealizePalette(screen);
        SelectPalette(screen, previous, TRUE);
    }
    COLORREF monochrome[MONOCHROME_COUNT];
    changed_count = 0;
    for (int i = 0; i < MONOCHROME_COUNT; i++) {
        // An element the system does not have (Windows 95 has no gradient titles) is left out:
        // a call that named it would change nothing at all there.
        if (!GetSysColorBrush(MONOCHROME[i].element))
            continue;
        changed_elements[changed_count] = MONOCHROME[i].element;
        saved_colours[changed_count] = GetSysColor(MONOCHROME[i].element);
        monochrome[changed_count] = MONOCHROME[i].colour;
        changed_count++;
    }
    // The system tells every window of the change itself, so that each repaints in them.
    SetSysColors(changed_count, changed_elements, monochrome);
}

// What the system refuses to take back stays taken, and the next way out gives it back again
// (the saver's end tries once more after its window has gone); without a device context of the
// caller's, the screen's own is taken for it.
void give_back_display_colours(HDC screen)
{
    if (!taken)
        return;
    HDC dc = screen ? screen : GetDC(nullptr);
    const bool palette_back = SetSystemPaletteUse(dc, SYSPAL_STATIC) != SYSPAL_ERROR;
    RealizePalette(dc);
    const bool colours_back = SetSysColors(changed_count, changed_elements, saved_colours) != FALSE;
    taken = !(palette_back && colours_back);
    if (!screen && dc)
        ReleaseDC(nullptr, dc);
}

void suit_display_colours(HDC screen, int kind, HPALETTE palette)
{
    if (taken && kind != DISPLAY_256_COLOURS)
        give_back_display_colours(screen);
    else
        take_display_colours(screen, palette);
}
