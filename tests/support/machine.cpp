// machine.cpp --- the test machine as each test sets it: paths, files, the installed girls, the
// settings file, the registry and the password stand-ins.
#include "support/support.h"

#include <fstream>
#include <sstream>

const char* const SAMPLE_GIRLS[3] = {"lumidoll.aur", "lumidoll.mir", "lumidoll.lyr"};
const char* const SAMPLE_TITLES[3] = {"Aurora, the ballerina", "Mira, the ice skater",
                                      "Lyra, the ribbon dancer"};

// The build tree is a Linux folder; Wine shows it as drive Z:.
std::string build_path(const std::string& relative)
{
    std::string path = std::string("Z:") + SKYFLARE_BUILD_DIR + "/" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string saver_path() { return build_path("SkyFlare.scr"); }
std::string sample_girl_path(const std::string& file_name) { return build_path("girl-modules/" + file_name); }

std::string system_dir()
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

std::string system_path(const std::string& file_name) { return system_dir() + "\\" + file_name; }

std::string windows_path(const std::string& file_name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + file_name;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    REQUIRE(out.good());
}

bool file_exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void remove_path(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(path.c_str());
    else
        DeleteFileA(path.c_str());
}

void remove_installed_girls()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(system_path("lumidoll.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& name : names)
        remove_path(system_path(name));
}

void install_girl(const std::string& source, const std::string& name)
{
    const std::string target = system_path(name);
    const bool copied = CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
    const DWORD error = copied ? 0 : GetLastError();
    REQUIRE_MESSAGE(copied, ("copying " + source + " to " + target + " failed with error " + std::to_string(error)));
}

void install_sample_girls()
{
    remove_installed_girls();
    for (const char* name : SAMPLE_GIRLS)
        install_girl(sample_girl_path(name), name);
}

std::string settings_path() { return windows_path("control.ini"); }

// The profile functions keep a cache of the file; flushing it makes the file on disk the truth.
static void flush_profile_cache()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "control.ini");
}

void remove_settings()
{
    flush_profile_cache();
    remove_path(settings_path());
}

void write_settings(const std::string& text)
{
    flush_profile_cache();
    write_file(settings_path(), text);
}

std::string read_settings()
{
    flush_profile_cache();
    return read_file(settings_path());
}

std::string profile_value(const char* key)
{
    flush_profile_cache();
    char value[64] = "";
    GetPrivateProfileStringA("Screen Saver.SkyFlare", key, "", value, sizeof value, "control.ini");
    return value;
}

static HKEY open_user_key(const char* key)
{
    HKEY handle = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    REQUIRE(handle != nullptr);
    return handle;
}

void set_user_string(const char* key, const char* name, const char* value)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(lstrlenA(value) + 1));
    RegCloseKey(handle);
}

void set_user_dword(const char* key, const char* name, DWORD value)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(handle);
}

void set_user_binary(const char* key, const char* name, const void* data, DWORD size)
{
    HKEY handle = open_user_key(key);
    RegSetValueExA(handle, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}

void delete_user_value(const char* key, const char* name)
{
    HKEY handle = open_user_key(key);
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

std::string fixture_path(const std::string& file_name) { return build_path("tests/fixtures/" + file_name); }

void install_password_library(const char* fixture)
{
    remove_path(system_path("PASSWORD.CPL"));
    if (fixture)
        install_girl(fixture_path(fixture), "PASSWORD.CPL");
}

void clear_stand_in_notes()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SkyFlareTests");
}

DWORD stand_in_note(const char* name)
{
    DWORD value = 0, size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\SkyFlareTests", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

void use_password(DWORD value) { set_user_dword("Control Panel\\Desktop", "ScreenSaveUsePassword", value); }

// Wine keeps the screen-saver-running state in a volatile registry value; each process caches
// what it last read through SystemParametersInfo, so the tests read the value itself.
static const char RUNNING_KEY[] = "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop";

BOOL saver_running_state()
{
    char value[8] = "0";
    DWORD size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUNNING_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "WINE_ScreenSaverRunning", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
    }
    return value[0] == '1';
}

void set_saver_running_state(BOOL running)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RUNNING_KEY, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        const char* text = running ? "1" : "0";
        RegSetValueExA(key, "WINE_ScreenSaverRunning", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2);
        RegCloseKey(key);
    }
}
