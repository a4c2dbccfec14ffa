// language.cpp --- which of its languages the saver speaks to this user, and its dialog and texts
// in that language; the NT family's Unicode USER32 functions.
#include "host/language.h"

#include "host/host.h"
#include "resources/resource_ids.h"

static const WORD FALLBACK_LANGUAGE = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

static WORD chosen_language;       // 0 until the first question
static UnicodeUser unicode;        // filled on the NT family, at the first question
static int unicode_looked_up;

typedef LANGID(WINAPI* UiLanguageFunction)();

// The language Windows chooses a program's resources by: the 95 family's resource loader goes
// by the system's language, NT 4.0's by the thread's locale (the user's, unless changed), and
// Windows 2000 and later by the user interface's language, which only they can tell.
static LANGID windows_language()
{
    if (is_win9x)
        return GetSystemDefaultLangID();
    UiLanguageFunction ui_language = reinterpret_cast<UiLanguageFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetUserDefaultUILanguage")));
    return ui_language ? ui_language() : GetUserDefaultLangID();
}

static bool has_dialog_in(WORD language)
{
    return FindResourceExA(app_instance, RT_DIALOG, MAKEINTRESOURCEA(IDD_CONFIG), language) != nullptr;
}

WORD user_language()
{
    if (chosen_language)
        return chosen_language;
    const LANGID wanted = windows_language();
    // Each of the saver's languages is kept in its main country's form, the one Windows names
    // that language's default (sublanguage 1), except Chinese: there the default is Taiwan's
    // traditional script, and Singapore writes the simplified script as China does.
    LANGID main_form = MAKELANGID(PRIMARYLANGID(wanted), SUBLANG_DEFAULT);
    if (wanted == MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE))
        main_form = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    if (has_dialog_in(wanted))
        chosen_language = wanted;
    else if (has_dialog_in(main_form))
        chosen_language = main_form;
    else
        chosen_language = FALLBACK_LANGUAGE;
    return chosen_language;
}

// A resource of the executable in the user's language, else in English (United Kingdom).
static HGLOBAL load_in_user_language(LPCSTR type, LPCSTR name, DWORD* size)
{
    HRSRC found = FindResourceExA(app_instance, type, name, user_language());
    if (!found)
        found = FindResourceExA(app_instance, type, name, FALLBACK_LANGUAGE);
    if (!found)
        return nullptr;
    *size = SizeofResource(app_instance, found);
    return LoadResource(app_instance, found);
}

const DLGTEMPLATE* user_dialog(int id)
{
    DWORD size = 0;
    HGLOBAL loaded = load_in_user_language(RT_DIALOG, MAKEINTRESOURCEA(id), &size);
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

// A string table resource holds sixteen strings, numbers 16 (n - 1) to 16 n - 1 for block n, each
// a count of UTF-16 characters and then the characters, without terminator: on every Windows,
// whatever the code page, as the resource compiler wrote them.
int user_text(UINT id, WCHAR* text, int size)
{
    text[0] = L'\0';
    DWORD bytes = 0;
    HGLOBAL loaded = load_in_user_language(RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), &bytes);
    const WORD* at = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!at)
        return 0;
    const WORD* end = at + bytes / sizeof(WORD);
    for (UINT skip = id % 16; skip > 0 && at < end; skip--)
        at += 1 + *at;
    if (at >= end)
        return 0;
    int length = *at++;
    if (length > end - at)
        length = static_cast<int>(end - at);
    if (length > size - 1)
        length = size - 1;
    for (int i = 0; i < length; i++)
        text[i] = static_cast<WCHAR>(at[i]);
    text[length] = L'\0';
    return length;
}

const UnicodeUser* unicode_user()
{
    if (is_win9x)
        return nullptr;
    if (!unicode_looked_up) {
        HMODULE user32 = GetModuleHandleA("USER32.DLL");
        unicode.DialogBoxIndirectParamW = reinterpret_cast<decltype(unicode.DialogBoxIndirectParamW)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "DialogBoxIndirectParamW")));
        unicode.SendDlgItemMessageW = reinterpret_cast<decltype(unicode.SendDlgItemMessageW)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SendDlgItemMessageW")));
        unicode.LoadStringW = reinterpret_cast<decltype(unicode.LoadStringW)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "LoadStringW")));
        unicode_looked_up = 1;
    }
    if (!unicode.DialogBoxIndirectParamW || !unicode.SendDlgItemMessageW || !unicode.LoadStringW)
        return nullptr;
    return &unicode;
}
