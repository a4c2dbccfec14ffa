// sweep.cpp --- the failure sweep's command line: records a whole run of the saver, then runs it
// again once for each function, place and phase it saw, one call refused (the middle one of the
// calls there, when the picture is fullest), each in a process of its own with a watchdog, and
// says what it covered and what did not end as defined.
//
// usage: sweep [--sample] [FUNCTION]        every call that can fail (--sample: one place of each
//                                           function; FUNCTION: its calls alone)
//        sweep --record SCENARIO            (a child) one run, the calls it made
//        sweep --run SCENARIO FUNCTION PLACE PHASE N (a child) one run, the n-th such call refused
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/flags.h"
#include "host/host.h"
#include "refusals.h"
#include "runs.h"
#include "scene/sprite.h"

static const DWORD RUN_TIMEOUT_MS = 120000;  // the watchdog: a run that takes longer hangs
// The runs are made by copies of this program, so a build during a sweep changes none of them:
// the 95 family's by one that Wine tells it is Windows 98.
static const char CHILD_COPY[] = "sweep-child.exe";
static const char WIN98_COPY[] = "sweep-win98.exe";

// A child run as a process of its own: its exit code and what it printed; a run that outlives
// the watchdog is ended and answers STILL_ACTIVE.
static DWORD run_child(const std::string& command, std::string& output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    CreatePipe(&read_end, &write_end, &inherit, 0);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write_end;
    PROCESS_INFORMATION child = {};
    std::string line = command;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        CloseHandle(read_end);
        CloseHandle(write_end);
        return 2;
    }
    CloseHandle(write_end);
    output.clear();
    const ULONGLONG start = GetTickCount64();
    DWORD code = STILL_ACTIVE;
    for (;;) {
        DWORD waiting = 0;
        char buffer[4096];
        DWORD got = 0;
        while (PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr) && waiting &&
               ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got)
            output.append(buffer, got);
        if (WaitForSingleObject(child.hProcess, 20) == WAIT_OBJECT_0) {
            while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got)
                output.append(buffer, got);
            GetExitCodeProcess(child.hProcess, &code);
            break;
        }
        if (GetTickCount64() - start > RUN_TIMEOUT_MS) {
            TerminateProcess(child.hProcess, STILL_ACTIVE);
            WaitForSingleObject(child.hProcess, INFINITE);
            code = STILL_ACTIVE;
            break;
        }
    }
    CloseHandle(read_end);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return code;
}

static std::vector<std::string> lines_of(const std::string& text, const char* starting)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(starting, 0) == 0)
            lines.push_back(line.substr(strlen(starting)));
    }
    return lines;
}

// The program's functions by address (sweep.symbols, which the build writes beside it with nm),
// to name a place by the saver's function that holds it.
static std::map<ULONG_PTR, std::string> symbols;
static ULONG_PTR image_base;

static void read_symbols(const std::string& program)
{
    std::ifstream in(program.substr(0, program.rfind('.')) + ".symbols");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind;
        std::getline(fields >> std::ws, name);
        const ULONG_PTR at = static_cast<ULONG_PTR>(strtoull(address.c_str(), nullptr, 16));
        if (kind == "t" || kind == "T")
            symbols[at] = name;
        if (name == "saver_code_starts")  // where the program was meant to be loaded
            image_base = at - (reinterpret_cast<ULONG_PTR>(&saver_code_starts) -
                               reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr)));
    }
}

static std::string place_name(ULONG_PTR place)
{
    char text[32];
    wsprintfA(text, "+0x%lx", static_cast<unsigned long>(place));
    auto after = symbols.upper_bound(image_base + place);
    if (!image_base || after == symbols.begin())
        return text;
    --after;
    wsprintfA(text, "+0x%lx", static_cast<unsigned long>(image_base + place - after->first));
    return after->second.substr(0, after->second.find('(')) + text;
}

struct Item {
    int scenario;
    std::string function;
    ULONG_PTR place;
    int phase;
    int nth;  // the call refused: the middle one of those the phase makes there
};

static std::string program_path(const char* copy = nullptr)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program = path;
    return copy ? program.substr(0, program.rfind('\\') + 1) + copy : program;
}

static void set_app_default(const std::string& program, const char* subkey, const char* name, const char* value)
{
    HKEY key;
    const std::string path = "Software\\Wine\\AppDefaults\\" + program + subkey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
        RegCloseKey(key);
    }
}

// The children as Wine runs them: with windows no window manager is waited for (there is none),
// which spares each run seconds as it ends.
static void prepare_children()
{
    for (const char* copy : {CHILD_COPY, WIN98_COPY}) {
        CopyFileA(program_path().c_str(), program_path(copy).c_str(), FALSE);
        set_app_default(copy, "\\X11 Driver", "Managed", "N");
    }
    set_app_default(WIN98_COPY, "", "Version", "win98");
}

static std::string child_command(int scenario, const char* what)
{
    return "\"" + program_path(SCENARIOS[scenario].win9x ? WIN98_COPY : CHILD_COPY) + "\" " + what + " " +
           std::to_string(scenario);
}

// What a child's output and exit code say of its run: empty when it ended as defined.
static std::vector<std::string> verdict(DWORD code, const std::string& output)
{
    std::vector<std::string> wrong = lines_of(output, "problem ");
    const std::vector<std::string> phases = lines_of(output, "phase ");
    const std::string where = phases.empty() ? "before it began" : "in phase " + phases.back();
    if (code == STILL_ACTIVE)
        wrong.push_back("it hung " + where);
    else if (code != 0 && wrong.empty())
        wrong.push_back("it crashed (" + std::to_string(code) + ") " + where);
    return wrong;
}

static int sweep(bool sample, const char* only)
{
    const ULONGLONG started = GetTickCount64();
    read_symbols(program_path());
    prepare_children();
    const bool two_monitors = GetSystemMetrics(SM_CMONITORS) >= 2;
    std::vector<Item> items;
    std::set<std::tuple<std::string, ULONG_PTR, int>> seen;
    int failures = 0, runs = 0, calls = 0;
    for (int s = 0; s < SCENARIO_COUNT; s++) {
        if (SCENARIOS[s].two_monitors != two_monitors)
            continue;
        std::string output;
        const DWORD code = run_child(child_command(s, "--record"), output);
        runs++;
        for (const std::string& wrong : verdict(code, output)) {
            printf("sweep: %s, with nothing refused: %s\n", SCENARIOS[s].name, wrong.c_str());
            failures++;
        }
        for (const std::string& line : lines_of(output, "call ")) {
            std::istringstream fields(line);
            std::string function, place;
            int phase = 0, count = 0;
            fields >> function >> place >> phase >> count;
            const ULONG_PTR at = static_cast<ULONG_PTR>(strtoull(place.c_str(), nullptr, 16));
            calls += count;
            if (seen.insert({function, at, phase}).second)
                items.push_back({s, function, at, phase, (count + 1) / 2});
        }
    }
    std::set<std::string> functions;
    std::set<std::pair<std::string, ULONG_PTR>> places;
    for (const Item& item : items) {
        functions.insert(item.function);
        places.insert({item.function, item.place});
    }
    printf("sweep: %zu functions can fail; the runs called %zu of them, from %zu places, %zu function, place and phase "
           "together (%d calls)\n", refusable_names().size(), functions.size(), places.size(), items.size(), calls);
    std::string uncalled;
    for (const std::string& name : refusable_names())
        if (!functions.count(name))
            uncalled += " " + name;
    printf("sweep: not called in these runs:%s\n", uncalled.c_str());
    std::set<std::string> sampled;
    int unreached = 0, index = 0;
    for (const Item& item : items) {
        index++;
        if ((sample && !sampled.insert(item.function).second) || (only && item.function != only))
            continue;
        char place[32];
        wsprintfA(place, "%lx", static_cast<unsigned long>(item.place));
        std::string output;
        const DWORD code = run_child(child_command(item.scenario, "--run") + " " + item.function + " " + place + " " +
                                     std::to_string(item.phase) + " " + std::to_string(item.nth), output);
        runs++;
        const std::vector<std::string> wrong = verdict(code, output);
        const bool missed = !lines_of(output, "unreached").empty();
        unreached += missed;
        printf("[%d/%zu] %s in %s, %s (%s): %s\n", index, items.size(), item.function.c_str(),
               place_name(item.place).c_str(), PHASE_NAMES[item.phase], SCENARIOS[item.scenario].name,
               wrong.empty() ? (missed ? "not reached again" : "as defined") : "NOT AS DEFINED");
        for (const std::string& w : wrong)
            printf("    %s\n", w.c_str());
        fflush(stdout);
        failures += !wrong.empty();
    }
    printf("sweep: %d runs (%s), each refusing one call: %d not as defined, %d did not reach their call again\n", runs,
           sample ? "a sample: one place of each function" : only ? only : "every function at every place in every phase",
           failures, unreached);
    printf("sweep: %llu s\n", (GetTickCount64() - started) / 1000);
    return failures ? 1 : 0;
}

// One run in this process: recorded, or with one call refused.
static int child(int scenario, const char* function, ULONG_PTR place, int phase, int nth)
{
    install_refusals();
    if (function)
        plan_refusal(function_index(function), place, phase, nth);
    const std::vector<std::string> wrong = play(scenario);
    remove_refusals();
    if (function && !refusal_made())
        printf("unreached\n");
    if (!function)
        for (const CallPlace& call : recorded_calls())
            printf("call %s %lx %d %d\n", function_name(call.function), static_cast<unsigned long>(call.place),
                   call.phase, call.calls);
    fflush(stdout);
    return wrong.empty() ? 0 : 1;
}

int main(int argc, char** argv)
{
    app_instance = GetModuleHandleA(nullptr);
    // The saver's code must lie where the refusals look for it, or no call would count as its.
    if (!in_saver_code(reinterpret_cast<void*>(&run_saver)) || !in_saver_code(reinterpret_cast<void*>(&draw_sprite)) ||
        in_saver_code(reinterpret_cast<void*>(&child))) {
        fprintf(stderr, "sweep: the saver's code is not where the sweep looks for it\n");
        return 2;
    }
    if (argc == 3 && strcmp(argv[1], "--record") == 0)
        return child(atoi(argv[2]), nullptr, 0, 0, 0);
    if (argc == 7 && strcmp(argv[1], "--run") == 0)
        return child(atoi(argv[2]), argv[3], static_cast<ULONG_PTR>(strtoull(argv[4], nullptr, 16)), atoi(argv[5]),
                     atoi(argv[6]));
    const int sample = argc > 1 && strcmp(argv[1], "--sample") == 0;
    const char* only = argc - sample == 2 ? argv[argc - 1] : nullptr;
    if (argc - sample <= 2 && (!only || function_index(only) >= 0))
        return sweep(sample != 0, only);
    fprintf(stderr, "usage: sweep [--sample] [FUNCTION]\n");
    return 2;
}
