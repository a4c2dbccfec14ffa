// string_table.cpp --- reads a string from a string table block, as the resource compiler wrote it.
#include "base/string_table.h"

// A string table resource holds sixteen strings, numbers 16 (n - 1) to 16 n - 1 for block n, each
// a count of UTF-16 characters and then the characters, without terminator: on every Windows,
// whatever the code page, as the resource compiler wrote them.
int find_string(HMODULE module, UINT id, WORD language, WCHAR* text, int size)
{
    text[0] = L'\0';
    HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language);
    if (!found)
        return -1;
    const DWORD bytes = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const WORD* at = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!at)
        return -1;
    const WORD* end = at + bytes / sizeof(WORD);
    for (UINT skip = id % 16; skip > 0 && at < end; skip--)
        at += 1 + *at;
    if (at >= end)
        return 0;
    int length = *at++;
    if (length > end - at)
        length = static_cast<int>(end - at);
    if (length > size - 1)
        length = size - 1;
    for (int i = 0; i < length; i++)
        text[i] = static_cast<WCHAR>(at[i]);
    text[length] = L'\0';
    return length;
}
