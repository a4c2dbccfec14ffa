// test_resources.cpp --- the built SkyFlare.scr carries every picture, string, dialog and record it needs.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "support/support.h"

namespace {

struct Family {
    const char* prefix;
    int frames;
    int width, height;
    DWORD resource_size;
    int black_index;
};

const Family FAMILIES[] = {
    {"SKYFLARE", 17, 252, 140, 36344, 255},
    {"STARRY", 7, 332, 216, 72776, 0},
    {"URL", 6, 432, 253, 110360, 0},
};

const WORD UK_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

struct SaverFile {
    HMODULE module = LoadLibraryExA(saver_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SaverFile() { REQUIRE_MESSAGE(module != nullptr, saver_path()); }
    ~SaverFile() { FreeLibrary(module); }
};

std::string frame_name(const char* prefix, int number)
{
    return std::string(prefix) + std::to_string(number);
}

// An 8-bit picture of the saver, with its pixels and colour table in reach.
struct Picture {
    HBITMAP bitmap;
    DIBSECTION dib = {};
    RGBQUAD table[256] = {};
    Picture(HMODULE module, const std::string& name)
    {
        bitmap = static_cast<HBITMAP>(LoadImageA(module, name.c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
        REQUIRE_MESSAGE(bitmap != nullptr, name);
        REQUIRE(GetObjectA(bitmap, sizeof dib, &dib) == sizeof dib);
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        colours = GetDIBColorTable(memory, 0, 256, table);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    ~Picture() { DeleteObject(bitmap); }
    UINT colours = 0;
    int index(int x, int y) const  // rows are stored bottom-up
    {
        const auto* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
        return bits[(dib.dsBm.bmHeight - 1 - y) * dib.dsBm.bmWidthBytes + x];
    }
    uint32_t colour(int x, int y) const { return rgb_of(table[index(x, y)]); }
    double brightness() const
    {
        double sum = 0;
        for (int y = 0; y < dib.dsBm.bmHeight; y++)
            for (int x = 0; x < dib.dsBm.bmWidth; x++) {
                const RGBQUAD& q = table[index(x, y)];
                sum += q.rgbRed + q.rgbGreen + q.rgbBlue;
            }
        return sum;
    }
};

bool only_uk_english(HMODULE module, LPCSTR type, LPCSTR name)
{
    return resource_languages(module, type, name) == std::vector<WORD>{UK_ENGLISH};
}

DWORD resource_size(HMODULE module, LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceExA(module, type, name, UK_ENGLISH);
    return found ? SizeofResource(module, found) : 0;
}

// The sky's range as resources/sky-range.json lists it: its first entry, and its colours
// (0xRRGGBB) from there up to entry 255.
struct SkyRange {
    int first = 0;
    std::vector<uint32_t> colours;
};

SkyRange read_sky_range()
{
    std::string path = std::string("Z:") + SKYFLARE_SKY_RANGE;  // a Linux path, seen through Wine
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string text = read_file(path);
    // The numbers after a key, in the order written.
    auto numbers_after = [&](const char* key) {
        std::vector<int> numbers;
        size_t at = text.find(key);
        REQUIRE_MESSAGE(at != std::string::npos, key);
        for (at += std::strlen(key); at < text.size(); at++) {
            if (text[at] < '0' || text[at] > '9')
                continue;
            numbers.push_back(std::atoi(text.c_str() + at));
            while (at + 1 < text.size() && text[at + 1] >= '0' && text[at + 1] <= '9')
                at++;
        }
        return numbers;
    };
    SkyRange range;
    range.first = numbers_after("\"first\":").at(0);
    std::vector<int> rgb = numbers_after("\"colours\":");
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        range.colours.push_back(uint32_t(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]));
    REQUIRE(rgb.size() == 3 * range.colours.size());
    REQUIRE(range.first + range.colours.size() == 256);
    REQUIRE(range.colours.back() == 0xFFFFFF);
    return range;
}

}  // namespace

TEST_CASE("every sprite picture loads from the saver as an 8-bit DIB section of its family's size")
{
    SaverFile saver;
    for (const Family& family : FAMILIES) {
        for (int i = 1; i <= family.frames; i++) {
            std::string name = frame_name(family.prefix, i);
            CAPTURE(name);
            Picture picture(saver.module, name);
            CHECK(picture.dib.dsBm.bmBitsPixel == 8);
            CHECK(picture.dib.dsBm.bmWidth == family.width);
            CHECK(picture.dib.dsBm.bmHeight == family.height);
            CHECK(picture.colours == 256);
            CHECK(picture.dib.dsBmih.biClrUsed == 256);
            CHECK(picture.dib.dsBmih.biClrImportant == 256);
            CHECK(resource_size(saver.module, RT_BITMAP, name.c_str()) ==
                  family.resource_size);
            CHECK(only_uk_english(saver.module, RT_BITMAP, name.c_str()));
            // The picture sits on pure black: every pixel of its border is black.
            for (int x = 0; x < family.width; x++) {
                CHECK(picture.colour(x, 0) == BLACK);
                CHECK(picture.colour(x, family.height - 1) == BLACK);
            }
            for (int y = 0; y < family.height; y++) {
                CHECK(picture.colour(0, y) == BLACK);
                CHECK(picture.colour(family.width - 1, y) == BLACK);
            }
        }
        // No frame past the family's last.
        std::string past = frame_name(family.prefix, family.frames + 1);
        CHECK(FindResourceA(saver.module, past.c_str(), RT_BITMAP) == nullptr);
    }
}

TEST_CASE("the colour tables keep black where the drawing expects it")
{
    SaverFile saver;
    for (const Family& family : FAMILIES) {
        Picture first(saver.module, frame_name(family.prefix, 1));
        CAPTURE(family.prefix);
        CHECK(rgb_of(first.table[family.black_index]) == BLACK);
        // All frames of a family share one and the same table.
        for (int i = 2; i <= family.frames; i++) {
            Picture other(saver.module, frame_name(family.prefix, i));
            CHECK(std::memcmp(first.table, other.table, sizeof first.table) == 0);
        }
    }
    Picture flare(saver.module, "SKYFLARE1");
    CHECK(rgb_of(flare.table[0]) == 0xFFFFFF);
}

TEST_CASE("the sky is drawn in its own range alone, which every sample girl's table holds at the same entries")
{
    // While a girl dances the saver draws the sky with her palette: on a 256-colour display the
    // sky keeps its colours because her table holds them where the sky's does.
    const SkyRange sky = read_sky_range();
    CHECK(sky.first == 213);
    auto holds_range = [&](const Picture& picture) {
        bool holds = rgb_of(picture.table[0]) == BLACK;
        for (size_t i = 0; i < sky.colours.size(); i++)
            holds = holds && rgb_of(picture.table[sky.first + i]) == sky.colours[i];
        return holds;
    };
    SaverFile saver;
    for (int i = 1; i <= 7; i++) {
        Picture frame(saver.module, frame_name("STARRY", i));
        CAPTURE(i);
        CHECK(holds_range(frame));
        for (int entry = 1; entry < sky.first; entry++)
            CHECK(rgb_of(frame.table[entry]) == BLACK);  // unused: the girl's entries
        int outside = 0;
        for (int y = 0; y < 216; y++)
            for (int x = 0; x < 332; x++)
                outside += frame.index(x, y) != 0 && frame.index(x, y) < sky.first;
        CHECK(outside == 0);
    }
    for (const std::string name : SAMPLE_GIRLS) {
        HMODULE girl = LoadLibraryExA(sample_girl_path(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        REQUIRE_MESSAGE(girl != nullptr, name);
        for (int i = 1; i <= 17; i++) {
            CAPTURE(name);
            CAPTURE(i);
            CHECK(holds_range(Picture(girl, frame_name("GIRL", i))));
        }
        FreeLibrary(girl);
    }
}

TEST_CASE("every colour the banner shows is in the flare's table, whose palette draws it")
{
    SaverFile saver;
    Picture flare(saver.module, "SKYFLARE1");
    std::vector<uint32_t> flare_colours;
    for (const RGBQUAD& q : flare.table)
        flare_colours.push_back(rgb_of(q));
    std::sort(flare_colours.begin(), flare_colours.end());
    for (int i = 1; i <= 6; i++) {
        Picture banner(saver.module, frame_name("URL", i));
        CAPTURE(i);
        int outside = 0;
        for (int y = 0; y < 253; y++)
            for (int x = 0; x < 432; x++)
                outside += !std::binary_search(flare_colours.begin(), flare_colours.end(), banner.colour(x, y));
        CHECK(outside == 0);
    }
}

TEST_CASE("the sky and the banner fade from their full picture to a blank last frame")
{
    SaverFile saver;
    for (const Family& family : {FAMILIES[1], FAMILIES[2]}) {
        CAPTURE(family.prefix);
        std::vector<double> light;
        for (int i = 1; i <= family.frames; i++)
            light.push_back(Picture(saver.module, frame_name(family.prefix, i)).brightness());
        CHECK(light.front() > 0);
        for (size_t i = 1; i < light.size(); i++)
            CHECK(light[i] < light[i - 1]);
        CHECK(light.back() == 0);  // every pixel of the last frame is black
        Picture last(saver.module, frame_name(family.prefix, family.frames));
        for (int y = 0; y < family.height; y++)
            for (int x = 0; x < family.width; x++)
                if (last.index(x, y) != 0)
                    FAIL("pixel not index 0 at " << x << "," << y);
    }
}

TEST_CASE("the sixteen flare frames form a smooth cycle")
{
    SaverFile saver;
    std::vector<std::unique_ptr<Picture>> frames;
    for (int i = 1; i <= 16; i++)
        frames.push_back(std::make_unique<Picture>(saver.module, frame_name("SKYFLARE", i)));
    auto difference = [&](int a, int b) {
        long changed = 0;
        for (int y = 0; y < 140; y++)
            for (int x = 0; x < 252; x++)
                changed += frames[a]->index(x, y) != frames[b]->index(x, y);
        return changed;
    };
    std::vector<long> steps;
    for (int i = 0; i < 16; i++)
        steps.push_back(difference(i, (i + 1) % 16));  // the last step leads back to frame 1
    long smallest = *std::min_element(steps.begin(), steps.end());
    long largest = *std::max_element(steps.begin(), steps.end());
    CHECK(smallest > 0);                // it animates at every step
    CHECK(largest <= smallest * 3);     // and no step, the wrap included, jumps
}

TEST_CASE("the strings name the saver and fit the settings store's buffers")
{
    SaverFile saver;
    char section[40], file[13], description[64];
    CHECK(LoadStringA(saver.module, 1007, section, sizeof section) == 21);
    CHECK(std::string(section) == "Screen Saver.SkyFlare");
    CHECK(LoadStringA(saver.module, 1001, file, sizeof file) == 11);
    CHECK(std::string(file) == "control.ini");
    CHECK(LoadStringA(saver.module, 1, description, sizeof description) > 0);
    CHECK(std::string(description) == "Sky Flare");
    const std::pair<UINT, const char*> others[] = {
        {2, "SkyFlare"}, {1002, "ScreenSaver"},
        {1008, "Insufficient memory for help application"}, {1009, "control.hlp"}};
    for (const auto& [id, text] : others) {
        char buffer[64] = "";
        LoadStringA(saver.module, id, buffer, sizeof buffer);
        CHECK(std::string(buffer) == text);
    }
}

TEST_CASE("the version record describes SkyFlare.scr")
{
    std::string path = saver_path();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    REQUIRE(size > 0);
    std::vector<char> data(size);
    REQUIRE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    REQUIRE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    CHECK(fixed->dwFileVersionMS == MAKELONG(0, 5));
    CHECK(fixed->dwFileVersionLS == MAKELONG(1, 0));
    CHECK(fixed->dwProductVersionMS == MAKELONG(0, 1));
    CHECK(fixed->dwProductVersionLS == MAKELONG(1, 0));
    CHECK(fixed->dwFileFlagsMask == 0x3F);
    CHECK(fixed->dwFileFlags == 0);
    CHECK(fixed->dwFileOS == 0x40004);
    CHECK(fixed->dwFileType == VFT_APP);
    CHECK(fixed->dwFileSubtype == 0);
    auto text = [&](const char* field) {
        char* value = nullptr;
        UINT chars = 0;
        std::string query = std::string("\\StringFileInfo\\080904b0\\") + field;
        if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars))
            return std::string("(missing)");
        return std::string(value);
    };
    CHECK(text("FileVersion") == "5.00 Build 1");
    CHECK(text("InternalName") == "SkyFlare");
    CHECK(text("OriginalFilename") == "SkyFlare.scr");
    CHECK(text("ProductVersion") == "1.00");
    CHECK(text("ProductName") == text("FileDescription"));
    CHECK(text("CompanyName").size() > 0);
    CHECK(text("LegalCopyright").size() > 0);
    WORD* translation = nullptr;
    REQUIRE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
    CHECK(translation[0] == 0x0809);
    CHECK(translation[1] == 1200);
}

namespace {

// Reads an icon group as the system does.
struct GroupReader {
    const BYTE* p;
    WORD word() { WORD w; std::memcpy(&w, p, 2); p += 2; return w; }
    DWORD dword() { DWORD d; std::memcpy(&d, p, 4); p += 4; return d; }
};

// The languages the saver speaks: English (United Kingdom), and those in which the Windows 95
// family was sold widely, as the resource directory orders them.
const std::vector<WORD> SPOKEN = {
    MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), MAKELANGID(LANG_CZECH, SUBLANG_DEFAULT),
    MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH),
    MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN),
    MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN),
    MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH), MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT),
    MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT),
    MAKELANGID(LANG_SWEDISH, SUBLANG_SWEDISH), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
    UK_ENGLISH,
};

// The code page in which the Windows 95 family of a language keeps and shows text.
UINT ansi_code_page(WORD language)
{
    char number[8] = "";
    GetLocaleInfoA(MAKELCID(language, SORT_DEFAULT), LOCALE_IDEFAULTANSICODEPAGE, number, sizeof number);
    return static_cast<UINT>(std::atoi(number));
}

// Whether a text turns into the code page letter for letter and back, with no "?" and no
// look-alike put in for a letter the code page lacks.
bool converts_exactly(const std::string& text, UINT code_page)
{
    const std::wstring wide = utf16(text);
    if (wide.empty())
        return true;
    std::string bytes(wide.size() * 2, '\0');
    BOOL defaulted = FALSE;
    const int length = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()),
                                           &bytes[0], static_cast<int>(bytes.size()), nullptr, &defaulted);
    std::wstring back(wide.size() + 1, L'\0');
    back.resize(static_cast<size_t>(MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.c_str(), length,
                                                        &back[0], static_cast<int>(back.size()))));
    return length > 0 && !defaulted && back == wide;
}

// The access keys of a dialog's texts: the letter after each single "&", upper case.
std::vector<std::wstring> access_keys(const std::string& text)
{
    std::vector<std::wstring> keys;
    const std::wstring wide = utf16(text);
    for (size_t i = 0; i + 1 < wide.size(); i++) {
        if (wide[i] != L'&')
            continue;
        if (wide[i + 1] != L'&') {
            std::wstring key(1, wide[i + 1]);
            CharUpperW(&key[0]);
            keys.push_back(key);
        }
        i++;
    }
    return keys;
}

}  // namespace

TEST_CASE("dialog 2003 is the configuration dialog's template, control by control")
{
    SaverFile saver;
    const DialogTemplate dialog = dialog_template(saver.module, 2003, UK_ENGLISH);
    CHECK(dialog.style == (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    CHECK(dialog.ex_style == 0);
    CHECK(dialog.x == 0);
    CHECK(dialog.y == 0);
    CHECK(dialog.cx == 211);
    CHECK(dialog.cy == 111);
    CHECK(dialog.menu == "");        // no menu
    CHECK(dialog.class_name == "");  // the standard dialog class
    CHECK(dialog.caption == "Screen Glimmer");
    CHECK(dialog.point_size == 8);
    CHECK(dialog.font == "MS Sans Serif");

    // Button, combo box and static are the system classes 0x80, 0x85 and 0x82.
    const DialogControl expected[] = {
        {WS_CHILD | BS_AUTORADIOBUTTON | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, 7, 7, 47, 10, 1000, "#128", "&Single Girl"},
        {WS_CHILD | BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 83, 7, 58, 10, 1001, "#128", "&Random Girls"},
        {WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, 7, 29, 134, 53, 1002, "#133", ""},
        {WS_CHILD | BS_AUTOCHECKBOX | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, 7, 46, 197, 10, 1004, "#128", "Play on &every screen"},
        {WS_CHILD | BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 154, 7, 50, 14, 1, "#128", "OK"},
        {WS_CHILD | BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 154, 24, 50, 14, 2, "#128", "Cancel"},
        {WS_CHILD | SS_LEFT | WS_DISABLED | WS_GROUP, 0, 0, 60, 211, 50, 1003, "#130", ""},
    };
    REQUIRE(dialog.controls.size() == 7);
    for (size_t i = 0; i < dialog.controls.size(); i++) {
        const DialogControl& want = expected[i];
        const DialogControl& has = dialog.controls[i];
        CAPTURE(want.id);
        CHECK(has.style == want.style);
        CHECK(has.ex_style == 0);
        CHECK(has.x == want.x);
        CHECK(has.y == want.y);
        CHECK(has.cx == want.cx);
        CHECK(has.cy == want.cy);
        CHECK(has.id == want.id);
        CHECK(has.class_name == want.class_name);
        CHECK(has.text == want.text);
    }
    CHECK(string_block(saver.module, 1024, UK_ENGLISH)[0] == "(%s cannot be read)");
}

TEST_CASE("every language's dialog and texts come out exactly in its code page, with one access key for each choice")
{
    SaverFile saver;
    // The dialog and the translated strings are in the same languages; the names of the settings
    // file and section, and the description, are in English (United Kingdom) alone.
    CHECK(resource_languages(saver.module, RT_DIALOG, MAKEINTRESOURCEA(2003)) == SPOKEN);
    CHECK(resource_languages(saver.module, RT_STRING, MAKEINTRESOURCEA(1024 / 16 + 1)) == SPOKEN);
    for (UINT id : {1, 1001, 1008})
        CHECK(only_uk_english(saver.module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1)));
    const DialogTemplate english = dialog_template(saver.module, 2003, UK_ENGLISH);
    std::set<UINT> code_pages;
    for (WORD language : SPOKEN) {
        CAPTURE(language);
        const UINT code_page = ansi_code_page(language);
        code_pages.insert(code_page);
        const DialogTemplate dialog = dialog_template(saver.module, 2003, language);
        // What a user of this language reads, every letter of it in the code page: the caption,
        // the font's name, the controls' texts and every string of the translated block.
        std::vector<std::string> texts = {dialog.caption, dialog.font};
        for (const DialogControl& control : dialog.controls)
            texts.push_back(control.text);
        for (const std::string& text : string_block(saver.module, 1024, language))
            texts.push_back(text);
        for (const std::string& text : texts)
            CHECK_MESSAGE(converts_exactly(text, code_page), text << " in code page " << code_page);
        CHECK(string_block(saver.module, 1024, language)[0].find("%s") != std::string::npos);
        // The same controls as in English, each with a text where English has one; a double-byte
        // code page's own dialog font at 9 points, elsewhere 8.
        CHECK(dialog.style == english.style);
        CHECK(dialog.caption == english.caption);  // "Screen Glimmer" is a name
        const WORD point_size = code_page >= 932 && code_page <= 950 ? 9 : 8;
        CHECK(dialog.point_size == point_size);
        REQUIRE(dialog.controls.size() == english.controls.size());
        std::set<std::wstring> keys;
        for (size_t i = 0; i < dialog.controls.size(); i++) {
            const DialogControl& control = dialog.controls[i];
            CAPTURE(control.id);
            CHECK(control.id == english.controls[i].id);
            CHECK(control.class_name == english.controls[i].class_name);
            CHECK(control.style == english.controls[i].style);
            CHECK(control.text.empty() == english.controls[i].text.empty());
            // Each choice has one access key, the buttons none (Enter and Esc are theirs).
            const std::vector<std::wstring> own = access_keys(control.text);
            const size_t wanted = control.id >= 1000 && !control.text.empty() ? 1 : 0;
            CHECK(own.size() == wanted);
            for (const std::wstring& key : own) {
                // A letter the user types: Latin, in brackets after East Asian texts; Cyrillic in Russian.
                const bool typed = key[0] < 0x80 || PRIMARYLANGID(language) == LANG_RUSSIAN;
                CHECK_MESSAGE(typed, utf8(key));
                CHECK_MESSAGE(keys.insert(key).second, utf8(key) << " twice");
            }
        }
    }
    CHECK(code_pages == std::set<UINT>{1250, 1251, 1252, 932, 936, 949, 950});
}

TEST_CASE("icon 100 is one 32 x 32 image in 16 colours, and the logo is bitmap 144")
{
    SaverFile saver;
    HRSRC group = FindResourceExA(saver.module, RT_GROUP_ICON, MAKEINTRESOURCEA(100), UK_ENGLISH);
    REQUIRE(group != nullptr);
    GroupReader r{static_cast<const BYTE*>(LockResource(LoadResource(saver.module, group)))};
    CHECK(r.word() == 0);
    CHECK(r.word() == 1);  // an icon
    CHECK(r.word() == 1);  // with one image
    CHECK(*r.p++ == 32);
    CHECK(*r.p++ == 32);
    CHECK(*r.p++ == 16);
    r.p++;
    CHECK(r.word() == 1);
    CHECK(r.word() == 4);
    CHECK(r.dword() == 744);
    CHECK(r.word() == 1);  // the image is icon 1
    CHECK(resource_size(saver.module, RT_ICON, MAKEINTRESOURCEA(1)) == 744);

    CHECK(resource_size(saver.module, RT_BITMAP, MAKEINTRESOURCEA(144)) == 13384);
    HRSRC logo = FindResourceExA(saver.module, RT_BITMAP, MAKEINTRESOURCEA(144), UK_ENGLISH);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(saver.module, logo)));
    CHECK(header->biSize == 40);
    CHECK(header->biWidth == 320);
    CHECK(header->biHeight == 83);
    CHECK(header->biBitCount == 4);
    CHECK(header->biCompression == BI_RGB);
    CHECK(header->biClrUsed == 0);
    const uint32_t standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const auto* table = reinterpret_cast<const RGBQUAD*>(header + 1);
    for (int i = 0; i < 16; i++)
        CHECK(rgb_of(table[i]) == standard[i]);
    HICON icon = LoadIconA(saver.module, MAKEINTRESOURCEA(100));
    CHECK(icon != nullptr);
}
