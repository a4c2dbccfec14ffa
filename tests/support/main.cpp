// main.cpp --- the test programs' start: the saver's resources are linked into each of them.
#define DOCTEST_CONFIG_IMPLEMENT
#include <string.h>

#include "doctest.h"
#include "host/host.h"

// A test program whose name says "win98" runs as the Windows 95 family. Wine reports that
// platform to a program listed under its AppDefaults with Version "win98", which it reads
// when the program starts: so the program notes itself there and starts itself again.
static bool runs_as_win98()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

static void set_app_default(const char* name, const char* subkey, const char* value_name,
                            const char* value)
{
    char path[MAX_PATH];
    wsprintfA(path, "Software\\Wine\\AppDefaults\\%s%s", name, subkey);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(lstrlenA(value) + 1));
        RegCloseKey(key);
    }
}

static int rerun_as_win98(const char* name)
{
    set_app_default(name, "", "Version", "win98");
    // The stand-in network provider library, where a test puts it, is taken over Wine's own.
    set_app_default(name, "\\DllOverrides", "mpr", "native,builtin");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(nullptr, GetCommandLineA(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child))
        return 2;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<int>(code);
}

int main(int argc, char** argv)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    if (strstr(name, "win98") && !runs_as_win98())
        return rerun_as_win98(name);

    app_instance = GetModuleHandleA(nullptr);
    doctest::Context context(argc, argv);
    return context.run();
}
