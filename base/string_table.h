// string_table.h --- one string of a module's string table, in one language, read from the
// resource itself.
#pragma once
#include <windows.h>

// String `id` of `module` in exactly `language`, as UTF-16 into `text` of `size` characters, cut
// to fit and always terminated: its length, or -1 where the module holds no such block in that
// language (0 where the block holds the string empty).
int find_string(HMODULE module, UINT id, WORD language, WCHAR* text, int size);
