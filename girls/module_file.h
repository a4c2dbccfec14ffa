// module_file.h --- whether a girl module file can be read safely: the rule, part by part.
//
// A module is a library that the system's resource functions read from a plain mapping of the
// file: a part that lies past the end of a file cut short is read from memory that is not there,
// and the reading program faults. So before any resource of a module is touched, every part the
// saver will have read (headers, section table, resource directory, string 1's table, the frames
// GIRL1 to GIRL17) is checked against the file's real size, and found as the system's own loader
// finds it, reading the file through a small fixed buffer: a module is complete only where the
// system loads her title and every frame. docs/reference.md states the rule; the girl module kit
// applies the same one (tools/kit/core/module.js, line for line).
#pragma once
#include <windows.h>

const int MODULE_FRAMES = 17;

// The parts of a module the saver reads, as bits: GIRL1 to GIRL17 are bits 0 to 16.
const DWORD PART_TITLE = 1u << 17;      // string 1, in block 1 of the string table
const DWORD PART_HEADERS = 1u << 18;    // the headers and the section table
const DWORD PART_DIRECTORY = 1u << 19;  // the resource directory
const int PART_COUNT = 20;
inline DWORD frame_part(int number) { return 1u << (number - 1); }  // GIRLn, n from 1

// What is wrong with a damaged part, for the sentence that names it.
enum PartFault {
    FAULT_NONE,
    FAULT_HEADER_FORM,        // the headers do not hold what a library's hold
    FAULT_NO_SECTION,         // it lies in none of the file's sections
    FAULT_OUTSIDE_SECTION,    // the directory points outside its own section
    FAULT_LEVELS,             // the directory is not of a library's three levels
    FAULT_ORDER,              // a table of the directory is out of the order the system searches
    FAULT_STRING_SHORT,       // string 1 runs past the end of its table
    FAULT_BITMAP_HEADER,      // a bitmap header of no known size
    FAULT_BITMAP_SIZE,        // no width, or no height
    FAULT_BITMAP_BITS,        // bits a pixel that no bitmap has
    FAULT_BITMAP_COMPRESSED,  // compressed, which the saver does not read
    FAULT_BITMAP_COLOURS,     // more colours in its table than its pixels can name, or over 256
    FAULT_BITMAP_SHORT,       // its table or pixels run past the end of its resource
    FAULT_UNREAD,             // the system could not read it from the disk
    FAULT_SECTION_WRAPS,      // a section's address and size pass 4 GB, where the system's sum wraps
    FAULT_DIRECTORY_IN_HEADERS, // the directory's address lies inside the headers
    FAULT_DATA_ELSEWHERE,     // its data lies outside the directory's own section
    FAULT_BITMAP_PLANES,      // colour planes other than 1
    FAULT_TITLE_ZERO,         // string 1 holds a character 0, where the dialog's line ends
    FAULT_DIRECTORY_SIZE,     // the headers give the directory fewer bytes than its tables take
};

// Why a file is no library at all.
enum LibraryFault {
    LIBRARY_SOUND,
    LIBRARY_EMPTY,            // the file is empty
    LIBRARY_NO_START,         // it does not start as a Windows program or library does
    LIBRARY_NO_HEADER,        // its header is not a Windows library's
    LIBRARY_TOO_LARGE,        // over 4 GB
};

// One frame as its bitmap header describes it (when it is in the file).
struct FrameFacts {
    long long width, height;
    int planes;
    int bits;
    int colours;              // entries of its colour table
};

struct ModuleCheck {
    int readable;             // 1: every part the saver reads lies inside the file, as it claims,
                              // and was read: a part that could not be read is never sound
    DWORD file_size;
    int library_fault;        // a LibraryFault
    DWORD cut;                // parts that lie, at least partly, past the end of the file
    DWORD damaged;            // parts inside the file that do not hold what they claim
    int shorter_than_sections;// the file ends before its sections say they do: it was cut short
    DWORD directory_size;     // the resource directory's size, as the headers give it
    unsigned char fault[PART_COUNT];  // a PartFault for each damaged part
    DWORD present;            // the parts the module has: its title (in every language of
                              // string block 1) and which frames
    int title_length;         // of string 1, in characters as stored (the longest of its
                              // languages); 0 when it has none
    FrameFacts frames[MODULE_FRAMES];
};

// Checks the module in an open file against the rule. Gives check->readable.
int check_module_file(HANDLE file, ModuleCheck* check);

// A module opened for reading: the file held against writers from its check to its release,
// so what was checked is what the system reads.
struct OpenModule {
    HANDLE file;
    HMODULE module;           // as data; null when the file is unreadable or could not be opened
    ModuleCheck check;
};

// Opens and checks the module at the full path; on success loads it as data. The check tells
// why not, when the module is null (a file that cannot be opened at all is no library).
HMODULE open_module(const char* path, OpenModule* opened);
void close_module(OpenModule* opened);
