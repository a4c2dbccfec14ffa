// main.cpp --- the test programs' start: the saver's resources are linked into each of them.
#define DOCTEST_CONFIG_IMPLEMENT
#include <stdio.h>
#include <string.h>

#include "doctest.h"
#include "host/host.h"

// A test case runs once for each of its subcases, each run sent to the next subcase not yet
// done. A run that stops before it reaches any subcase, as when a fatal check in the shared
// set-up fails, leaves Debian's doctest (2.4.9) still owing that subcase: it sends
// the case round again, the same set-up fails the same way, and so on for ever. Such a run
// changed nothing doctest steers by, so the next one would repeat it: the case ends there,
// with the failure that stopped it as its message. A run that reached no subcase without any
// failure ends the case too, as a failure that says so, since its subcases would go unseen.
namespace {

struct EndCaseThatReachesNoSubcase : doctest::IReporter {
    bool reached_subcase = false;

    explicit EndCaseThatReachesNoSubcase(const doctest::ContextOptions&) {}
    void test_case_start(const doctest::TestCaseData&) override { reached_subcase = false; }
    void subcase_start(const doctest::SubcaseSignature&) override { reached_subcase = true; }
    // Called between two runs of a case, while a subcase is still owed.
    void test_case_reenter(const doctest::TestCaseData& test) override
    {
        if (!reached_subcase) {
            doctest::detail::ContextState* state = doctest::detail::g_cs;
            state->nextSubcaseStack.clear();  // owes nothing more: the case ends after this run
            if (state->failure_flags == 0 && int(state->numAssertsFailedCurrentTest_atomic) == 0) {
                state->failure_flags |= doctest::TestCaseFailureReason::Exception;
                *state->cout << test.m_file.c_str() << ":" << test.m_line << ": ERROR: \"" << test.m_name
                             << "\" went round again for its next subcase and reached none\n";
            }
        }
        reached_subcase = false;
    }

    void report_query(const doctest::QueryData&) override {}
    void test_run_start() override {}
    void test_run_end(const doctest::TestRunStats&) override {}
    void test_case_end(const doctest::CurrentTestCaseStats&) override {}
    void test_case_exception(const doctest::TestCaseException&) override {}
    void subcase_end() override {}
    void log_assert(const doctest::AssertData&) override {}
    void log_message(const doctest::MessageData&) override {}
    void test_case_skipped(const doctest::TestCaseData&) override {}
};

}  // namespace

REGISTER_LISTENER("end-case-that-reaches-no-subcase", 1, EndCaseThatReachesNoSubcase);

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
    // Asked by a test of another process's effect on the system's colours: this process reads
    // them fresh (a Wine process keeps the colours it read first), prints them and ends.
    if (argc == 2 && strcmp(argv[1], "--print-system-colours") == 0) {
        for (int element = COLOR_SCROLLBAR; element <= COLOR_GRADIENTINACTIVECAPTION; element++)
            printf("%lu\n", GetSysColor(element));
        return 0;
    }
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    if (strstr(name, "win98") && !runs_as_win98())
        return rerun_as_win98(name);

    app_instance = GetModuleHandleA(nullptr);
    doctest::Context context(argc, argv);
    return context.run();
}
