// module_file.cpp --- checks a girl module file part by part before the system reads it.
#include "girls/module_file.h"

typedef unsigned long long Offset;  // file offsets and lengths, wide enough that no sum wraps

// The file is read through one small window: nothing is allocated, and nothing is read twice
// while the check walks forward through a table.
static BYTE window[4096];
static HANDLE window_file;
static Offset window_at;
static DWORD window_length;

// The file being checked and what its headers say, for the walk through its directory.
struct Layout {
    HANDLE file;
    Offset size;
    Offset section_table;     // where the 40-byte section headers start
    WORD sections;
    Offset directory;         // where the resource directory starts
    Offset section_end;       // where the raw data of the directory's section ends
};

static const WORD RT_STRING_ID = 6;
static const WORD RT_BITMAP_ID = 2;
static const DWORD SUBDIRECTORY = 0x80000000u;

// `length` bytes at `offset` of the file, which the caller has found inside it.
static bool read_bytes(const Layout* file, Offset offset, void* into, DWORD length)
{
    if (length > sizeof window || offset + length > file->size)
        return false;
    if (file->file != window_file || offset < window_at || offset + length > window_at + window_length) {
        LONG high = static_cast<LONG>(offset >> 32);
        if (SetFilePointer(file->file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
            return false;
        Offset left = file->size - offset;
        DWORD wanted = left < sizeof window ? static_cast<DWORD>(left) : static_cast<DWORD>(sizeof window);
        DWORD got = 0;
        window_file = nullptr;
        if (!ReadFile(file->file, window, wanted, &got, nullptr) || got < length)
            return false;
        window_file = file->file;
        window_at = offset;
        window_length = got;
    }
    CopyMemory(into, window + (offset - window_at), length);
    return true;
}

static WORD word_at(const BYTE* bytes, int at) { return static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8)); }
static DWORD dword_at(const BYTE* bytes, int at)
{
    return static_cast<DWORD>(bytes[at]) | (static_cast<DWORD>(bytes[at + 1]) << 8) |
           (static_cast<DWORD>(bytes[at + 2]) << 16) | (static_cast<DWORD>(bytes[at + 3]) << 24);
}

static void mark_damaged(ModuleCheck* check, DWORD part, PartFault fault)
{
    for (int bit = 0; bit < PART_COUNT; bit++)
        if ((part & (1u << bit)) && !(check->damaged & (1u << bit)))
            check->fault[bit] = static_cast<unsigned char>(fault);
    check->damaged |= part;
}

// Whether `length` bytes at the directory-relative offset lie in the directory's section as far
// as the file goes. If not, the part they belong to is cut (past the file's end) or damaged.
static bool directory_holds(const Layout* file, ModuleCheck* check, Offset at, Offset length, DWORD part)
{
    Offset end = file->directory + at + length;
    if (end > file->size) {
        check->cut |= part;
        return false;
    }
    if (end > file->section_end) {
        mark_damaged(check, part, FAULT_OUTSIDE_SECTION);
        return false;
    }
    return true;
}

// The file offset of an address in the module, through the section whose raw data holds it.
static bool file_offset_of(const Layout* file, DWORD address, Offset* offset, Offset* section_end)
{
    for (WORD i = 0; i < file->sections; i++) {
        BYTE header[40];
        if (!read_bytes(file, file->section_table + 40u * i, header, sizeof header))
            return false;
        DWORD start = dword_at(header, 12), raw_size = dword_at(header, 16), raw_at = dword_at(header, 20);
        if (address >= start && static_cast<Offset>(address) - start < raw_size) {
            *offset = static_cast<Offset>(raw_at) + (address - start);
            if (section_end)
                *section_end = static_cast<Offset>(raw_at) + raw_size;
            return true;
        }
    }
    return false;
}

// String 1 is the second string of block 1: a length and that many UTF-16 characters each.
static void check_title_data(const Layout* file, ModuleCheck* check, Offset at, DWORD size)
{
    BYTE bytes[2];
    if (size < 2 || !read_bytes(file, at, bytes, 2)) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    Offset second = 2 + 2 * static_cast<Offset>(word_at(bytes, 0));
    if (second + 2 > size || !read_bytes(file, at + second, bytes, 2)) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    WORD length = word_at(bytes, 0);
    if (second + 2 + 2 * static_cast<Offset>(length) > size) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    if (!(check->present & PART_TITLE) && length > 0) {
        check->present |= PART_TITLE;
        check->title_length = length;
    }
}

// A frame: a bitmap header the system knows, then its colour table and every row of its pixels,
// all inside the resource.
static void check_frame_data(const Layout* file, ModuleCheck* check, Offset at, DWORD size, int number, bool first)
{
    const DWORD part = frame_part(number);
    BYTE header[124] = {};
    DWORD header_size = 0;
    if (size < 4 || !read_bytes(file, at, header, 4)) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
    header_size = dword_at(header, 0);
    if (header_size != 12 && (header_size < 40 || header_size > 124)) {
        mark_damaged(check, part, FAULT_BITMAP_HEADER);
        return;
    }
    if (header_size > size || !read_bytes(file, at, header, header_size)) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
    long long width, height;
    DWORD bits, compression = 0, used, entry;
    if (header_size == 12) {
        width = word_at(header, 4);
        height = word_at(header, 6);
        bits = word_at(header, 10);
        used = bits <= 8 ? 1u << bits : 0;
        entry = 3;
    } else {
        width = static_cast<LONG>(dword_at(header, 4));
        height = static_cast<LONG>(dword_at(header, 8));
        bits = word_at(header, 14);
        compression = dword_at(header, 16);
        used = dword_at(header, 32);
        if (bits <= 8 && used == 0)
            used = 1u << bits;
        entry = 4;
    }
    if (height < 0)
        height = -height;  // rows stored top-down
    // What the frame is, from its first language (the one the kit reads too).
    FrameFacts ignored;
    FrameFacts* facts = first ? &check->frames[number - 1] : &ignored;
    facts->width = width;
    facts->height = height;
    facts->bits = static_cast<int>(bits);
    facts->colours = static_cast<int>(used > 0x7FFFFFFF ? 0x7FFFFFFF : used);
    if (width <= 0 || height == 0) {
        mark_damaged(check, part, FAULT_BITMAP_SIZE);
        return;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        mark_damaged(check, part, FAULT_BITMAP_BITS);
        return;
    }
    const bool bit_fields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    if (compression != BI_RGB && !bit_fields) {
        mark_damaged(check, part, FAULT_BITMAP_COMPRESSED);
        return;
    }
    if (used > 256) {
        mark_damaged(check, part, FAULT_BITMAP_COLOURS);
        return;
    }
    Offset pixels_at = header_size + (bit_fields && header_size == 40 ? 12 : 0) + static_cast<Offset>(used) * entry;
    Offset stride = (static_cast<Offset>(width) * bits + 31) / 32 * 4;
    if (stride > size || pixels_at + stride * static_cast<Offset>(height) > size) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
}

// One resource the saver uses: its data entry, then the data it points at.
static void check_resource(const Layout* file, ModuleCheck* check, Offset entry_at, DWORD part, int number)
{
    BYTE entry[16];
    if (!directory_holds(file, check, entry_at, sizeof entry, PART_DIRECTORY) ||
        !read_bytes(file, file->directory + entry_at, entry, sizeof entry)) {
        return;
    }
    DWORD address = dword_at(entry, 0), size = dword_at(entry, 4);
    Offset at;
    if (!file_offset_of(file, address, &at, nullptr)) {
        mark_damaged(check, part, FAULT_NO_SECTION);
        return;
    }
    if (at + size > file->size) {
        check->cut |= part;
        return;
    }
    if (part == PART_TITLE) {
        check_title_data(file, check, at, size);
    } else {
        bool first = !(check->present & part);
        check->present |= part;
        check_frame_data(file, check, at, size, number, first);
    }
}

// Entry i of a table: its name (or number) and where it leads.
static bool table_entry(const Layout* file, Offset table, DWORD i, DWORD* name, DWORD* target)
{
    BYTE bytes[8];
    if (!read_bytes(file, file->directory + table + 16 + 8 * static_cast<Offset>(i), bytes, sizeof bytes))
        return false;
    *name = dword_at(bytes, 0);
    *target = dword_at(bytes, 4);
    return true;
}

static WCHAR folded(WCHAR c) { return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 32) : c; }

// How two names of the directory compare as the system's search compares them: character by
// character regardless of case, then the shorter first. Read a few characters at a time.
static int compare_names(const Layout* file, Offset first, Offset second)
{
    BYTE a[2], b[2];
    read_bytes(file, file->directory + first, a, 2);
    read_bytes(file, file->directory + second, b, 2);
    const WORD length_a = word_at(a, 0), length_b = word_at(b, 0);
    const WORD common = length_a < length_b ? length_a : length_b;
    BYTE chunk_a[128], chunk_b[128];
    for (WORD done = 0; done < common; done = static_cast<WORD>(done + 64)) {
        const DWORD count = common - done < 64 ? common - done : 64;
        read_bytes(file, file->directory + first + 2 + 2u * done, chunk_a, 2 * count);
        read_bytes(file, file->directory + second + 2 + 2u * done, chunk_b, 2 * count);
        for (DWORD i = 0; i < count; i++) {
            WCHAR x = folded(word_at(chunk_a, static_cast<int>(2 * i))), y = folded(word_at(chunk_b, static_cast<int>(2 * i)));
            if (x != y)
                return x < y ? -1 : 1;
        }
    }
    return length_a == length_b ? 0 : length_a < length_b ? -1 : 1;
}

// The system finds an entry by halving a table: its names first, then its numbers, each in
// ascending order. A table out of that order hides some of its own entries from the system.
static bool table_in_order(const Layout* file, ModuleCheck* check, Offset table, DWORD named, DWORD count)
{
    Offset previous_name = 0;
    WORD previous_number = 0;
    for (DWORD i = 0; i < count; i++) {
        DWORD name, target;
        if (!table_entry(file, table, i, &name, &target))
            return false;
        const bool is_name = (name & SUBDIRECTORY) != 0;
        if (is_name != (i < named)) {
            mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
            return false;
        }
        if (is_name) {
            Offset at = name & ~SUBDIRECTORY;
            BYTE length[2];
            if (!directory_holds(file, check, at, 2, PART_DIRECTORY) || !read_bytes(file, file->directory + at, length, 2) ||
                !directory_holds(file, check, at, 2 + 2 * static_cast<Offset>(word_at(length, 0)), PART_DIRECTORY))
                return false;
            if (i > 0 && compare_names(file, previous_name, at) > 0) {
                mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
                return false;
            }
            previous_name = at;
        } else {
            const WORD number = static_cast<WORD>(name & 0xFFFF);
            if (i > named && number < previous_number) {
                mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
                return false;
            }
            previous_number = number;
        }
    }
    return true;
}

// A table of the directory at a directory-relative offset: its count of entries, once the table,
// all its entries and their names are found to lie in the directory, in the system's order.
static bool directory_table(const Layout* file, ModuleCheck* check, Offset at, DWORD* count)
{
    BYTE head[16];
    if (!directory_holds(file, check, at, sizeof head, PART_DIRECTORY) ||
        !read_bytes(file, file->directory + at, head, sizeof head))
        return false;
    const DWORD named = word_at(head, 12);
    *count = named + word_at(head, 14);
    return directory_holds(file, check, at, 16 + 8 * static_cast<Offset>(*count), PART_DIRECTORY) &&
           table_in_order(file, check, at, named, *count);
}

// The languages of one resource: each a data entry, the third and last level.
static void check_languages(const Layout* file, ModuleCheck* check, DWORD target, DWORD part, int number)
{
    if (!(target & SUBDIRECTORY)) {
        mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
        return;
    }
    Offset table = target & ~SUBDIRECTORY;
    DWORD count;
    if (!directory_table(file, check, table, &count))
        return;
    for (DWORD i = 0; i < count; i++) {
        DWORD name, entry;
        if (!table_entry(file, table, i, &name, &entry))
            return;
        if (entry & SUBDIRECTORY) {
            mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
            return;
        }
        check_resource(file, check, entry, part, number);
    }
}

// Which frame a bitmap's name is: GIRL1 to GIRL17 in any case, else 0.
static int frame_named(const WCHAR* name, int length)
{
    static const char prefix[] = "GIRL";
    if (length < 5 || length > 6)
        return 0;
    for (int i = 0; i < 4; i++)
        if ((name[i] & ~0x20) != prefix[i])
            return 0;
    int number = 0;
    for (int i = 4; i < length; i++) {
        if (name[i] < '0' || name[i] > '9' || (i == 4 && name[i] == '0'))
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1 && number <= MODULE_FRAMES ? number : 0;
}

// What the saver looks for in one entry of a type's table; false ends the walk of the table.
typedef bool (*EntryCheck)(const Layout* file, ModuleCheck* check, DWORD name, DWORD target);

static void check_type(const Layout* file, ModuleCheck* check, Offset table, EntryCheck check_entry)
{
    DWORD count;
    if (!directory_table(file, check, table, &count))
        return;
    for (DWORD i = 0; i < count; i++) {
        DWORD name, target;
        if (!table_entry(file, table, i, &name, &target) || !check_entry(file, check, name, target))
            return;
    }
}

static bool check_title_entry(const Layout* file, ModuleCheck* check, DWORD name, DWORD target)
{
    if (!(name & SUBDIRECTORY) && (name & 0xFFFF) == 1)  // block 1: strings 0 to 15
        check_languages(file, check, target, PART_TITLE, 0);
    return true;
}

static bool check_frame_entry(const Layout* file, ModuleCheck* check, DWORD name, DWORD target)
{
    if (!(name & SUBDIRECTORY))
        return true;  // a numbered bitmap: no frame of hers
    Offset at = name & ~SUBDIRECTORY;
    BYTE bytes[2 + 2 * 6];
    if (!directory_holds(file, check, at, 2, PART_DIRECTORY) || !read_bytes(file, file->directory + at, bytes, 2))
        return false;
    WORD length = word_at(bytes, 0);
    if (!directory_holds(file, check, at, 2 + 2 * static_cast<Offset>(length), PART_DIRECTORY))
        return false;
    if (length > 6 || !read_bytes(file, file->directory + at, bytes, 2 + 2 * length))
        return true;
    WCHAR characters[6];
    for (int c = 0; c < length; c++)
        characters[c] = word_at(bytes, 2 + 2 * c);
    int number = frame_named(characters, length);
    if (number)
        check_languages(file, check, target, frame_part(number), number);
    return true;
}

// The headers: the DOS header's pointer to "PE\0\0", the file header, an optional header of
// the 32- or 64-bit kind long enough to say where the resources are, and the section table.
static bool check_headers(Layout* file, ModuleCheck* check, DWORD* resources)
{
    BYTE head[64];
    *resources = 0;
    if (file->size == 0) {
        check->library_fault = LIBRARY_EMPTY;
        return false;
    }
    if (file->size < sizeof head || !read_bytes(file, 0, head, sizeof head) || head[0] != 'M' || head[1] != 'Z') {
        check->library_fault = LIBRARY_NO_START;
        return false;
    }
    Offset pe = dword_at(head, 60);
    BYTE nt[24 + 112];
    // Headers past the end: the file is shorter than its own headers say.
    if (pe + 24 > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    if (!read_bytes(file, pe, nt, 24) || dword_at(nt, 0) != 0x00004550) {
        check->library_fault = LIBRARY_NO_HEADER;
        return false;
    }
    file->sections = word_at(nt, 6);
    WORD optional_size = word_at(nt, 20);
    file->section_table = pe + 24 + optional_size;
    if (file->section_table > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    if (optional_size < 2 || !read_bytes(file, pe + 24, nt + 24, 2)) {
        mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
        return false;
    }
    WORD magic = word_at(nt, 24);
    DWORD directories_at = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
    if (directories_at == 0 || optional_size < directories_at) {
        mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
        return false;
    }
    if (file->section_table + 40 * static_cast<Offset>(file->sections) > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    // A module whose headers leave out the resource directory simply has no resources.
    BYTE count_bytes[4];
    if (!read_bytes(file, pe + 24 + directories_at - 4, count_bytes, 4))
        return false;
    if (dword_at(count_bytes, 0) >= 3 && optional_size >= directories_at + 24) {
        BYTE entry[8];
        if (!read_bytes(file, pe + 24 + directories_at + 16, entry, sizeof entry))
            return false;
        *resources = dword_at(entry, 0);
    }
    for (WORD i = 0; i < file->sections; i++) {
        BYTE header[40];
        if (!read_bytes(file, file->section_table + 40u * i, header, sizeof header))
            return false;
        if (static_cast<Offset>(dword_at(header, 20)) + dword_at(header, 16) > file->size)
            check->shorter_than_sections = 1;
    }
    return true;
}

int check_module_file(HANDLE handle, ModuleCheck* check)
{
    ZeroMemory(check, sizeof *check);
    window_file = nullptr;
    Layout file = {};
    file.file = handle;
    DWORD high = 0;
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        check->library_fault = LIBRARY_NO_START;
        return 0;
    }
    if (high != 0) {
        check->library_fault = LIBRARY_TOO_LARGE;
        return 0;
    }
    file.size = low;
    check->file_size = low;
    DWORD resources;
    if (check_headers(&file, check, &resources) && resources != 0) {
        Offset directory_at;
        if (!file_offset_of(&file, resources, &directory_at, &file.section_end)) {
            mark_damaged(check, PART_DIRECTORY, FAULT_NO_SECTION);
        } else {
            file.directory = directory_at;
            DWORD count;
            if (directory_table(&file, check, 0, &count)) {
                for (DWORD i = 0; i < count; i++) {
                    DWORD name, target;
                    if (!table_entry(&file, 0, i, &name, &target))
                        break;
                    const WORD type = static_cast<WORD>(name & 0xFFFF);
                    if ((name & SUBDIRECTORY) || (type != RT_STRING_ID && type != RT_BITMAP_ID))
                        continue;
                    if (!(target & SUBDIRECTORY)) {
                        mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
                        continue;
                    }
                    check_type(&file, check, target & ~SUBDIRECTORY,
                               type == RT_STRING_ID ? check_title_entry : check_frame_entry);
                }
            }
        }
    }
    window_file = nullptr;
    check->readable = check->library_fault == LIBRARY_SOUND && check->cut == 0 && check->damaged == 0;
    return check->readable;
}

HMODULE open_module(const char* path, OpenModule* opened)
{
    ZeroMemory(opened, sizeof *opened);
    // Held open with others allowed to read it but not to write it, until the module is closed.
    opened->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (opened->file == INVALID_HANDLE_VALUE) {
        opened->file = nullptr;
        opened->check.library_fault = LIBRARY_NO_START;
        return nullptr;
    }
    if (check_module_file(opened->file, &opened->check))
        opened->module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return opened->module;
}

void close_module(OpenModule* opened)
{
    if (opened->module)
        FreeLibrary(opened->module);
    if (opened->file)
        CloseHandle(opened->file);
    opened->module = nullptr;
    opened->file = nullptr;
}

// The addresses a guarded read may fault on: the module's mapping (a data file's handle is its
// base with a low bit set), and the space past it, where a part past the end would be looked for.
static ULONG_PTR guarded_from, guarded_to;
static volatile LONG guard_tripped;
static const ULONG_PTR PAST_THE_END = 16u << 20;

// Whether a fault is a read of the guarded module's bytes (Windows' advice for reading a mapped
// file: handle only an in-page error or access violation at an address in the mapping read).
static bool fault_in_module(const EXCEPTION_RECORD* record)
{
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return false;
    if (record->NumberParameters < 2 || guarded_to == 0)
        return false;
    ULONG_PTR address = record->ExceptionInformation[1];
    return address >= guarded_from && address < guarded_to;
}

#if defined(__x86_64__)

// The filter of the read's exception scope, through the C runtime's scope handler: a fault of
// the module's read unwinds to the end of the scope.
extern "C" __attribute__((used)) LONG skyflare_module_fault_filter(EXCEPTION_POINTERS* fault, void*)
{
    if (!fault_in_module(fault->ExceptionRecord))
        return EXCEPTION_CONTINUE_SEARCH;
    guard_tripped = 1;
    return EXCEPTION_EXECUTE_HANDLER;
}

static void guarded_call(ModuleRead read, HMODULE module, void* context)
{
    asm volatile(".l_module_read_start:\n"
                 "\t.seh_handler __C_specific_handler, @except\n"
                 "\t.seh_handlerdata\n"
                 "\t.long 1\n"
                 "\t.rva .l_module_read_start, .l_module_read_end, skyflare_module_fault_filter, .l_module_read_end\n"
                 "\t.text\n" ::: "memory");
    read(module, context);
    asm volatile("\tnop\n.l_module_read_end:\n\tnop\n" ::: "memory");
}

#elif defined(__i386__)

// On 32-bit Windows a handler is a record on the thread's chain at fs:[0]. Taking a fault, it
// lets the system unwind the frames of the read (their own clean-up runs) and jumps back.
struct ChainRecord {
    ChainRecord* previous;
    void* handler;
};
static void* read_return[5];

extern "C" EXCEPTION_DISPOSITION __cdecl skyflare_module_fault_handler(EXCEPTION_RECORD* record, void* frame,
                                                                       CONTEXT*, void*)
{
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) || !fault_in_module(record))
        return ExceptionContinueSearch;
    guard_tripped = 1;
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(read_return, 1);
}

static ChainRecord* chain_head()
{
    ChainRecord* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head) : : "memory");
    return head;
}

static void set_chain_head(ChainRecord* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

static __attribute__((noinline)) void guarded_call(ModuleRead read, HMODULE module, void* context)
{
    ChainRecord record;
    record.previous = chain_head();
    record.handler = reinterpret_cast<void*>(skyflare_module_fault_handler);
    if (__builtin_setjmp(read_return) == 0) {
        set_chain_head(&record);
        read(module, context);
    }
    set_chain_head(record.previous);
}

#else
#error "module_file.cpp knows the exception frames of x86-64 and i686 only"
#endif

int read_module_guarded(HMODULE module, DWORD file_size, ModuleRead read, void* context)
{
    guarded_from = reinterpret_cast<ULONG_PTR>(module) & ~static_cast<ULONG_PTR>(3);
    guarded_to = guarded_from + file_size + PAST_THE_END;
    guard_tripped = 0;
    guarded_call(read, module, context);
    guarded_from = guarded_to = 0;
    return !guard_tripped;
}
