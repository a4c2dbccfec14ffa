/* translated_dialog.h --- the configuration dialog in every language but English (United
   Kingdom): the same controls in the same order, the two choices one above the other so that each
   has the whole width beside the buttons, and the logo, as ever, across the dialog's lower part.
   Its caption, "Screen Glimmer", is the dialog's name, kept in every language as "Sky Flare" is. */
#define TRANSLATED_CONFIG_DIALOG(point_size, font, single_girl, random_girls, every_screen, ok, cancel) \
IDD_CONFIG DIALOG 0, 0, 211, 114 \
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT \
CAPTION "Screen Glimmer" \
FONT point_size, font \
BEGIN \
    CONTROL single_girl, IDC_SINGLE_GIRL, 0x0080, \
            WS_CHILD | BS_AUTORADIOBUTTON | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 7, 7, 140, 10 \
    CONTROL random_girls, IDC_RANDOM_GIRLS, 0x0080, \
            WS_CHILD | BS_AUTORADIOBUTTON | WS_VISIBLE, 7, 19, 140, 10 \
    CONTROL "", IDC_GIRL_LIST, 0x0085, \
            WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 7, 33, 134, 53 \
    CONTROL every_screen, IDC_EVERY_SCREEN, 0x0080, \
            WS_CHILD | BS_AUTOCHECKBOX | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 7, 50, 197, 10 \
    CONTROL ok, IDOK, 0x0080, \
            WS_CHILD | BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 154, 7, 50, 14 \
    CONTROL cancel, IDCANCEL, 0x0080, \
            WS_CHILD | BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 154, 24, 50, 14 \
    CONTROL "", IDC_LOGO_PLACE, 0x0082, \
            WS_CHILD | SS_LEFT | WS_DISABLED | WS_GROUP | NOT WS_VISIBLE, 0, 64, 211, 50 \
END
