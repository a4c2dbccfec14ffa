// spies.h --- this program's own functions put in place of the system functions it imports.
#pragma once
#include <windows.h>

// Puts a function of this program's own in place of a system function it imports, for calls
// whose effect the platform does not show (Wine keeps no system palette use on true colour).
// The original is put back when the object goes.
struct ImportSpy {
    void** slot = nullptr;
    void* original = nullptr;
    ImportSpy(const char* dll, const char* function, void* replacement);
    ~ImportSpy();
};

// While it lives, this program's device contexts say they are of a display of that many bits a
// pixel, in one plane: 4 as the VGA driver of the Windows 95 family, which Xvfb has no depth for;
// 8 as a palette display, where the test's own display is not one.
struct DisplayDepth {
    ImportSpy spy;
    explicit DisplayDepth(int bits);
};
struct SixteenColourDisplay : DisplayDepth {
    SixteenColourDisplay() : DisplayDepth(4) {}
};

// While it lives, the bitmaps and palettes this program's code has made (loaded, created) and
// not yet deleted, watched through its own calls (Wine's GetGuiResources answers 0).
struct GdiWatch {
    ImportSpy image, bitmap, palette, deletion;
    GdiWatch();
    size_t alive() const;
};
