// config_dialog.cpp --- the dialog that chooses one girl or random girls, and the monitors to play
// on, with the logo below.
#include "host/config_dialog.h"

#include "base/flags.h"
#include "base/found_by_name.h"
#include "girls/catalogue.h"
#include "girls/settings.h"
#include "host/language.h"
#include "resources/resource_ids.h"
#include "scene/display_colours.h"

static HBITMAP logo_bitmap;  // loaded when the dialog opens, freed when it closes


static void free_logo()
{
    if (logo_bitmap)
        DeleteObject(logo_bitmap);
    logo_bitmap = nullptr;
}

// A line of the girl list: a title of 39 characters, or the sentence for a file that cannot be
// read with the file's name of 12 in it.
static const int UNREADABLE_SENTENCE = 80;
static const int SENTENCE = 128;  // what the dialog says in a message box, in any language
static const int LIST_LINE = UNREADABLE_SENTENCE + sizeof girl_modules[0].file_name;

// The user's language's sentence for a module that cannot be read, with its file name for "%s".
static void unreadable_line(WCHAR* line, const char* file_name)
{
    WCHAR sentence[UNREADABLE_SENTENCE];
    WCHAR name[sizeof girl_modules[0].file_name];
    user_text(IDS_UNREADABLE_MODULE, sentence, UNREADABLE_SENTENCE);
    if (!MultiByteToWideChar(CP_ACP, 0, file_name, -1, name, sizeof name / sizeof name[0]))
        name[0] = L'\0';
    int at = 0;
    for (const WCHAR* p = sentence; *p && at < LIST_LINE - 1; p++) {
        if (p[0] == L'%' && p[1] == L's') {
            for (const WCHAR* n = name; *n && at < LIST_LINE - 1; n++)
                line[at++] = *n;
            p++;
        } else {
            line[at++] = *p;
        }
    }
    line[at] = L'\0';
}

// On the NT family the list is a Unicode window and takes the line as it is; on the 95 family
// it holds text in the system's code page, into which the line is turned as Windows would.
// False when the list has no room for it.
static bool add_to_list(HWND dialog, const WCHAR* line)
{
    LRESULT added;
    if (const UnicodeUser* unicode = unicode_user()) {
        added = unicode->SendDlgItemMessageW(dialog, IDC_GIRL_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    } else {
        char shown[2 * LIST_LINE];
        if (!WideCharToMultiByte(CP_ACP, 0, line, -1, shown, sizeof shown, nullptr, nullptr))
            shown[0] = '\0';
        added = SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown));
    }
    return added != CB_ERR && added != CB_ERRSPACE;
}

// What the dialog could not do, said in a sentence in the user's language, with the system's
// message box: Unicode on the NT family, in the system's code page on the 95 family.
void say_what_failed(HWND owner, UINT sentence_id)
{
    WCHAR sentence[SENTENCE];
    user_text(sentence_id, sentence, SENTENCE);
    if (const UnicodeUser* unicode = unicode_user()) {
        unicode->MessageBoxW(owner, sentence, nullptr, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    char shown[2 * SENTENCE];
    if (!WideCharToMultiByte(CP_ACP, 0, sentence, -1, shown, sizeof shown, nullptr, nullptr))
        shown[0] = '\0';
    MessageBoxA(owner, shown, nullptr, MB_OK | MB_ICONEXCLAMATION);
}

static void enable_girl_list(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, IDC_GIRL_LIST), enable);
}

static void on_init(HWND dialog)
{
    scan_girl_modules(user_language());
    load_settings_names();
    load_options();
    CheckRadioButton(dialog, IDC_SINGLE_GIRL, IDC_RANDOM_GIRLS,
                     Mode != 0 ? IDC_RANDOM_GIRLS : IDC_SINGLE_GIRL);
    // List position i stands for module table entry i. A file the saver cannot read (damaged,
    // cut short, or no module at all) is named, so the user can tell which file to replace. A
    // list without room for a line ends there, so that every position still names its girl.
    for (int i = 0; i < module_count; i++) {
        WCHAR line[LIST_LINE];
        if (!girl_modules[i].readable)
            unreadable_line(line, girl_modules[i].file_name);
        if (!add_to_list(dialog, girl_modules[i].readable ? girl_modules[i].title : line))
            break;
    }
    SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_SETCURSEL, static_cast<WPARAM>(Girl), 0);
    // In random mode the list still shows the stored girl: the last one the saver picked.
    enable_girl_list(dialog, Mode == 0);
    CheckDlgButton(dialog, IDC_EVERY_SCREEN, Screens == 1 ? BST_CHECKED : BST_UNCHECKED);
    free_logo();
    logo_bitmap = static_cast<HBITMAP>(LoadImageA(app_instance, MAKEINTRESOURCEA(IDB_LOGO),
                                                  IMAGE_BITMAP, 0, 0,
                                                  LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
}

// The logo is stretched anew over the hidden placeholder, the dialog's whole lower part.
static void on_paint(HWND dialog)
{
    PAINTSTRUCT paint;
    BeginPaint(dialog, &paint);
    EndPaint(dialog, &paint);
    if (!logo_bitmap)
        return;  // no logo: the placeholder simply shows the dialog's background
    RECT place;
    GetWindowRect(GetDlgItem(dialog, IDC_LOGO_PLACE), &place);
    POINT corner = {place.left, place.top};
    ScreenToClient(dialog, &corner);
    HDC dc = GetDC(dialog);
    BITMAP logo;
    if (GetObjectA(logo_bitmap, sizeof logo, &logo) == sizeof logo) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, logo_bitmap);
        // Smoothly: the default mode would merge the rows and columns a shrink drops into dark
        // streaks, and enlarge in blocks. Halftone asks for the brush origin to be set after it.
        // On a 16-colour display the logo's own pixels, all of the 16 standard colours, are kept
        // as they are: halftone's in-between colours could only show as the nearest of those.
        const int mode = display_kind_of(dc) == DISPLAY_16_COLOURS ? COLORONCOLOR : HALFTONE;
        int previous_mode = SetStretchBltMode(dc, mode);
        POINT previous_origin;
        SetBrushOrgEx(dc, 0, 0, &previous_origin);
        StretchBlt(dc, corner.x, corner.y, place.right - place.left, place.bottom - place.top,
                   memory, 0, 0, logo.bmWidth, logo.bmHeight, SRCCOPY);
        SetBrushOrgEx(dc, previous_origin.x, previous_origin.y, nullptr);
        SetStretchBltMode(dc, previous_mode);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    ReleaseDC(dialog, dc);
}

static void on_ok(HWND dialog)
{
    if (IsDlgButtonChecked(dialog, IDC_SINGLE_GIRL) == BST_CHECKED) {
        Mode = 0;
        Girl = static_cast<int>(SendDlgItemMessageA(dialog, IDC_GIRL_LIST, CB_GETCURSEL, 0, 0));
    } else {
        Mode = 1;  // the girl stays as read: random mode starts from the last one shown
    }
    Screens = IsDlgButtonChecked(dialog, IDC_EVERY_SCREEN) == BST_CHECKED ? 1 : 0;
    // A choice the system will not keep is said so, and the dialog stays: the file still holds
    // the old one, and the user may try again or cancel.
    if (!save_options(true)) {
        say_what_failed(dialog, IDS_CANNOT_SAVE);
        return;
    }
    free_logo();
    EndDialog(dialog, IDOK);
}

static void on_cancel(HWND dialog)
{
    free_logo();
    EndDialog(dialog, IDCANCEL);
}

static void on_command(HWND dialog, WPARAM wparam)
{
    switch (LOWORD(wparam)) {
    case IDOK:
        on_ok(dialog);
        break;
    case IDCANCEL:
        on_cancel(dialog);
        break;
    case IDC_SINGLE_GIRL:
        enable_girl_list(dialog, TRUE);
        break;
    case IDC_RANDOM_GIRLS:
        enable_girl_list(dialog, FALSE);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        on_init(dialog);
        return TRUE;
    case WM_PAINT:
        on_paint(dialog);
        return TRUE;
    case WM_COMMAND:
        on_command(dialog, wparam);
        return TRUE;
    case WM_DESTROY:
        // However the dialog goes (OK, Cancel, or its owner closing it), the logo goes too.
        free_logo();
        return FALSE;
    default:
        return FALSE;
    }
}
