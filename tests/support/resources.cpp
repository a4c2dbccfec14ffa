// resources.cpp --- a module's resources as the system reads them: dialog templates, string
// tables and languages, and text between UTF-16 and UTF-8.
#include "support/support.h"

#include <cstring>

std::string utf8(const std::wstring& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                     static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(length));
    return out;
}

std::wstring utf16(const std::string& text)
{
    std::wstring out(text.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                     static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(length));
    return out;
}

namespace {

// Reads a resource's words and texts in order, as the dialog manager and LoadString do.
struct ResourceReader {
    const BYTE* p;
    WORD word() { WORD w; std::memcpy(&w, p, 2); p += 2; return w; }
    DWORD dword() { DWORD d; std::memcpy(&d, p, 4); p += 4; return d; }
    short signed_word() { return static_cast<short>(word()); }
    std::string text()  // zero-terminated UTF-16
    {
        std::wstring s;
        for (WORD c = word(); c; c = word())
            s += static_cast<wchar_t>(c);
        return utf8(s);
    }
    std::string name_or_ordinal()
    {
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            word();
            return "#" + std::to_string(word());
        }
        return text();
    }
    void align() { p = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3)); }
};

const BYTE* resource_data(HMODULE module, LPCSTR type, LPCSTR name, WORD language, DWORD* size)
{
    HRSRC found = FindResourceExA(module, type, name, language);
    if (!found)
        return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

BOOL CALLBACK note_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

}  // namespace

DialogTemplate dialog_template(HMODULE module, int id, WORD language)
{
    DialogTemplate dialog;
    DWORD size = 0;
    const BYTE* data = resource_data(module, RT_DIALOG, MAKEINTRESOURCEA(id), language, &size);
    if (!data)
        return dialog;
    ResourceReader r{data};
    dialog.style = r.dword();
    dialog.ex_style = r.dword();
    const WORD controls = r.word();
    dialog.x = r.signed_word();
    dialog.y = r.signed_word();
    dialog.cx = r.signed_word();
    dialog.cy = r.signed_word();
    dialog.menu = r.name_or_ordinal();
    dialog.class_name = r.name_or_ordinal();
    dialog.caption = r.text();
    if (dialog.style & DS_SETFONT) {
        dialog.point_size = r.word();
        dialog.font = r.text();
    }
    for (WORD i = 0; i < controls; i++) {
        DialogControl control;
        r.align();
        control.style = r.dword();
        control.ex_style = r.dword();
        control.x = r.signed_word();
        control.y = r.signed_word();
        control.cx = r.signed_word();
        control.cy = r.signed_word();
        control.id = r.word();
        control.class_name = r.name_or_ordinal();
        control.text = r.name_or_ordinal();
        r.p += r.word();  // its creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

std::vector<std::string> string_block(HMODULE module, UINT id, WORD language)
{
    std::vector<std::string> strings(16);
    DWORD size = 0;
    const BYTE* data = resource_data(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language, &size);
    if (!data)
        return strings;
    ResourceReader r{data};
    for (std::string& text : strings) {
        std::wstring wide;
        for (WORD length = r.word(); length > 0; length--)
            wide += static_cast<wchar_t>(r.word());
        text = utf8(wide);
    }
    return strings;
}

WORD asked_language(WORD otherwise)
{
    char asked[16] = "";
    if (!GetEnvironmentVariableA("SKYFLARE_LANGUAGE", asked, sizeof asked))
        return otherwise;
    return static_cast<WORD>(std::strtoul(asked, nullptr, 16));
}

std::string sample_title(int girl, WORD language)
{
    HMODULE module = LoadLibraryExA(sample_girl_path(SAMPLE_GIRLS[girl]).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::string title = string_block(module, 1, language)[1];
    if (title.empty())
        title = string_block(module, 1, 0x0809)[1];
    FreeLibrary(module);
    return title;
}

std::vector<WORD> resource_languages(HMODULE module, LPCSTR type, LPCSTR name)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, name, note_language, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}
