// found_by_name.h --- the system functions that only some Windows have, found by name at run time,
// and the system's own libraries loaded by full path.
//
// A program that imported a function its Windows lacks would not even start there: Windows 95
// and NT 4.0 know no monitors, the 95 family's USER32 has no working Unicode dialogs, and only
// the 95 family has the password libraries. Each is asked for here, by name, and a missing one
// switches its feature off.
#pragma once
#include <windows.h>

// A function of a loaded library, as its own type; null where the library lacks it.
template <typename Function>
Function find_function(HMODULE library, const char* name)
{
    return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

// One of the system's own libraries, taken from the system directory by full path, never from
// the current directory or from beside the saver: no stray file of the same name is asked
// whether a password is right. Null when it is not there; the caller frees it.
HMODULE load_system_library(const char* name);

// The types of the functions the saver finds by name.
typedef BOOL(WINAPI* VerifyPasswordFunction)(HWND window);          // PASSWORD.CPL
typedef DWORD(WINAPI* ChangePasswordFunction)(LPCSTR provider, HWND owner, DWORD reserved1,
                                              DWORD reserved2);      // MPR.DLL
typedef HIMC(WINAPI* AssociateContextFunction)(HWND window, HIMC context);  // IMM32.DLL
typedef HRESULT(WINAPI* MonitorDpiFunction)(HMONITOR monitor, int kind, UINT* dpi_x, UINT* dpi_y);  // SHCORE.DLL
typedef BOOL(WINAPI* InitControlsFunction)(const void* controls);   // COMCTL32.DLL

// USER32's Unicode functions that the saver calls on the NT family. The 95 family's USER32 has
// at best stubs of them: there, and wherever one is missing, the set is null.
struct UnicodeUser {
    INT_PTR(WINAPI* DialogBoxIndirectParamW)(HINSTANCE, LPCDLGTEMPLATEW, HWND, DLGPROC, LPARAM);
    LRESULT(WINAPI* SendDlgItemMessageW)(HWND, int, UINT, WPARAM, LPARAM);
    int(WINAPI* LoadStringW)(HINSTANCE, UINT, LPWSTR, int);
    int(WINAPI* MessageBoxW)(HWND, LPCWSTR, LPCWSTR, UINT);
};
const UnicodeUser* unicode_user();

// The monitors, which Windows 98 and 2000 on know (each function null where missing).
struct MonitorUser {
    HMONITOR(WINAPI* MonitorFromPoint)(POINT point, DWORD flags);
    BOOL(WINAPI* EnumDisplayMonitors)(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
};
const MonitorUser* monitor_user();

// The language of Windows' own menus and dialogs (Windows 2000 on); 0 where it cannot tell.
LANGID ui_language();
