// module_file.cpp --- checks a girl module file part by part before the system reads it.
#include "girls/module_file.h"

#include <stddef.h>

typedef unsigned long long Offset;  // file offsets and lengths, wide enough that no sum wraps

// The file is read through one small window: nothing is allocated, and nothing is read twice
// while the check walks forward through a table.
static BYTE window[4096];
static HANDLE window_file;
static Offset window_at;
static DWORD window_length;

// The file being checked and what its headers say, for the walk through its directory.
static const DWORD RT_STRING_ID = 6, RT_BITMAP_ID = 2;  // RT_STRING and RT_BITMAP, as numbers

struct Layout {
    HANDLE file;
    Offset size;
    Offset section_table;     // where the section headers start
    WORD sections;
    DWORD directory_address;  // the resource directory's address in the module
    DWORD directory_size;     // and its size, as the headers give it
    WORD home;                // the section that holds it (its index)
    IMAGE_SECTION_HEADER home_section;
    Offset directory;         // where the resource directory starts in the file
    Offset section_end;       // where the raw data of the directory's section ends
};

// `length` bytes at `offset` of the file, which the caller has found inside it; false when the
// system could not give them.
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

static void mark_damaged(ModuleCheck* check, DWORD part, PartFault fault)
{
    for (int bit = 0; bit < PART_COUNT; bit++)
        if ((part & (1u << bit)) && !(check->damaged & (1u << bit)))
            check->fault[bit] = static_cast<unsigned char>(fault);
    check->damaged |= part;
}

// A part's bytes: past the end of the file the part is cut; a read the system cannot make leaves
// it unread, which is damage, never a sound part.
static bool read_part(const Layout* file, ModuleCheck* check, Offset offset, void* into, DWORD length, DWORD part)
{
    if (offset + length > file->size) {
        check->cut |= part;
        return false;
    }
    if (read_bytes(file, offset, into, length))
        return true;
    mark_damaged(check, part, FAULT_UNREAD);
    return false;
}

// Whether `length` bytes at the directory-relative offset lie in the directory's section as far
// as the file goes, and in the size the headers give the directory. If not, the part they belong
// to is cut (past the file's end) or damaged.
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
    // Wine finds no resource at all in a directory given less than its root table's header;
    // Windows documents the size as the whole table's, which every table and entry lies in.
    if (at + length > file->directory_size) {
        mark_damaged(check, part, FAULT_DIRECTORY_SIZE);
        return false;
    }
    return true;
}

// Bytes of the directory, once found to lie in it.
static bool read_directory(const Layout* file, ModuleCheck* check, Offset at, void* into, DWORD length)
{
    return directory_holds(file, check, at, length, PART_DIRECTORY) &&
           read_part(file, check, file->directory + at, into, length, PART_DIRECTORY);
}

// The section that holds an address, as the system finds it: the first in the table whose raw
// data spans it, the end reckoned in 32 bits as the system adds it (the headers' check has
// refused a section whose sum wraps). 0 when none does, -1 when its header could not be read.
static int find_section(const Layout* file, ModuleCheck* check, DWORD address, WORD* index,
                        IMAGE_SECTION_HEADER* section)
{
    for (WORD i = 0; i < file->sections; i++) {
        if (!read_part(file, check, file->section_table + sizeof *section * i, section, sizeof *section, PART_HEADERS))
            return -1;
        if (address >= section->VirtualAddress &&
            address < static_cast<DWORD>(section->VirtualAddress + section->SizeOfRawData)) {
            *index = i;
            return 1;
        }
    }
    return 0;
}

// String 1 is the second string of block 1: a length and that many UTF-16 characters each.
static void check_title_data(const Layout* file, ModuleCheck* check, Offset at, DWORD size)
{
    WORD length;
    if (size < sizeof length) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    if (!read_part(file, check, at, &length, sizeof length, PART_TITLE))
        return;
    const Offset second = sizeof length + 2 * static_cast<Offset>(length);
    if (second + sizeof length > size) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    if (!read_part(file, check, at + second, &length, sizeof length, PART_TITLE))
        return;
    if (second + sizeof length + 2 * static_cast<Offset>(length) > size) {
        mark_damaged(check, PART_TITLE, FAULT_STRING_SHORT);
        return;
    }
    // Her title in this language: the dialog's line ends at a character 0.
    WCHAR characters[64];
    for (WORD done = 0; done < length;) {
        const WORD count = static_cast<WORD>(length - done < 64 ? length - done : 64);
        if (!read_part(file, check, at + second + sizeof length + 2u * done, characters, 2u * count, PART_TITLE))
            return;
        for (WORD i = 0; i < count; i++)
            if (characters[i] == 0) {
                mark_damaged(check, PART_TITLE, FAULT_TITLE_ZERO);
                return;
            }
        done = static_cast<WORD>(done + count);
    }
    // Present only when every language has one: the system picks the language by the user's.
    if (length == 0)
        check->title_length = -1;
    else if (check->title_length >= 0 && length > check->title_length)
        check->title_length = length;
}

// A frame: a bitmap header that the system's LoadImage takes, then its colour table and every
// row of its pixels, all inside the resource.
static void check_frame_data(const Layout* file, ModuleCheck* check, Offset at, DWORD size, int number, bool first)
{
    const DWORD part = frame_part(number);
    DWORD header_size;
    if (size < sizeof header_size) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
    if (!read_part(file, check, at, &header_size, sizeof header_size, part))
        return;
    // The headers Windows documents for a bitmap: the core, info, version 4 and version 5 ones.
    const bool core = header_size == sizeof(BITMAPCOREHEADER);
    if (!core && header_size != sizeof(BITMAPINFOHEADER) && header_size != sizeof(BITMAPV4HEADER) &&
        header_size != sizeof(BITMAPV5HEADER)) {
        mark_damaged(check, part, FAULT_BITMAP_HEADER);
        return;
    }
    if (header_size > size) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
    long long width, height;
    DWORD planes, bits, compression = BI_RGB, used, entry;
    if (core) {
        BITMAPCOREHEADER header;
        if (!read_part(file, check, at, &header, sizeof header, part))
            return;
        width = header.bcWidth;
        height = header.bcHeight;
        planes = header.bcPlanes;
        bits = header.bcBitCount;
        used = bits <= 8 ? 1u << bits : 0;
        entry = sizeof(RGBTRIPLE);
    } else {
        BITMAPINFOHEADER header;
        if (!read_part(file, check, at, &header, sizeof header, part))
            return;
        width = header.biWidth;
        height = header.biHeight;
        planes = header.biPlanes;
        bits = header.biBitCount;
        compression = header.biCompression;
        used = header.biClrUsed;
        if (bits <= 8 && used == 0)
            used = 1u << bits;
        entry = sizeof(RGBQUAD);
    }
    if (height < 0)
        height = -height;  // rows stored top-down
    // What the frame is, from its first language (the one the kit reads too).
    FrameFacts ignored;
    FrameFacts* facts = first ? &check->frames[number - 1] : &ignored;
    facts->width = width;
    facts->height = height;
    facts->planes = static_cast<int>(planes);
    facts->bits = static_cast<int>(bits);
    facts->colours = static_cast<int>(used > 0x7FFFFFFF ? 0x7FFFFFFF : used);
    if (width <= 0 || height == 0) {
        mark_damaged(check, part, FAULT_BITMAP_SIZE);
        return;
    }
    if (planes != 1) {
        mark_damaged(check, part, FAULT_BITMAP_PLANES);
        return;
    }
    const bool known_bits = bits == 1 || bits == 4 || bits == 8 || bits == 24 || (!core && (bits == 16 || bits == 32));
    if (!known_bits) {
        mark_damaged(check, part, FAULT_BITMAP_BITS);
        return;
    }
    const bool bit_fields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    if (compression != BI_RGB && !bit_fields) {
        mark_damaged(check, part, FAULT_BITMAP_COMPRESSED);
        return;
    }
    if (used > 256 || (bits <= 8 && used > (1u << bits))) {
        mark_damaged(check, part, FAULT_BITMAP_COLOURS);
        return;
    }
    // The three masks of bit fields follow an info header, and are part of the later ones.
    const Offset masks = bit_fields && header_size < sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD) ? 3 * sizeof(DWORD) : 0;
    const Offset pixels_at = header_size + masks + static_cast<Offset>(used) * entry;
    const Offset stride = (static_cast<Offset>(width) * bits + 31) / 32 * 4;
    if (stride > size || pixels_at + stride * static_cast<Offset>(height) > size) {
        mark_damaged(check, part, FAULT_BITMAP_SHORT);
        return;
    }
}

// One resource the saver uses: its data entry, then the data it points at.
static void check_resource(const Layout* file, ModuleCheck* check, Offset entry_at, DWORD part, int number)
{
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!read_directory(file, check, entry_at, &data, sizeof data))
        return;
    WORD index;
    IMAGE_SECTION_HEADER section;
    const int found = find_section(file, check, data.OffsetToData, &index, &section);
    if (found <= 0) {
        if (found == 0)
            mark_damaged(check, part, FAULT_NO_SECTION);
        return;
    }
    // Windows NT reads a resource through the directory's own section while its address is
    // within that section's virtual size; past it, the system looks the section up again and
    // reads at an offset that holds only when the directory begins its section. Wine always
    // looks the section up. Both read the same bytes when the data lies in the directory's own
    // section and, past its virtual size, the directory begins it.
    if (index != file->home || (data.OffsetToData > file->home_section.Misc.VirtualSize &&
                                file->directory_address != file->home_section.VirtualAddress)) {
        mark_damaged(check, part, FAULT_DATA_ELSEWHERE);
        return;
    }
    const Offset at = static_cast<Offset>(section.PointerToRawData) + (data.OffsetToData - section.VirtualAddress);
    if (at + data.Size > file->size) {
        check->cut |= part;
        return;
    }
    if (part == PART_TITLE) {
        check_title_data(file, check, at, data.Size);
    } else {
        bool first = !(check->present & part);
        check->present |= part;
        check_frame_data(file, check, at, data.Size, number, first);
    }
}

// Entry i of a table.
static bool table_entry(const Layout* file, ModuleCheck* check, Offset table, DWORD i,
                        IMAGE_RESOURCE_DIRECTORY_ENTRY* entry)
{
    return read_directory(file, check, table + sizeof(IMAGE_RESOURCE_DIRECTORY) + sizeof *entry * static_cast<Offset>(i),
                          entry, sizeof *entry);
}

// How two names of the directory compare as the system's search compares them: character by
// character, exactly (a name is looked up in capitals, as the resource compiler stores it), then
// the shorter first. False when a name could not be read.
static bool compare_names(const Layout* file, ModuleCheck* check, Offset first, Offset second, int* order)
{
    WORD length_a, length_b;
    if (!read_directory(file, check, first, &length_a, sizeof length_a) ||
        !read_directory(file, check, second, &length_b, sizeof length_b))
        return false;
    const WORD common = length_a < length_b ? length_a : length_b;
    WCHAR chunk_a[64], chunk_b[64];
    for (WORD done = 0; done < common; done = static_cast<WORD>(done + 64)) {
        const DWORD count = common - done < 64 ? common - done : 64;
        if (!read_directory(file, check, first + sizeof length_a + 2u * done, chunk_a, 2 * count) ||
            !read_directory(file, check, second + sizeof length_b + 2u * done, chunk_b, 2 * count))
            return false;
        for (DWORD i = 0; i < count; i++)
            if (chunk_a[i] != chunk_b[i]) {
                *order = chunk_a[i] < chunk_b[i] ? -1 : 1;
                return true;
            }
    }
    *order = length_a == length_b ? 0 : length_a < length_b ? -1 : 1;
    return true;
}

// The system finds an entry by halving a table: its names first, then its numbers, each in
// ascending order. A table out of that order hides some of its own entries from the system.
// A number is the whole of its entry's name: Windows NT compares all 32 bits, Wine the low 16.
static bool table_in_order(const Layout* file, ModuleCheck* check, Offset table, DWORD named, DWORD count)
{
    Offset previous_name = 0;
    DWORD previous_number = 0;
    for (DWORD i = 0; i < count; i++) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!table_entry(file, check, table, i, &entry))
            return false;
        const bool is_name = (entry.Name & IMAGE_RESOURCE_NAME_IS_STRING) != 0;
        if (is_name != (i < named) || (!is_name && entry.Name > 0xFFFF)) {
            mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
            return false;
        }
        if (is_name) {
            const Offset at = entry.Name & ~IMAGE_RESOURCE_NAME_IS_STRING;
            WORD length;
            int order = 0;
            if (!read_directory(file, check, at, &length, sizeof length) ||
                !directory_holds(file, check, at, sizeof length + 2 * static_cast<Offset>(length), PART_DIRECTORY) ||
                (i > 0 && !compare_names(file, check, previous_name, at, &order)))
                return false;
            if (order > 0) {
                mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
                return false;
            }
            previous_name = at;
        } else {
            if (i > named && entry.Name < previous_number) {
                mark_damaged(check, PART_DIRECTORY, FAULT_ORDER);
                return false;
            }
            previous_number = entry.Name;
        }
    }
    return true;
}

// A table of the directory at a directory-relative offset: its count of entries, once the table,
// all its entries and their names are found to lie in the directory, in the system's order.
static bool directory_table(const Layout* file, ModuleCheck* check, Offset at, DWORD* count)
{
    IMAGE_RESOURCE_DIRECTORY table;
    if (!read_directory(file, check, at, &table, sizeof table))
        return false;
    *count = static_cast<DWORD>(table.NumberOfNamedEntries) + table.NumberOfIdEntries;
    return directory_holds(file, check, at,
                           sizeof table + sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY) * static_cast<Offset>(*count),
                           PART_DIRECTORY) &&
           table_in_order(file, check, at, table.NumberOfNamedEntries, *count);
}

// The languages of one resource: each a data entry, the third and last level.
static void check_languages(const Layout* file, ModuleCheck* check, DWORD target, DWORD part, int number)
{
    if (!(target & IMAGE_RESOURCE_DATA_IS_DIRECTORY)) {
        mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
        return;
    }
    const Offset table = target & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY;
    DWORD count;
    if (!directory_table(file, check, table, &count))
        return;
    for (DWORD i = 0; i < count; i++) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!table_entry(file, check, table, i, &entry))
            return;
        if (entry.OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY) {
            mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
            return;
        }
        check_resource(file, check, entry.OffsetToData, part, number);
    }
}

// Which frame a bitmap's name is: GIRL1 to GIRL17 exactly as the system looks them up, else 0.
static int frame_named(const WCHAR* name, int length)
{
    static const char prefix[] = "GIRL";
    if (length < 5 || length > 6)
        return 0;
    for (int i = 0; i < 4; i++)
        if (name[i] != prefix[i])
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
typedef bool (*EntryCheck)(const Layout* file, ModuleCheck* check, const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry);

static void check_type(const Layout* file, ModuleCheck* check, Offset table, EntryCheck check_entry)
{
    DWORD count;
    if (!directory_table(file, check, table, &count))
        return;
    for (DWORD i = 0; i < count; i++) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!table_entry(file, check, table, i, &entry) || !check_entry(file, check, entry))
            return;
    }
}

static bool check_title_entry(const Layout* file, ModuleCheck* check, const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry)
{
    if (entry.Name == 1)  // block 1: strings 0 to 15
        check_languages(file, check, entry.OffsetToData, PART_TITLE, 0);
    return true;
}

static bool check_frame_entry(const Layout* file, ModuleCheck* check, const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry)
{
    if (!(entry.Name & IMAGE_RESOURCE_NAME_IS_STRING))
        return true;  // a numbered bitmap: no frame of hers
    const Offset at = entry.Name & ~IMAGE_RESOURCE_NAME_IS_STRING;
    WORD length;
    if (!read_directory(file, check, at, &length, sizeof length) ||
        !directory_holds(file, check, at, sizeof length + 2 * static_cast<Offset>(length), PART_DIRECTORY))
        return false;
    WCHAR characters[6];
    if (length > 6)
        return true;
    if (!read_directory(file, check, at + sizeof length, characters, 2u * length))
        return false;
    const int number = frame_named(characters, length);
    if (number)
        check_languages(file, check, entry.OffsetToData, frame_part(number), number);
    return true;
}

// The headers, read as the system reads them to find the resources: the DOS header's pointer to
// "PE\0\0", the file header, an optional header of the 32- or 64-bit kind long enough to hold
// the resource directory's entry where it has one, and the section table.
static bool check_headers(Layout* file, ModuleCheck* check, DWORD* resources)
{
    *resources = 0;
    IMAGE_DOS_HEADER dos;
    if (file->size == 0) {
        check->library_fault = LIBRARY_EMPTY;
        return false;
    }
    if (file->size < sizeof dos) {
        check->library_fault = LIBRARY_NO_START;
        return false;
    }
    if (!read_part(file, check, 0, &dos, sizeof dos, PART_HEADERS))
        return false;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) {
        check->library_fault = LIBRARY_NO_START;
        return false;
    }
    const Offset pe = static_cast<DWORD>(dos.e_lfanew);
    const Offset optional_at = pe + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    // Headers past the end: the file is shorter than its own headers say.
    if (optional_at > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    DWORD signature;
    IMAGE_FILE_HEADER header;
    if (!read_part(file, check, pe, &signature, sizeof signature, PART_HEADERS))
        return false;
    if (signature != IMAGE_NT_SIGNATURE) {
        check->library_fault = LIBRARY_NO_HEADER;
        return false;
    }
    if (!read_part(file, check, pe + sizeof signature, &header, sizeof header, PART_HEADERS))
        return false;
    file->sections = header.NumberOfSections;
    file->section_table = optional_at + header.SizeOfOptionalHeader;
    if (file->section_table > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    union {
        IMAGE_OPTIONAL_HEADER32 narrow;
        IMAGE_OPTIONAL_HEADER64 wide;
    } optional = {};
    const DWORD declared = header.SizeOfOptionalHeader;
    if (declared < sizeof optional.narrow.Magic) {
        mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
        return false;
    }
    if (!read_part(file, check, optional_at, &optional, declared < sizeof optional ? declared : sizeof optional,
                   PART_HEADERS))
        return false;
    // The fields the system finds the resources by, in the optional header of either kind.
    DWORD directories_at, count, size_of_headers;
    const IMAGE_DATA_DIRECTORY* directories;
    if (optional.narrow.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        directories_at = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
        count = optional.narrow.NumberOfRvaAndSizes;
        size_of_headers = optional.narrow.SizeOfHeaders;
        directories = optional.narrow.DataDirectory;
    } else if (optional.narrow.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        directories_at = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
        count = optional.wide.NumberOfRvaAndSizes;
        size_of_headers = optional.wide.SizeOfHeaders;
        directories = optional.wide.DataDirectory;
    } else {
        mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
        return false;
    }
    if (declared < directories_at) {
        mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
        return false;
    }
    if (file->section_table + sizeof(IMAGE_SECTION_HEADER) * static_cast<Offset>(file->sections) > file->size) {
        check->cut |= PART_HEADERS;
        check->shorter_than_sections = 1;
        return false;
    }
    // Fewer than three data directories: no resources, as the system then finds none. Where the
    // count says there are, the system reads the resources' entry whatever the header's size says.
    if (count > IMAGE_DIRECTORY_ENTRY_RESOURCE) {
        if (declared < directories_at + sizeof(IMAGE_DATA_DIRECTORY) * (IMAGE_DIRECTORY_ENTRY_RESOURCE + 1)) {
            mark_damaged(check, PART_HEADERS, FAULT_HEADER_FORM);
            return false;
        }
        *resources = directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
        file->directory_size = check->directory_size = directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size;
    }
    for (WORD i = 0; i < file->sections; i++) {
        IMAGE_SECTION_HEADER section;
        if (!read_part(file, check, file->section_table + sizeof section * i, &section, sizeof section, PART_HEADERS))
            return false;
        // The system adds a section's address and size in 32 bits: past 4 GB the sum wraps, and
        // the section holds nothing the system looks for.
        if (static_cast<Offset>(section.VirtualAddress) + section.SizeOfRawData > 0xFFFFFFFFu) {
            mark_damaged(check, PART_HEADERS, FAULT_SECTION_WRAPS);
            return false;
        }
        if (static_cast<Offset>(section.PointerToRawData) + section.SizeOfRawData > file->size)
            check->shorter_than_sections = 1;
    }
    // An address below the headers' size is read from the headers themselves, not its section.
    if (*resources != 0 && *resources < size_of_headers) {
        mark_damaged(check, PART_HEADERS, FAULT_DIRECTORY_IN_HEADERS);
        return false;
    }
    return true;
}

// The directory's root: the string type (6) and the bitmap type (2), each a table of its own.
static void check_directory(Layout* file, ModuleCheck* check, DWORD resources)
{
    IMAGE_SECTION_HEADER& home = file->home_section;
    const int found = find_section(file, check, resources, &file->home, &home);
    if (found <= 0) {
        if (found == 0)
            mark_damaged(check, PART_DIRECTORY, FAULT_NO_SECTION);
        return;
    }
    file->directory_address = resources;
    file->directory = static_cast<Offset>(home.PointerToRawData) + (resources - home.VirtualAddress);
    file->section_end = static_cast<Offset>(home.PointerToRawData) + home.SizeOfRawData;
    DWORD count;
    if (!directory_table(file, check, 0, &count))
        return;
    for (DWORD i = 0; i < count; i++) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!table_entry(file, check, 0, i, &entry))
            return;
        if (entry.Name != RT_STRING_ID && entry.Name != RT_BITMAP_ID)
            continue;
        if (!(entry.OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY)) {
            mark_damaged(check, PART_DIRECTORY, FAULT_LEVELS);
            continue;
        }
        check_type(file, check, entry.OffsetToData & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY,
                   entry.Name == RT_STRING_ID ? check_title_entry : check_frame_entry);
    }
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
        mark_damaged(check, PART_HEADERS, FAULT_UNREAD);
        return 0;
    }
    if (high != 0) {
        check->library_fault = LIBRARY_TOO_LARGE;
        return 0;
    }
    file.size = low;
    check->file_size = low;
    DWORD resources;
    if (check_headers(&file, check, &resources) && resources != 0)
        check_directory(&file, check, resources);
    // Her title, when every language of block 1 holds one.
    if (check->title_length > 0)
        check->present |= PART_TITLE;
    else
        check->title_length = 0;
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
