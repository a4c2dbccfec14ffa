// resources.h --- a module's resources as the system reads them, and text between UTF-16 and UTF-8.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Text the system keeps in UTF-16, as UTF-8 (how the tests write what they expect), and back.
std::string utf8(const std::wstring& text);
std::wstring utf16(const std::string& text);

// A dialog template as the dialog manager reads it (texts as UTF-8; a class or menu given by
// number as "#n"), from a module's resources in one language: empty (no controls, no caption)
// where the module has no such template in that language.
struct DialogControl {
    DWORD style = 0, ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::string class_name, text;
};
struct DialogTemplate {
    DWORD style = 0, ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, class_name, caption;
    WORD point_size = 0;
    std::string font;
    std::vector<DialogControl> controls;
};
DialogTemplate dialog_template(HMODULE module, int id, WORD language);
// The sixteen strings of the string table block that holds string `id`, in one language (as
// UTF-8; all empty where the module has no such block in that language).
std::vector<std::string> string_block(HMODULE module, UINT id, WORD language);
// The languages a module holds a resource in, in the order of its resource directory.
std::vector<WORD> resource_languages(HMODULE module, LPCSTR type, LPCSTR name);

// The language tests/in_languages.sh says this run's user must get (SKYFLARE_LANGUAGE, in
// hexadecimal), or `otherwise` when the run is not one of its.
WORD asked_language(WORD otherwise = 0);
// A sample girl's title (SAMPLE_GIRLS[girl]) in a language, where she has one, else in English.
std::string sample_title(int girl, WORD language);
