/* resource_ids.h --- numbers of the resources the saver carries, shared by the script and the code. */
#pragma once

#define IDI_SKYFLARE 100         /* the saver's icon group */
#define IDB_LOGO 144             /* the configuration dialog's logo */
#define IDD_CONFIG 2003          /* the configuration dialog */

#define IDC_SINGLE_GIRL 1000     /* radio button: one girl for the whole run */
#define IDC_RANDOM_GIRLS 1001    /* radio button: a new girl each time she leaves */
#define IDC_GIRL_LIST 1002       /* drop-down list of the installed girls' titles */
#define IDC_LOGO_PLACE 1003      /* hidden static control marking where the logo is painted */
#define IDC_EVERY_SCREEN 1004    /* check box: a scene of its own on every monitor */

#define IDS_DESCRIPTION 1        /* what the display settings list the saver as */
#define IDS_SHORT_NAME 2
#define IDS_SETTINGS_FILE 1001   /* the control panel's settings file */
#define IDS_SCREEN_SAVER 1002
#define IDS_SETTINGS_SECTION 1007
#define IDS_NO_HELP_MEMORY 1008
#define IDS_HELP_FILE 1009
/* The girl list's line for a module file that cannot be read, "%s" its name. Translated, so it
   opens a block of sixteen strings of its own (1024 to 1039): the blocks of the names above stay
   in English (United Kingdom) alone, whatever the user's language. */
#define IDS_UNREADABLE_MODULE 1024
/* What the configuration dialog could not do, said in a message box. */
#define IDS_CANNOT_SAVE 1025
#define IDS_CANNOT_OPEN 1026

#define SKYFLARE_VERSION_RESOURCE 1
