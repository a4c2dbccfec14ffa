// test_installer.cpp --- this target's installer: install, run, install again, uninstall; the
// 32-bit one on 64-bit Windows, where the system must find the saver in SysWOW64, and on the
// Windows 95 family, which chooses its screen saver in SYSTEM.INI.
#include "support/support.h"

#include <imagehlp.h>

namespace {

const char* const DESKTOP = "Control Panel\\Desktop";
const char* const UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SkyFlare";
const char* const INI_MAPPING = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\control.ini";
const char* const SECTION = "Screen Saver.SkyFlare";
const char* const MAPPING = "USR:Control Panel\\Screen Saver.SkyFlare";
const char* const USER_SETTINGS = "Control Panel\\Screen Saver.SkyFlare";

std::string registry_string(HKEY root, const char* key, const char* name)
{
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "(no key)";
    LONG found = RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return found == ERROR_SUCCESS ? value : "(none)";
}

std::string user_string(const char* key, const char* name) { return registry_string(HKEY_CURRENT_USER, key, name); }
std::string machine_string(const char* key, const char* name) { return registry_string(HKEY_LOCAL_MACHINE, key, name); }

// A program's version as its own version record says it.
std::string product_version(const std::string& path)
{
    std::vector<char> record(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    char* value = nullptr;
    UINT chars = 0;
    if (record.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
        !VerQueryValueA(record.data(), "\\StringFileInfo\\080904b0\\ProductVersion", reinterpret_cast<void**>(&value),
                        &chars))
        return "(none)";
    return value;
}

DWORD pe_time_stamp(const std::string& path)
{
    const std::string file = read_file(path);
    REQUIRE(file.size() > sizeof(IMAGE_DOS_HEADER));
    const LONG header = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data())->e_lfanew;
    REQUIRE(file.size() > header + sizeof(IMAGE_NT_HEADERS32));
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + header)->FileHeader.TimeDateStamp;
}

bool uninstall_entry_exists()
{
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// The section's mapping in a view of the machine's registry (0: this program's own, which is
// the view its saver reads), and how many values the mapping key holds.
std::string mapping_in(REGSAM view, DWORD* values = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, INI_MAPPING, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return "(no key)";
    char data[MAX_PATH] = "";
    DWORD size = sizeof data;
    LONG found = RegQueryValueExA(key, SECTION, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    if (values)
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, values, nullptr, nullptr,
                         nullptr, nullptr);
    RegCloseKey(key);
    return found == ERROR_SUCCESS ? data : "(none)";
}

void set_mapping(const char* data)
{
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, INI_MAPPING, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS);
    if (data)
        RegSetValueExA(key, SECTION, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), lstrlenA(data) + 1);
    else
        RegDeleteValueA(key, SECTION);
    RegCloseKey(key);
}

// A 32-bit program on 64-bit Windows: the test of the 32-bit installer there.
bool on_64bit_windows_as_32bit()
{
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    return wow != FALSE;
}

// Where this program sees the installed saver (for a 32-bit program on 64-bit Windows the
// system directory is redirected to SysWOW64).
std::string installed_saver() { return system_path("SkyFlare.scr"); }

// Where the system, of its own bitness, finds the saver: the path the setting must name.
std::string saver_for_the_system()
{
    if (!on_64bit_windows_as_32bit())
        return installed_saver();
    char dir[MAX_PATH] = "";
    GetSystemWow64DirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\SkyFlare.scr";
}

std::string lower(std::string text)
{
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// While it lives, this program sees the files as the 64-bit system does: System32 unredirected.
struct SystemView {
    void* redirection = nullptr;
    bool off = on_64bit_windows_as_32bit() && Wow64DisableWow64FsRedirection(&redirection);
    ~SystemView()
    {
        if (off)
            Wow64RevertWow64FsRedirection(redirection);
    }
};

std::string install_folder()
{
    char programs[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramFiles%", programs, MAX_PATH);
    return std::string(programs) + "\\Sky Flare";
}

std::string uninstaller() { return install_folder() + "\\uninstall.exe"; }

// The saver the setup carries: the build's, signed when the release is.
std::string carried_saver() { return build_path("installer/payload/SkyFlare.scr"); }

std::string setup_path()
{
    return build_path(sizeof(void*) == 8 ? "SkyFlare-Setup-x64.exe" : "SkyFlare-Setup-x86.exe");
}

void install()
{
    Process setup("\"" + setup_path() + "\" /S");
    REQUIRE(setup.started);
    REQUIRE(setup.wait(120000));
    CHECK(setup.exit_code() == 0);
}

void uninstall()
{
    Process remove("\"" + uninstaller() + "\" /S");
    REQUIRE(remove.started);
    REQUIRE(remove.wait(120000));
    // The uninstaller finishes from a copy of itself; wait for what it does last, deleting the
    // uninstaller it was copied from.
    REQUIRE(wait_until([] {
        return !file_exists(installed_saver()) && !uninstall_entry_exists() && !file_exists(uninstaller());
    }, 60000));
    // Nothing of it stays in Program Files: its folder goes with the uninstaller.
    CHECK_MESSAGE(wait_until([] { return !file_exists(install_folder()); }, 10000), install_folder());
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
    delete_user_value(DESKTOP, "SkyFlareTestNeighbour");
    set_mapping(nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, USER_SETTINGS);
    remove_settings();
}

// The system as the other tests expect it, whatever the installer tests leave or how they end.
struct CleanSystem {
    CleanSystem() { clean_system(); }
    ~CleanSystem()
    {
        clean_system();
        install_sample_girls();
    }
};

// Wine's profile functions take the mapping from the 64-bit registry view for 32-bit programs
// too, where Windows gives a 32-bit program on 64-bit Windows the 32-bit view, in which the x86
// installer writes it: under Wine that saver's choices stay in control.ini.
bool wine_maps_for_this_saver() { return !on_64bit_windows_as_32bit(); }

// The registry view of the other bitness, where there is one: 0 on 32-bit Windows.
REGSAM other_view()
{
    if (sizeof(void*) == 8)
        return KEY_WOW64_32KEY;
    return on_64bit_windows_as_32bit() ? KEY_WOW64_64KEY : 0;
}

struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK match_question(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && GetDlgItem(window, IDYES)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The yes-or-no question a process asks, once it is on the screen.
HWND question_of(const Process& asker)
{
    WindowSearch search = {asker.info.dwProcessId, nullptr};
    EnumWindows(match_question, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK note_longest_text(HWND child, LPARAM param)
{
    WCHAR text[1024] = L"";
    GetWindowTextW(child, text, 1024);
    auto* longest = reinterpret_cast<std::wstring*>(param);
    if (std::wstring(text).size() > longest->size())
        *longest = text;
    return TRUE;
}

// What a message box says: its longest text (as UTF-8).
std::string text_of(HWND question)
{
    std::wstring longest;
    EnumChildWindows(question, note_longest_text, reinterpret_cast<LPARAM>(&longest));
    return utf8(longest);
}

std::string image_of_window(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    if (process) {
        QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

// The Windows 95 family's chosen screen saver: SYSTEM.INI's [boot] SCRNSAVE.EXE. Wine maps no
// section of SYSTEM.INI to the registry, so the profile functions read and write the file itself,
// as on that family.
std::string boot_saver()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
    char value[MAX_PATH] = "";
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "(none)", value, MAX_PATH, "system.ini");
    return value;
}

void set_boot_saver(const char* path)  // nullptr: none chosen
{
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", path, "system.ini");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
}

// How many SCRNSAVE.EXE keys SYSTEM.INI holds.
int boot_entries()
{
    const std::string text = lower(read_file(windows_path("system.ini")));
    int count = 0;
    for (size_t at = text.find("scrnsave.exe="); at != std::string::npos; at = text.find("scrnsave.exe=", at + 1))
        ++count;
    return count;
}

// The screen saver's on-off switch as SystemParametersInfo keeps it: Windows 95 in WIN.INI's
// [windows] section, Wine in this value. (Wine answers that function's question from the X
// display's own screen saver instead, which a program's change reaches only if the program
// talks to the display again before it ends, as a setup does not.)
std::string kept_switch() { return user_string(DESKTOP, "ScreenSaveActive"); }

void set_screen_saver_switch(BOOL on)
{
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on, nullptr, SPIF_UPDATEINIFILE);
}

// While it lives, the setup, its uninstaller, the copy of itself the uninstaller finishes from
// (NSIS names it Un.exe) and the saver are told they run on the Windows 95 family; SYSTEM.INI
// and the switch are as they were afterwards.
struct As95Family {
    std::vector<std::string> keys;
    std::string boot_before = read_file(windows_path("system.ini"));
    std::string switch_before = kept_switch();
    explicit As95Family(const char* version)
    {
        const std::string setup = setup_path().substr(setup_path().rfind('\\') + 1);
        for (const std::string& name : {setup, std::string("uninstall.exe"), std::string("Un.exe"),
                                        std::string("SkyFlare.scr")}) {
            keys.push_back("Software\\Wine\\AppDefaults\\" + name);
            set_user_string(keys.back().c_str(), "Version", version);
        }
    }
    ~As95Family()
    {
        for (const std::string& key : keys)
            RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
        write_file(windows_path("system.ini"), boot_before);
        set_screen_saver_switch(switch_before != "0");
    }
};

// The functions a 32-bit program imports by name, as "DLL:Function", read from its file.
std::vector<std::string> imports_of(const std::string& path)
{
    const std::string file = read_file(path);
    REQUIRE(file.size() > sizeof(IMAGE_DOS_HEADER));
    auto at = [&](size_t offset) { return file.data() + offset; };
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0))->e_lfanew));
    REQUIRE(nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto offset_of = [&](DWORD rva) {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return static_cast<size_t>(rva - sections[i].VirtualAddress + sections[i].PointerToRawData);
        FAIL("an address outside the file's sections");
        return static_cast<size_t>(0);
    };
    std::vector<std::string> names;
    const DWORD directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset_of(directory))); library->Name;
         ++library) {
        const std::string dll = at(offset_of(library->Name));
        const DWORD list = library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        for (auto* entry = reinterpret_cast<const IMAGE_THUNK_DATA32*>(at(offset_of(list))); entry->u1.AddressOfData;
             ++entry)
            if (!(entry->u1.Ordinal & IMAGE_ORDINAL_FLAG32))
                names.push_back(dll + ":" +
                                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(offset_of(entry->u1.AddressOfData)))->Name);
    }
    return names;
}

// A silent install, the installed saver run as the system runs it, a second install, the
// uninstall, and an uninstall after the user has chosen another saver, all on the Windows 95
// family; `earlier` is the screen saver chosen before (nullptr: none).
void install_on_95_family(const char* version, const char* earlier)
{
    CleanSystem clean;
    As95Family family(version);
    set_boot_saver(earlier);
    set_screen_saver_switch(FALSE);
    write_options(0, 1);
    DWORD values_before = 0;
    mapping_in(0, &values_before);
    install();
    // The chosen saver is the installed 32-bit saver, named in its short form, and it is on.
    char short_path[MAX_PATH] = "";
    GetShortPathNameA(installed_saver().c_str(), short_path, MAX_PATH);
    const std::string chosen = boot_saver();
    CHECK(lower(chosen) == lower(short_path));
    CHECK(file_exists(chosen));
    CHECK(read_file(chosen) == read_file(carried_saver()));
    CHECK(all_installed());
    CHECK(boot_entries() == 1);
    CHECK(kept_switch() == "1");
    // Nothing of the NT family's: no mapping (control.ini is an ordinary file), no user setting.
    DWORD values = 0;
    CHECK(mapping_in(0, &values) == "(none)");
    CHECK(values == values_before);
    CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == "(none)");
    CHECK(uninstall_entry_exists());

    {
        SetCursorPos(320, 240);
        Process saver("\"" + chosen + "\" /s");
        HWND window = nullptr;
        REQUIRE(wait_until([&] { return (window = FindWindowA("WindowsScreenSaverClass", "Screen Saver")) != nullptr; }));
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        REQUIRE(saver.wait(20000));
        CHECK(saver.exit_code() == 0);
    }
    {
        Process dialog_run("\"" + chosen + "\" /c");
        HWND dialog = nullptr;
        REQUIRE(wait_until([&] { return (dialog = FindWindowA("#32770", "Screen Glimmer")) != nullptr; }));
        REQUIRE(wait_until([&] {
            return IsWindowVisible(dialog) && SendDlgItemMessageA(dialog, 1002, CB_GETCOUNT, 0, 0) == 3;
        }));
        CHECK(IsDlgButtonChecked(dialog, 1000) == BST_CHECKED);  // Single Girl, as control.ini says
        CHECK(SendDlgItemMessageA(dialog, 1002, CB_GETCURSEL, 0, 0) == 1);
        SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);  // Random Girls, then OK
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        REQUIRE(dialog_run.wait(20000));
        CHECK(dialog_run.exit_code() == 1);
        CHECK(read_settings().find("[Screen Saver.SkyFlare]\r\nMode=1\r\nGirl=1") != std::string::npos);
    }

    install();
    CHECK(boot_entries() == 1);
    CHECK(lower(boot_saver()) == lower(short_path));
    uninstall();
    CHECK(none_installed());
    CHECK(boot_saver() == std::string(earlier ? earlier : "(none)"));
    CHECK(boot_entries() == (earlier ? 1 : 0));
    CHECK(kept_switch() == (earlier ? "1" : "0"));  // a saver chosen is on; "(None)" is off
    CHECK(read_settings().find("[Screen Saver.SkyFlare]\r\nMode=1\r\nGirl=1") != std::string::npos);
    CHECK_FALSE(uninstall_entry_exists());

    // A saver the user chose after the install stays chosen, and on.
    install();
    set_boot_saver("C:\\WINDOWS\\SYSTEM\\CHOSEN~1.SCR");
    uninstall();
    CHECK(boot_saver() == "C:\\WINDOWS\\SYSTEM\\CHOSEN~1.SCR");
    CHECK(kept_switch() == "1");
}

}  // namespace

TEST_CASE("the tests run on the system they were asked for")
{
    // The 32-bit installer's run on 64-bit Windows must not pass by running on 32-bit Windows.
    if (GetEnvironmentVariableA("SKYFLARE_EXPECT_WOW64", nullptr, 0))
        CHECK(on_64bit_windows_as_32bit());
}

TEST_CASE("a silent install puts the saver and its girls in place and makes it the screen saver")
{
    CleanSystem clean;
    write_file(system_path("lumidoll.own"), "a module of the user's own");
    set_user_string(DESKTOP, "SkyFlareTestNeighbour", "left alone");
    // Choices kept in control.ini before, as earlier versions kept them.
    write_options(1, 2, 1);
    DWORD values_before = 0;
    mapping_in(0, &values_before);
    install();
    // The saver's choices go to each user's own key: the mapping is in the view its saver
    // reads, and only there, and the installing user's choices went on into that key.
    DWORD values = 0;
    CHECK(mapping_in(0, &values) == MAPPING);
    CHECK(values == values_before + 1);
    if (other_view())
        CHECK(mapping_in(other_view()) != MAPPING);
    CHECK(user_string(USER_SETTINGS, "Mode") == "1");
    CHECK(user_string(USER_SETTINGS, "Girl") == "2");
    CHECK(user_string(USER_SETTINGS, "Screens") == "1");
    CHECK(all_installed());
    CHECK(read_file(installed_saver()) == read_file(carried_saver()));
    CHECK(read_file(system_path("lumidoll.mir")) == read_file(sample_girl_path("lumidoll.mir")));
    CHECK(lower(user_string(DESKTOP, "SCRNSAVE.EXE")) == lower(saver_for_the_system()));
    CHECK(file_exists(user_string(DESKTOP, "SCRNSAVE.EXE")));
    {
        SystemView system;
        CHECK(file_exists(user_string(DESKTOP, "SCRNSAVE.EXE")));
    }
    CHECK(uninstall_entry_exists());
    CHECK(file_exists(uninstaller()));
    // The installed programs list the saver's own version. The uninstaller the setup wrote is
    // the one the build finished: dated, as the saver is, at the time of the commit built, and
    // with its checksum filled in.
    CHECK(machine_string(UNINSTALL, "DisplayVersion") == product_version(installed_saver()));
    CHECK(pe_time_stamp(uninstaller()) == pe_time_stamp(installed_saver()));
    DWORD stored = 0, computed = 0;
    CHECK(MapFileAndCheckSumA(uninstaller().c_str(), &stored, &computed) == CHECKSUM_SUCCESS);
    CHECK(stored != 0);
    CHECK(stored == computed);

    SUBCASE("the system starts the installed saver full screen, and it finds its girls")
    {
        SystemView system;
        std::string setting = user_string(DESKTOP, "SCRNSAVE.EXE");
        SetCursorPos(320, 240);
        Process saver("\"" + setting + "\" /s");
        HWND window = nullptr;
        REQUIRE(wait_until([&] { return (window = FindWindowA("WindowsScreenSaverClass", "Screen Saver")) != nullptr; }));
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        REQUIRE(saver.wait(20000));
        CHECK(saver.exit_code() == 0);

        Process dialog_run("\"" + setting + "\" /c");
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
        CHECK(read_settings().find("Mode=1\r\nGirl=2") != std::string::npos);  // the file as it was
    }
    SUBCASE("the dialog reads and keeps the choices in the user's own key, not in control.ini")
    {
        if (!wine_maps_for_this_saver())
            return;
        SystemView system;
        set_user_string(USER_SETTINGS, "Mode", "0");
        set_user_string(USER_SETTINGS, "Girl", "1");
        Process dialog_run("\"" + user_string(DESKTOP, "SCRNSAVE.EXE") + "\" /c");
        HWND dialog = nullptr;
        REQUIRE(wait_until([&] { return (dialog = FindWindowA("#32770", "Screen Glimmer")) != nullptr; }));
        REQUIRE(wait_until([&] {
            return IsWindowVisible(dialog) && SendDlgItemMessageA(dialog, 1002, CB_GETCOUNT, 0, 0) == 4;
        }));
        CHECK(IsDlgButtonChecked(dialog, 1000) == BST_CHECKED);  // Single Girl, as the key says
        CHECK(SendDlgItemMessageA(dialog, 1002, CB_GETCURSEL, 0, 0) == 1);
        SendDlgItemMessageA(dialog, 1001, BM_CLICK, 0, 0);  // Random Girls, then OK
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        REQUIRE(dialog_run.wait(20000));
        CHECK(dialog_run.exit_code() == 1);
        CHECK(user_string(USER_SETTINGS, "Mode") == "1");
        CHECK(user_string(USER_SETTINGS, "Girl") == "1");
        CHECK(read_settings().find("Mode=1\r\nGirl=2") != std::string::npos);  // the file untouched
    }
    SUBCASE("a second install over the first is clean, and the uninstall takes exactly what it put")
    {
        set_user_string(USER_SETTINGS, "Mode", "0");  // chosen since: the file's 1 does not come back
        install();
        CHECK(all_installed());
        CHECK(lower(user_string(DESKTOP, "SCRNSAVE.EXE")) == lower(saver_for_the_system()));
        CHECK(mapping_in(0, &values) == MAPPING);
        CHECK(values == values_before + 1);
        CHECK(user_string(USER_SETTINGS, "Mode") == "0");
        uninstall();
        CHECK(none_installed());
        CHECK(mapping_in(0, &values) == "(none)");
        CHECK(values == values_before);
        CHECK(user_string(USER_SETTINGS, "Mode") == "0");  // the user's own choices stay
        CHECK(user_string(USER_SETTINGS, "Girl") == "2");
        CHECK(file_exists(system_path("lumidoll.own")));
        CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == "(none)");
        CHECK(user_string(DESKTOP, "SkyFlareTestNeighbour") == "left alone");
        CHECK_FALSE(uninstall_entry_exists());
        CHECK_FALSE(file_exists(uninstaller()));
    }
    SUBCASE("the installer's offer opens the installed saver's configuration")
    {
        Process setup("\"" + setup_path() + "\"");
        HWND question = nullptr;
        REQUIRE(wait_until([&] { return (question = question_of(setup)) != nullptr; }, 60000));
        // It says whose screen saver it set: the account it runs as, which is not the user's
        // own when a standard user typed an administrator's password.
        char account[256] = "";
        DWORD length = sizeof account;
        GetUserNameA(account, &length);
        const std::string asked = text_of(question);
        CHECK(asked.find(std::string("screen saver of ") + account + ",") != std::string::npos);
        CHECK(asked.find("administrator's password") != std::string::npos);
        PostMessageA(question, WM_COMMAND, IDYES, 0);
        HWND dialog = nullptr;
        REQUIRE(wait_until([&] { return (dialog = FindWindowA("#32770", "Screen Glimmer")) != nullptr; }, 30000));
        CHECK(lower(image_of_window(dialog)) == lower(saver_for_the_system()));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        CHECK(wait_until([] { return FindWindowA("#32770", "Screen Glimmer") == nullptr; }));
        setup.kill();  // its page now only offers to close
    }
    SUBCASE("the uninstall leaves the screen saver setting alone when another saver is chosen")
    {
        set_user_string(DESKTOP, "SCRNSAVE.EXE", "C:\\windows\\system32\\other.scr");
        set_mapping("USR:Control Panel\\Somebody else's");
        uninstall();
        CHECK(none_installed());
        CHECK(user_string(DESKTOP, "SCRNSAVE.EXE") == "C:\\windows\\system32\\other.scr");
        CHECK(mapping_in(0) == "USR:Control Panel\\Somebody else's");  // not the one it wrote
    }
}

TEST_CASE("on the Windows 95 family the setup chooses the saver in SYSTEM.INI and the uninstall puts back what it found")
{
    // That family is 32-bit Windows only: this is the 32-bit setup's case, on 32-bit Windows.
    if (sizeof(void*) == 8 || on_64bit_windows_as_32bit())
        return;
    SUBCASE("the setup and its uninstaller call no Unicode function, which that family only stubs")
    {
        // Wine runs either kind; Windows 95, 98 and ME run only an ANSI setup.
        const std::vector<std::string> imports = imports_of(setup_path());
        CHECK(imports.size() > 20);
        for (const std::string& name : imports)
            CHECK_MESSAGE(name.back() != 'W', name);
    }
    SUBCASE("Windows 98, another saver chosen before") { install_on_95_family("win98", "C:\\WINDOWS\\SYSTEM\\OTHER.SCR"); }
    SUBCASE("Windows 95, none chosen before") { install_on_95_family("win95", nullptr); }
}

namespace {

// What a silent install left, line by line: the files it put in place, with their sizes, and
// every value it wrote.
std::string installed_outcome()
{
    std::string outcome;
    std::vector<std::string> files = {installed_saver(), uninstaller()};
    for (const char* girl : SAMPLE_GIRLS)
        files.push_back(system_path(girl));
    for (const std::string& file : files)
        outcome += file + " " + std::to_string(read_file(file).size()) + "\n";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[256], data[MAX_PATH];
        for (DWORD i = 0;; i++) {
            DWORD name_size = sizeof name, data_size = sizeof data, type = 0;
            if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data), &data_size) !=
                ERROR_SUCCESS)
                break;
            outcome += std::string(name) + "=" +
                       (type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data)) + "\n";
        }
        RegCloseKey(key);
    }
    outcome += "SCRNSAVE.EXE=" + user_string(DESKTOP, "SCRNSAVE.EXE") + "\n";
    outcome += "mapping=" + mapping_in(0) + "\n";
    return outcome;
}

// A setup sentence as the script gives it for a language of NSIS's, its variables filled in.
std::string setup_sentence(const char* name, const char* language, const std::string& account)
{
    const std::string script = read_file(std::string("Z:") + SKYFLARE_INSTALLER_LANGUAGES);
    const std::string opening = std::string("LangString ") + name + " ${LANG_" + language + "} \"";
    const size_t at = script.find(opening);
    REQUIRE(at != std::string::npos);
    std::string sentence = script.substr(at + opening.size(), script.find("\"\n", at) - at - opening.size());
    for (size_t p; (p = sentence.find("$\\n")) != std::string::npos;)
        sentence.replace(p, 3, "\n");
    for (size_t p; (p = sentence.find("$R9")) != std::string::npos;)
        sentence.replace(p, 3, account);
    for (size_t p; (p = sentence.find("${VERSION}")) != std::string::npos;)
        sentence.replace(p, 10, product_version(saver_path()));
    for (size_t p; (p = sentence.find("${U+00A0}")) != std::string::npos;)
        sentence.replace(p, 9, "\xC2\xA0");  // French's no-break space
    return sentence;
}

}  // namespace

// Run by tests/in_languages.sh, as a user of English (United Kingdom) first and then of other
// languages, with the language the setup must speak in SKYFLARE_LANGUAGE (hexadecimal).
TEST_CASE("in the user's language: a silent install leaves what it leaves in English, and the setup asks in that language" * doctest::skip())
{
    const WORD language = asked_language();
    const std::pair<WORD, const char*> names[] = {{0x0809, "ENGLISH"}, {0x040c, "FRENCH"}, {0x0419, "RUSSIAN"}, {0x0411, "JAPANESE"}};
    const char* nsis_language = nullptr;
    for (const auto& [id, name] : names)
        if (id == language)
            nsis_language = name;
    REQUIRE(nsis_language != nullptr);
    // The English run goes first and, once it has checked it, leaves its outcome for the others: never
    // one an earlier, aborted run left.
    const std::string english = build_path("tests/installed-in-english.txt");
    if (language == 0x0809)
        remove_path(english);
    CleanSystem clean;
    install();
    const std::string outcome = installed_outcome();
    if (language == 0x0809) {
        REQUIRE(outcome.find("\nDisplayName=Sky Flare screen saver\n") != std::string::npos);
        REQUIRE(lower(outcome).find(lower("\nSCRNSAVE.EXE=" + saver_for_the_system() + "\n")) != std::string::npos);
        REQUIRE(outcome.find(std::string("\nmapping=") + MAPPING + "\n") != std::string::npos);
        write_file(english, outcome);
    } else {
        REQUIRE(file_exists(english));
        CHECK(outcome == read_file(english));
    }
    uninstall();

    // Asked in the user's language, in the system's code page (the 32-bit setup is an ANSI one).
    Process setup("\"" + setup_path() + "\"");
    HWND question = nullptr;
    REQUIRE(wait_until([&] { return (question = question_of(setup)) != nullptr; }, 60000));
    char account[256] = "";
    DWORD length = sizeof account;
    GetUserNameA(account, &length);
    CHECK(text_of(question) == setup_sentence("CHOOSE_GIRLS_FOR_ACCOUNT", nsis_language, account));
    // The page behind it: its title bar says what it sets up, in the same language. (./run docs
    // photographs a page in Russian: from inside a test Wine draws another program's windows
    // into no picture.)
    WCHAR caption[256] = L"";
    GetWindowTextW(GetWindow(question, GW_OWNER), caption, 256);
    const std::string setting_up = setup_sentence("SETUP_CAPTION", nsis_language, account);
    CHECK(utf8(caption).substr(0, setting_up.size()) == setting_up);
    PostMessageA(question, WM_COMMAND, IDNO, 0);
    setup.kill();  // its page now only offers to close
}
