// found_by_name.cpp --- finds the system functions that only some Windows have, once each.
#include "base/found_by_name.h"

#include "base/flags.h"

HMODULE load_system_library(const char* name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH)
        return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

// Looked up at each question: a lookup costs little, and a set found once is not trusted for
// ever after one of its functions could not be found.
const UnicodeUser* unicode_user()
{
    static UnicodeUser unicode;
    if (is_win9x)
        return nullptr;
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    unicode.DialogBoxIndirectParamW =
        find_function<decltype(unicode.DialogBoxIndirectParamW)>(user32, "DialogBoxIndirectParamW");
    unicode.SendDlgItemMessageW = find_function<decltype(unicode.SendDlgItemMessageW)>(user32, "SendDlgItemMessageW");
    unicode.LoadStringW = find_function<decltype(unicode.LoadStringW)>(user32, "LoadStringW");
    unicode.MessageBoxW = find_function<decltype(unicode.MessageBoxW)>(user32, "MessageBoxW");
    if (!unicode.DialogBoxIndirectParamW || !unicode.SendDlgItemMessageW || !unicode.LoadStringW || !unicode.MessageBoxW)
        return nullptr;
    return &unicode;
}

const MonitorUser* monitor_user()
{
    static MonitorUser monitors;
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    monitors.MonitorFromPoint = find_function<decltype(monitors.MonitorFromPoint)>(user32, "MonitorFromPoint");
    monitors.EnumDisplayMonitors = find_function<decltype(monitors.EnumDisplayMonitors)>(user32, "EnumDisplayMonitors");
    return &monitors;
}

LANGID ui_language()
{
    typedef LANGID(WINAPI * UiLanguageFunction)();
    UiLanguageFunction language =
        find_function<UiLanguageFunction>(GetModuleHandleA("KERNEL32.DLL"), "GetUserDefaultUILanguage");
    return language ? language() : 0;
}
