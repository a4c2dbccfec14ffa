// refusals.cpp --- a replacement for each system function the saver calls that can fail, which
// fails the planned call as the function documents and otherwise notes the call and passes it on.
#include "refusals.h"

#include <commctrl.h>
#include <shellscalingapi.h>

#include <map>
#include <tuple>
#include <type_traits>

// The stretch of the saver's code: its objects' code is put in a section of its own, which the
// linker places, sorted by name, between these two (see tests/CMakeLists.txt).
extern "C" __attribute__((section(".text$skyflare_0"), used, noinline)) void saver_code_starts() { asm volatile(""); }
extern "C" __attribute__((section(".text$skyflare_2"), used, noinline)) void saver_code_ends() { asm volatile(""); }

bool in_saver_code(const void* address)
{
    const ULONG_PTR at = reinterpret_cast<ULONG_PTR>(address);
    return at > reinterpret_cast<ULONG_PTR>(&saver_code_starts) && at < reinterpret_cast<ULONG_PTR>(&saver_code_ends);
}

namespace {

// What a function does to the ledger of objects.
enum Role {
    PLAIN,      // nothing
    MAKES,      // its result is an object the saver must free
    MAKES_KEY,  // a registry key, through the pointer in argument `arg`, when it answers 0
    FREES,      // frees the object in argument `arg` when it answers nonzero (never refused)
    FREES_KEY,  // frees the key in argument `arg` when it answers 0 (never refused)
    WATCHED,    // only there to be stood in for (never refused)
};

struct Row {
    const char* dll;     // the library it is imported from; null for one the saver finds by name
    const char* name;
    LONG_PTR value;      // what a refused call returns
    DWORD error;         // and leaves for GetLastError; 0 leaves it alone
    Role role;
    int arg;
    void* call;          // the replacement
    void** real;         // where the replacement keeps the system's function
    void** stand_in;     // and one that stands in for it
    void** slot = nullptr;
    void* saved = nullptr;
};

std::vector<Row> rows;
int phase_now;
std::map<std::tuple<int, ULONG_PTR, int>, int> places;  // (function, place, phase) -> calls
struct Plan {
    int function = -1;
    ULONG_PTR place = 0;      // 0: any place
    int phase = 0, nth = 0;
    int seen = 0;             // calls that matched so far
    bool made = false;
} plan;
struct Made {
    int function;
    ULONG_PTR place;
};
std::multimap<ULONG_PTR, Made> ledger;

ULONG_PTR offset_of(const void* address)
{
    return reinterpret_cast<ULONG_PTR>(address) - reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr));
}

template <typename T>
ULONG_PTR word_of(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<ULONG_PTR>(value);
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        return static_cast<ULONG_PTR>(static_cast<LONG_PTR>(value));
    else
        return 0;
}

template <typename R>
R value_of(ULONG_PTR word)
{
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(word);
    else
        return static_cast<R>(word);
}

// Notes a call of the saver's; true when it is the one planned to fail.
bool refuses(int function, const void* from, bool refusable)
{
    const Role role = rows[function].role;
    if (!refusable || role == FREES || role == FREES_KEY || role == WATCHED)
        return false;
    const ULONG_PTR place = offset_of(from);
    ++places[{function, place, phase_now}];
    if (plan.made || plan.function != function || (plan.place && plan.place != place) || plan.phase != phase_now ||
        ++plan.seen != plan.nth)
        return false;
    plan.made = true;
    return true;
}

// The ledger after a call of the saver's that went through; a function found by name comes back
// as its replacement.
ULONG_PTR after_call(int function, const void* from, ULONG_PTR result, const ULONG_PTR* args)
{
    const Row& row = rows[function];
    switch (row.role) {
    case MAKES:
        if (result && result != reinterpret_cast<ULONG_PTR>(INVALID_HANDLE_VALUE))
            ledger.insert({result, {function, offset_of(from)}});
        break;
    case MAKES_KEY:
        if (result == ERROR_SUCCESS)
            ledger.insert({reinterpret_cast<ULONG_PTR>(*reinterpret_cast<HKEY*>(args[row.arg])), {function, offset_of(from)}});
        break;
    case FREES:
    case FREES_KEY:
        if ((row.role == FREES) == (result != 0)) {
            auto found = ledger.find(args[row.arg]);
            if (found != ledger.end())
                ledger.erase(found);
        }
        break;
    default:
        break;
    }
    if (lstrcmpA(row.name, "GetProcAddress") == 0 && result && HIWORD(args[1]))
        for (Row& by_name : rows)
            if (!by_name.dll && lstrcmpA(by_name.name, reinterpret_cast<const char*>(args[1])) == 0) {
                *by_name.real = reinterpret_cast<void*>(result);
                return reinterpret_cast<ULONG_PTR>(by_name.call);
            }
    return result;
}

// One replacement per function, of the function's own type and calling convention.
template <typename F, F* Target>
struct Hook;
template <typename R, typename... A, R(WINAPI* Target)(A...)>
struct Hook<R WINAPI(A...), Target> {
    static inline R(WINAPI* real)(A...);
    static inline R(WINAPI* stand_in)(A...);
    static inline int row;
    static bool refusable(A...) { return true; }
    static R WINAPI call(A... a)
    {
        const void* from = __builtin_return_address(0);
        if (!in_saver_code(from))
            return real(a...);  // the program's own call, a stand-in's included
        auto system = stand_in ? stand_in : real;
        if (refuses(row, from, refusable(a...))) {
            if (rows[row].error)
                SetLastError(rows[row].error);
            return value_of<R>(static_cast<ULONG_PTR>(rows[row].value));
        }
        const R result = system(a...);
        const ULONG_PTR args[] = {word_of(a)..., 0};
        return value_of<R>(after_call(row, from, word_of(result), args));
    }
};

// The list of girls is the one place where a message can fail for want of room.
template <>
bool Hook<decltype(SendDlgItemMessageA), SendDlgItemMessageA>::refusable(HWND, int, UINT message, WPARAM, LPARAM)
{
    return message == CB_ADDSTRING;
}
template <>
bool Hook<decltype(SendDlgItemMessageW), SendDlgItemMessageW>::refusable(HWND, int, UINT message, WPARAM, LPARAM)
{
    return message == CB_ADDSTRING;
}

template <typename F, F* Target>
void watch(const char* dll, const char* name, LONG_PTR value, DWORD error, Role role = PLAIN, int arg = 0)
{
    using H = Hook<F, Target>;
    H::row = static_cast<int>(rows.size());
    rows.push_back({dll, name, value, error, role, arg, reinterpret_cast<void*>(&H::call),
                    reinterpret_cast<void**>(&H::real), reinterpret_cast<void**>(&H::stand_in)});
}
#define WATCH(dll, function, ...) watch<decltype(function), function>(dll, #function, __VA_ARGS__)

const char* const USER = "user32.dll";
const char* const GDI = "gdi32.dll";
const char* const KERNEL = "kernel32.dll";
const char* const REGISTRY = "advapi32.dll";
const char* const BY_NAME = nullptr;
const LONG_PTR INVALID = -1;  // INVALID_HANDLE_VALUE, INVALID_FILE_SIZE, INVALID_SET_FILE_POINTER

// Every function of the saver whose documented failure it can meet, with that failure: its
// result, and the error a shortage, a refusal or a fault of the disk leaves. Those that fail
// only when handed something invalid, or cannot fail (GetSystemMetrics, GetPrivateProfileIntA,
// which reads a missing key and a file it cannot read alike as the default), are not here,
// but for the ledger's frees and for standing in.
void list_functions()
{
    // Windows and their classes, the timer, messages, the pointer, the dialog.
    WATCH(USER, RegisterClassA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, CreateWindowExA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, FindWindowA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, SetForegroundWindow, 0, 0);
    WATCH(USER, SetWindowPos, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, RedrawWindow, 0, 0);
    WATCH(USER, SetTimer, 0, ERROR_NO_SYSTEM_RESOURCES);
    WATCH(USER, PostMessageA, 0, ERROR_NOT_ENOUGH_QUOTA);
    WATCH(USER, GetCursorPos, 0, ERROR_ACCESS_DENIED);
    WATCH(USER, SystemParametersInfoA, 0, ERROR_ACCESS_DENIED);
    WATCH(USER, DialogBoxIndirectParamA, -1, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(BY_NAME, DialogBoxIndirectParamW, -1, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, SendDlgItemMessageA, CB_ERRSPACE, 0);
    WATCH(BY_NAME, SendDlgItemMessageW, CB_ERRSPACE, 0);
    WATCH(USER, MessageBoxA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(BY_NAME, MessageBoxW, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(BY_NAME, InitCommonControlsEx, 0, 0);
    // Device contexts and painting.
    WATCH(USER, GetDC, 0, 0, MAKES);
    WATCH(USER, ReleaseDC, 0, 0, FREES, 1);
    WATCH(USER, BeginPaint, 0, 0);
    WATCH(USER, FillRect, 0, 0);
    WATCH(GDI, CreateCompatibleDC, 0, 0, MAKES);
    WATCH(GDI, DeleteDC, 0, 0, FREES);
    WATCH(GDI, GetDeviceCaps, 0, 0, WATCHED);
    WATCH(GDI, SetBkColor, CLR_INVALID, 0);
    WATCH(GDI, SetStretchBltMode, 0, 0);
    WATCH(GDI, SetBrushOrgEx, 0, 0);
    WATCH(GDI, SetViewportOrgEx, 0, 0);
    WATCH(GDI, IntersectClipRect, ERROR, 0);
    WATCH(GDI, SelectClipRgn, ERROR, 0);
    // Bitmaps, their colours, and copying them.
    WATCH(GDI, CreateCompatibleBitmap, 0, ERROR_NOT_ENOUGH_MEMORY, MAKES);
    WATCH(GDI, DeleteObject, 0, 0, FREES);
    WATCH(GDI, SelectObject, 0, 0);
    WATCH(GDI, GetObjectA, 0, 0);
    WATCH(GDI, GetDIBColorTable, 0, 0);
    WATCH(GDI, SetDIBColorTable, 0, 0);
    WATCH(GDI, BitBlt, 0, 0);
    WATCH(GDI, StretchBlt, 0, 0);
    WATCH(GDI, GdiFlush, 0, 0);
    // Palettes and the system's colours.
    WATCH(GDI, CreatePalette, 0, ERROR_NOT_ENOUGH_MEMORY, MAKES);
    WATCH(GDI, SelectPalette, 0, 0);
    WATCH(GDI, RealizePalette, GDI_ERROR, 0);
    WATCH(GDI, SetSystemPaletteUse, SYSPAL_ERROR, 0);
    WATCH(USER, GetSysColorBrush, 0, 0);
    WATCH(USER, SetSysColors, 0, ERROR_ACCESS_DENIED);
    // Pictures, texts and other resources.
    WATCH(USER, LoadImageA, 0, ERROR_NOT_ENOUGH_MEMORY, MAKES);
    WATCH(USER, LoadIconA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, LoadCursorA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(USER, LoadStringA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(BY_NAME, LoadStringW, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(KERNEL, FindResourceExA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(KERNEL, SizeofResource, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(KERNEL, LoadResource, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(KERNEL, LockResource, 0, 0);
    // Libraries loaded and functions found by name.
    WATCH(KERNEL, GetSystemDirectoryA, 0, ERROR_NOT_ENOUGH_MEMORY);
    WATCH(KERNEL, LoadLibraryA, 0, ERROR_NOT_ENOUGH_MEMORY, MAKES);
    WATCH(KERNEL, LoadLibraryExA, 0, ERROR_NOT_ENOUGH_MEMORY, MAKES);
    WATCH(KERNEL, FreeLibrary, 0, 0, FREES);
    WATCH(KERNEL, GetModuleHandleA, 0, ERROR_MOD_NOT_FOUND);
    WATCH(KERNEL, GetProcAddress, 0, ERROR_PROC_NOT_FOUND);
    // Files: the girl modules and the settings file.
    WATCH(KERNEL, FindFirstFileA, INVALID, ERROR_ACCESS_DENIED, MAKES);
    WATCH(KERNEL, FindNextFileA, 0, ERROR_READ_FAULT);
    WATCH(KERNEL, FindClose, 0, 0, FREES);
    WATCH(KERNEL, CreateFileA, INVALID, ERROR_SHARING_VIOLATION, MAKES);
    WATCH(KERNEL, GetFileSize, INVALID, ERROR_READ_FAULT);
    WATCH(KERNEL, SetFilePointer, INVALID, ERROR_READ_FAULT);
    WATCH(KERNEL, ReadFile, 0, ERROR_READ_FAULT);
    WATCH(KERNEL, CloseHandle, 0, 0, FREES);
    WATCH(KERNEL, WritePrivateProfileStringA, 0, ERROR_DISK_FULL);
    // The registry: whether a password is asked for.
    WATCH(REGISTRY, RegOpenKeyA, ERROR_CANTOPEN, 0, MAKES_KEY, 2);
    WATCH(REGISTRY, RegQueryValueExA, ERROR_CANTREAD, 0);
    WATCH(REGISTRY, RegCloseKey, ERROR_INVALID_HANDLE, 0, FREES_KEY);
    // The monitors and their scale.
    WATCH(BY_NAME, EnumDisplayMonitors, 0, 0);
    WATCH(BY_NAME, GetDpiForMonitor, E_INVALIDARG, 0);
}

// The slot of this program's import table that holds the function.
void** import_slot(const char* dll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; entry++) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++)
            if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
                lstrcmpA(reinterpret_cast<char*>(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name),
                         function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
    }
    return nullptr;
}

void write_slot(void** slot, void* value)
{
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

void install_refusals()
{
    if (rows.empty())
        list_functions();
    for (Row& row : rows) {
        // A function this program's copy of the saver never calls is not imported at all.
        if (!row.dll || row.slot || !(row.slot = import_slot(row.dll, row.name)))
            continue;
        row.saved = *row.slot;
        *row.real = row.saved;
        write_slot(row.slot, row.call);
    }
}

void remove_refusals()
{
    for (Row& row : rows)
        if (row.slot) {
            write_slot(row.slot, row.saved);
            row.slot = nullptr;
        }
}

void set_phase(int phase) { phase_now = phase; }

std::vector<CallPlace> recorded_calls()
{
    std::vector<CallPlace> calls;
    for (const auto& [key, count] : places)
        calls.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), count});
    return calls;
}

const char* function_name(int function) { return rows[function].name; }

int function_index(const char* name)
{
    if (rows.empty())
        list_functions();
    for (size_t i = 0; i < rows.size(); i++)
        if (lstrcmpA(rows[i].name, name) == 0)
            return static_cast<int>(i);
    return -1;
}

std::vector<std::string> refusable_names()
{
    if (rows.empty())
        list_functions();
    std::vector<std::string> names;
    for (const Row& row : rows)
        if (row.role != FREES && row.role != FREES_KEY && row.role != WATCHED)
            names.push_back(row.name);
    return names;
}

void plan_refusal(int function, ULONG_PTR place, int phase, int nth)
{
    plan = Plan();
    plan.function = function;
    plan.place = place;
    plan.phase = phase;
    plan.nth = nth;
}

bool refusal_planned() { return plan.function >= 0; }
bool refusal_made() { return plan.made; }
int refused_function() { return plan.made ? plan.function : -1; }

void stand_in(const char* name, void* function)
{
    const int index = function_index(name);
    if (index >= 0)
        *rows[index].stand_in = function;
}

std::vector<std::string> objects_alive()
{
    std::vector<std::string> alive;
    for (const auto& [handle, made] : ledger) {
        char line[96];
        wsprintfA(line, "%s at +0x%lx", rows[made.function].name, static_cast<unsigned long>(made.place));
        alive.push_back(line);
    }
    return alive;
}
