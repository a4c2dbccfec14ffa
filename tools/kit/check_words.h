// check_words.h --- the checker's sentences about a module, in the kit's words (sentences.json),
// the very ones the girl maker page shows.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "girls/module_file.h"
#include "kit_sentences.h"

// A value put into a sentence where it says {name}.
struct Slot {
    const char* name;
    std::string value;
};

// The sentence with each of its {slots} filled.
std::string words(const char* sentence, std::initializer_list<Slot> slots = {});

// A count of bytes as a person reads it: 404,652.
std::string format_count(unsigned long long value);

// Items as a sentence lists them: "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& items);

// Text between UTF-16, as Windows and her title hold it, and UTF-8, as the sentences are written.
std::string to_utf8(const std::wstring& text);
std::wstring from_utf8(const std::string& text);

// The lines the checker prints for a module the saver will not read, each after its label
// ("module: ..." for the file as a whole, "GIRL5: damaged: ..." for a part).
std::vector<std::string> unreadable_lines(const ModuleCheck& check, const char* name);
