// flags.h --- the host's flags, which every layer of the saver reads: 32-bit values in static
// storage, 0 at start, each owned (set) by one file of host/.
#pragma once
#include <windows.h>

extern HINSTANCE app_instance;  // the executable's instance; every resource is loaded through it
extern int is_win9x;            // 1 on the Windows 95 family, where the saver asks for passwords
extern int preview_mode;        // 1 while the saver runs inside the display settings' preview
extern int closing;             // nonzero once the saver may close; never cleared again
extern int checking_password;   // 1 while the password check runs
