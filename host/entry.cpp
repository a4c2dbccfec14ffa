// entry.cpp --- the process entry: reads the command line and runs the mode the system asked for.
#include <windows.h>
#include <commctrl.h>

#include "base/found_by_name.h"
#include "host/config_dialog.h"
#include "host/host.h"
#include "host/language.h"
#include "resources/resource_ids.h"
#include "scene/display_colours.h"

HINSTANCE app_instance;
int is_win9x;

static bool is_blank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// The command tail: what follows the program name, quoted or not, and the blanks after it.
const char* command_tail(const char* line)
{
    const char* p = line;
    if (*p == '"') {
        // A quoted name needs no blank behind it: "saver.scr"/s has the tail /s.
        do {
            p = CharNextA(p);
        } while (*p && *p != '"');
        if (*p == '"')
            p++;
    } else if (*p && !is_blank(*p)) {
        while (*p && !is_blank(*p))
            p = CharNextA(p);
    }
    while (*p && is_blank(*p))
        p = CharNextA(p);
    return p;
}

// Decimal digits from the start of the text, modulo 2^32; anything else ends the number.
unsigned parse_decimal(const char* text)
{
    unsigned value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; p++)
        value = value * 10u + static_cast<unsigned>(*p - '0');
    return value;
}

static HWND window_from_number(unsigned number)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(number));
}

static int start_preview(const char* text)
{
    unsigned number = parse_decimal(text);
    if (number == 0 || !IsWindow(window_from_number(number)))
        return -1;
    return run_saver(window_from_number(number));
}

static int start_password_change(const char* text)
{
    HWND owner = window_from_number(parse_decimal(text));
    if (!owner || !IsWindow(owner))
        owner = GetForegroundWindow();
    change_password(owner);
    return 0;
}

// The saver's manifest asks for version 6 of the common controls, which gives the dialog's
// buttons and list the system's current look. That version must be in the process before a
// dialog makes its controls (on XP the dialog could not be made otherwise), so the dialog
// loads it for as long as it runs. It is asked for by name: the manifest's choice of version
// comes before any search of folders. Without it the dialog keeps the classic look.
INT_PTR open_config_dialog(HWND owner)
{
    HMODULE controls = LoadLibraryA("COMCTL32.DLL");
    InitControlsFunction init_controls = find_function<InitControlsFunction>(controls, "InitCommonControlsEx");
    if (init_controls) {
        INITCOMMONCONTROLSEX wanted = {sizeof wanted, ICC_STANDARD_CLASSES};
        init_controls(&wanted);
    }
    // In the user's language; on the NT family a Unicode dialog, whose list shows each girl's
    // title in her own script, on the 95 family an ANSI one, in the system's code page.
    INT_PTR result = -1;
    const DLGTEMPLATE* dialog = user_dialog(IDD_CONFIG);
    const UnicodeUser* unicode = unicode_user();
    if (dialog && unicode)
        result = unicode->DialogBoxIndirectParamW(app_instance, dialog, owner, config_dialog_proc, 0);
    else if (dialog)
        result = DialogBoxIndirectParamA(app_instance, dialog, owner, config_dialog_proc, 0);
    if (result == -1)
        say_what_failed(owner, IDS_CANNOT_OPEN);
    if (controls)
        FreeLibrary(controls);
    return result;
}

static const char* skip_spaces(const char* p)
{
    while (*p == ' ')
        p++;
    return p;
}

// The first switch letter decides; blanks, '-' and '/' before it are skipped. For the preview
// and the password change, rest is the text after the letter and the blanks behind it.
SaverMode choose_mode(const char* tail, const char** rest)
{
    *rest = nullptr;
    for (const char* p = tail;; p++) {
        switch (*p) {
        case ' ':
        case '-':
        case '/':
            continue;
        case '\0':
            return MODE_CONFIG_ALONE;
        case 'S':
        case 's':
            return MODE_FULL_SCREEN;
        case 'P':
        case 'p':
        case 'L':
        case 'l':
            *rest = skip_spaces(p + 1);
            return MODE_PREVIEW;
        case 'C':
        case 'c':
            return MODE_CONFIG_OWNED;
        case 'A':
        case 'a':
            *rest = skip_spaces(p + 1);
            return MODE_PASSWORD;
        default:
            return MODE_UNUSABLE;  // tabs, other letters, control characters, bytes from 0x80 up
        }
    }
}

static int dispatch(const char* tail)
{
    const char* rest;
    switch (choose_mode(tail, &rest)) {
    case MODE_CONFIG_ALONE:
        return static_cast<int>(open_config_dialog(nullptr));
    case MODE_FULL_SCREEN:
        return run_saver(nullptr);
    case MODE_PREVIEW:
        return start_preview(rest);
    case MODE_CONFIG_OWNED:
        return static_cast<int>(open_config_dialog(GetForegroundWindow()));
    case MODE_PASSWORD:
        return is_win9x ? start_password_change(rest) : -1;
    default:
        return -1;
    }
}

// The fault guard. A fault anywhere in the chosen mode first goes to the system's own fault
// handling (its report, or a debugger); if that leaves the fault to the saver, the system is
// told that no saver runs any more before the process ends.
static LPTOP_LEVEL_EXCEPTION_FILTER outer_filter;

static LONG WINAPI fault_guard(EXCEPTION_POINTERS* fault)
{
    // Put the outer filter back first, so that the system's handling does not call us again.
    SetUnhandledExceptionFilter(outer_filter);
    LONG verdict = UnhandledExceptionFilter(fault);
    if (verdict == EXCEPTION_EXECUTE_HANDLER) {
        set_saver_running(FALSE);
        // The system's colours and its palette's static colours go back as the saver found them.
        give_back_display_colours(nullptr);
        ExitProcess(static_cast<UINT>(FAULT_EXIT_CODE));
    }
    return verdict;
}

static int saver_main(HINSTANCE instance, const char* tail)
{
    app_instance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    is_win9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;

    outer_filter = SetUnhandledExceptionFilter(fault_guard);
    int result = dispatch(tail);
    SetUnhandledExceptionFilter(outer_filter);
    return result;
}

void saver_entry()
{
    ExitProcess(static_cast<UINT>(saver_main(GetModuleHandleA(nullptr), command_tail(GetCommandLineA()))));
}
