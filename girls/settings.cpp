// settings.cpp --- reads and writes Mode, Girl and Screens in "control.ini" through the profile functions.
#include "girls/settings.h"

#include <windows.h>

#include "base/flags.h"
#include "resources/resource_ids.h"

int Mode;
int Girl;
int Screens;
char settings_section[40];
char settings_file[13];

void load_settings_names()
{
    LoadStringA(app_instance, IDS_SETTINGS_SECTION, settings_section, sizeof settings_section);
    LoadStringA(app_instance, IDS_SETTINGS_FILE, settings_file, sizeof settings_file);
}

void load_options()
{
    Mode = static_cast<int>(GetPrivateProfileIntA(settings_section, "Mode", 0, settings_file));
    Girl = static_cast<int>(GetPrivateProfileIntA(settings_section, "Girl", 0, settings_file));
    // A file written before the choice existed has no such key: the primary monitor alone.
    Screens = static_cast<int>(GetPrivateProfileIntA(settings_section, "Screens", 0, settings_file));
}

static void save_option(const char* key, int value)
{
    char text[12];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(settings_section, key, text, settings_file);
}

void save_options()
{
    save_option("Mode", Mode);
    save_option("Girl", Girl);
}

// The scene never changes it, so only the dialog writes it: a run of the saver leaves the
// file's lines as it found them but for Mode and Girl.
void save_screens_option()
{
    save_option("Screens", Screens);
}
