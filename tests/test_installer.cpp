// test_installer.cpp --- the x64 installer, silent: install, run, install again, uninstall.
#include "support/support.h"

namespace {

const char* const DESKTOP = "Control Panel\\Desktop";
const char* const UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SkyFlare";

std::string user_string(const char* key, const char* name)
{
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "(no key)";
    LONG found = RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return found == ERROR_SUCCESS ? value : "(none)";
}

bool uninstall_entry_exists()
{
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::string installed_saver() { return system_path("SkyFlare.scr"); }

std::string uninstaller()
{
    char programs[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramW6432%", programs, MAX_PATH);
    return std::string(programs) + "\\Sky Flare\\uninstall.exe";
}

void install()
{
    Process setup("\"" + build_path("SkyFlare-Setup-x64.exe") + "\" /S");
    REQUIRE(setup.started);
    REQUIRE(setup.wait(120000));
    CHECK(setup.exit_code() == 0);
}

void uninstall()
{
    Process remove("\"" + uninstaller() + "\" /S");
    REQUIRE(remove.started);
    REQUIRE(remove.wait(120000));
    // The uninstaller finishes from a copy of itself; wait for what it leaves behind.
    REQUIRE(wait_until([] { return !file_exists(installed_saver()) && !uninstall_entry_exists(); }, 60000));
}

bool all_installed()
{
    bool here = file_exists(installed_saver());
    for (const char* girl : SAMPLE_GIRLS)
        here = here && file_exists(system_path(girl));
    return here;
}

bool none_installed()
{
    bool gone = !file_exists(installed_saver());
    for (const char* girl : SAMPLE_GIRLS)
        gone = gone && !file_exists(system_path(girl));
    return gone;
}

// Everything an earlier test or install left is cleared away first.
void clean_system()
{
    remove_installed_girls();
    remove_path(installed_saver());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL);
    delete_user_value(DESKTOP, "SCRNSAVE.EXE");
}

}  // namespace

TEST_CASE("a silent install puts the saver and its girls in place and makes it the screen saver")
{
    clean_system();
    write_file(system_path("lumidoll.own"), "a module of the user's own");
    set_user_string(DESKTOP, "SkyFlareTestNeighbour", "left alone");
    install();
    CHECK(all_installed());
    CHECK(read_file(installed_saver()) == read_file(saver_path()));
    CHECK(read_file(system_path("lumidoll.mir")) == read_file(sample_girl_path("lumidoll.mir")));
    CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == installed_saver());
    CHECK(uninstall_entry_exists());
    CHECK(file_exists(uninstaller()));

    SUBCASE("the installed saver runs full screen and finds its girls")
    {
        SetCursorPos(320, 240);
        Process saver("\"" + installed_saver() + "\" /s");
        HWND window = nullptr;
        REQUIRE(wait_until([&] { return (window = FindWindowA("WindowsScreenSaverClass", "Screen Saver")) != nullptr; }));
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        REQUIRE(saver.wait(20000));
        CHECK(saver.exit_code() == 0);

        Process dialog_run("\"" + installed_saver() + "\" /c");
        HWND dialog = nullptr;
        REQUIRE(wait_until([&] { return (dialog = FindWindowA("#32770", "Screen Glimmer")) != nullptr; }));
        // The three sample girls and the user's own file, once the dialog has made its controls
        // and filled its list: the dialog's window is findable before its children exist.
        CHECK(wait_until([&] {
            return IsWindowVisible(dialog) && SendDlgItemMessageA(dialog, 1002, CB_GETCOUNT, 0, 0) == 4;
        }));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        REQUIRE(dialog_run.wait(20000));
        CHECK(dialog_run.exit_code() == 2);
    }
    SUBCASE("a second install over the first is clean, and the uninstall takes exactly what it put")
    {
        install();
        CHECK(all_installed());
        CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == installed_saver());
        uninstall();
        CHECK(none_installed());
        CHECK(file_exists(system_path("lumidoll.own")));
        CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == "(none)");
        CHECK(user_string(DESKTOP, "SkyFlareTestNeighbour") == "left alone");
        CHECK_FALSE(uninstall_entry_exists());
        CHECK_FALSE(file_exists(uninstaller()));
    }
    SUBCASE("the uninstall leaves the screen saver setting alone when another saver is chosen")
    {
        set_user_string(DESKTOP, "SCRNSAVE.EXE", "C:\\windows\\system32\\other.scr");
        uninstall();
        CHECK(none_installed());
        CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == "C:\\windows\\system32\\other.scr");
    }
    clean_system();
    delete_user_value(DESKTOP, "SkyFlareTestNeighbour");
    delete_user_value(DESKTOP, "SCRNSAVE.EXE");
    install_sample_girls();
}
