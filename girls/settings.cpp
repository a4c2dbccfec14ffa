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

static int names_loaded;             // without its names the file is neither read nor written
static int stored[3];                // Mode, Girl and Screens as the file holds them, as far as known
static const char* const KEYS[3] = {"Mode", "Girl", "Screens"};

void load_settings_names()
{
    names_loaded = LoadStringA(app_instance, IDS_SETTINGS_SECTION, settings_section, sizeof settings_section) > 0 &&
                   LoadStringA(app_instance, IDS_SETTINGS_FILE, settings_file, sizeof settings_file) > 0;
}

// Without the names (the system could not read them from the saver's own resources), the options
// are the defaults, as with no file at all.
void load_options()
{
    Mode = Girl = Screens = 0;
    if (names_loaded) {
        Mode = static_cast<int>(GetPrivateProfileIntA(settings_section, "Mode", 0, settings_file));
        Girl = static_cast<int>(GetPrivateProfileIntA(settings_section, "Girl", 0, settings_file));
        // A file written before the choice existed has no such key: the primary monitor alone.
        Screens = static_cast<int>(GetPrivateProfileIntA(settings_section, "Screens", 0, settings_file));
    }
    stored[0] = Mode;
    stored[1] = Girl;
    stored[2] = Screens;
}

static bool save_option(const char* key, int value)
{
    char text[12];
    wsprintfA(text, "%d", value);
    return WritePrivateProfileStringA(settings_section, key, text, settings_file) != FALSE;
}

// A run of the saver leaves the file's lines as it found them but for Mode and Girl. Where the
// system refuses a write (a full or read-only disk), the keys written before it get back what
// the file held.
bool save_options(bool with_screens)
{
    if (!names_loaded)
        return false;
    const int values[3] = {Mode, Girl, Screens};
    const int count = with_screens ? 3 : 2;
    for (int i = 0; i < count; i++) {
        if (!save_option(KEYS[i], values[i])) {
            while (i-- > 0)
                save_option(KEYS[i], stored[i]);
            return false;
        }
    }
    for (int i = 0; i < count; i++)
        stored[i] = values[i];
    return true;
}
