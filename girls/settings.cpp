// settings.cpp --- reads and writes Mode and Girl in "control.ini" through the profile functions.
#include "girls/settings.h"

#include <windows.h>

#include "host/host.h"
#include "resources/resource_ids.h"

int Mode;
int Girl;
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
