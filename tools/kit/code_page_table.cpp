// code_page_table.cpp --- how Windows itself shows each UTF-16 character in each code page of the
// Windows 95 family that the kit names: the table tools/kit/make_code_pages.mjs checks the
// platform's decoders against, to write what the kit must know beyond them.
//
// Usage: code_page_table.exe OUT
// Writes, for each code page in turn, 65,536 little-endian UTF-16 units: for every unit, the one
// the system gives back after turning it into the code page and that again into UTF-16, exactly as
// the 95 family's LoadStringA and MultiByteToWideChar do to a girl's title (best fit included).
#include <windows.h>

#include <cstdio>

static const UINT CODE_PAGES[] = {932, 936, 949, 950, 1250, 1251, 1252};

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: code_page_table.exe OUT\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "wb");
    if (!out)
        return 1;
    static WCHAR table[65536];
    for (UINT code_page : CODE_PAGES) {
        for (unsigned unit = 0; unit < 65536; unit++) {
            const WCHAR in = static_cast<WCHAR>(unit);
            char bytes[4];
            WCHAR back[4];
            const int size = WideCharToMultiByte(code_page, 0, &in, 1, bytes, sizeof bytes, nullptr, nullptr);
            if (size <= 0 || MultiByteToWideChar(code_page, 0, bytes, size, back, 4) != 1) {
                fprintf(stderr, "U+%04X in code page %u does not come back as one character\n", unit, code_page);
                return 1;
            }
            table[unit] = back[0];
        }
        fwrite(table, sizeof table, 1, out);
    }
    return fclose(out) == 0 ? 0 : 1;
}
