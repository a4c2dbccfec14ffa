// language.cpp --- which of its languages the saver speaks to this user, and its dialog and texts
// in that language.
#include "host/language.h"

#include "base/flags.h"
#include "base/found_by_name.h"
#include "base/string_table.h"
#include "resources/resource_ids.h"

static const WORD FALLBACK_LANGUAGE = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

static WORD chosen_language;       // 0 until the first question

// The language Windows chooses a program's resources by: the 95 family's resource loader goes
// by the system's language, NT 4.0's by the thread's locale (the user's, unless changed), and
// Windows 2000 and later by the user interface's language, which only they can tell.
static LANGID windows_language()
{
    if (is_win9x)
        return GetSystemDefaultLangID();
    const LANGID interface_language = ui_language();
    return interface_language ? interface_language : GetUserDefaultLangID();
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
static HGLOBAL load_in_user_language(LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceExA(app_instance, type, name, user_language());
    if (!found)
        found = FindResourceExA(app_instance, type, name, FALLBACK_LANGUAGE);
    return found ? LoadResource(app_instance, found) : nullptr;
}

const DLGTEMPLATE* user_dialog(int id)
{
    HGLOBAL loaded = load_in_user_language(RT_DIALOG, MAKEINTRESOURCEA(id));
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

int user_text(UINT id, WCHAR* text, int size)
{
    int length = find_string(app_instance, id, user_language(), text, size);
    if (length < 0)
        length = find_string(app_instance, id, FALLBACK_LANGUAGE, text, size);
    return length < 0 ? 0 : length;
}
