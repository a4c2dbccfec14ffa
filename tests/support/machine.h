// machine.h --- the test machine as each test sets it: paths, files, the installed girls, the
// settings file, the registry and the password stand-ins.
#pragma once
#include <windows.h>

#include <string>

// Where things are: the build tree (seen from Wine as drive Z:) and the prefix's folders.
std::string build_path(const std::string& relative);
std::string saver_path();
std::string sample_girl_path(const std::string& file_name);
std::string system_dir();
std::string system_path(const std::string& file_name);
std::string windows_path(const std::string& file_name);
extern const char* const SAMPLE_GIRLS[3];
extern const char* const SAMPLE_TITLES[3];

// Files.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
void remove_path(const std::string& path);  // a file, or an empty directory

// Girl modules in the system directory: every test states which are there.
void remove_installed_girls();
void install_girl(const std::string& source, const std::string& name);
void install_sample_girls();

// The control panel's settings file.
std::string settings_path();
void remove_settings();
void write_settings(const std::string& text);
std::string read_settings();
std::string profile_value(const char* key);  // "" when missing

// Registry values of the current user that tests set and clear.
void set_user_string(const char* key, const char* name, const char* value);
void set_user_dword(const char* key, const char* name, DWORD value);
void set_user_binary(const char* key, const char* name, const void* data, DWORD size);
void delete_user_value(const char* key, const char* name);

// The stand-in password libraries and what they noted (see fixtures/stand_in_registry.h).
std::string fixture_path(const std::string& file_name);
void install_password_library(const char* fixture);  // nullptr removes it
void clear_stand_in_notes();
DWORD stand_in_note(const char* name);
void use_password(DWORD value);  // "ScreenSaveUsePassword" as a number
BOOL saver_running_state();
void set_saver_running_state(BOOL running);
