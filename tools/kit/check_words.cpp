// check_words.cpp --- the checker's sentences about a module the saver will not read.
#include "check_words.h"

#include <cstring>

std::string words(const char* sentence, std::initializer_list<Slot> slots)
{
    std::string text;
    for (const char* at = sentence; *at;) {
        const char* close = *at == '{' ? strchr(at, '}') : nullptr;
        const Slot* slot = nullptr;
        for (const Slot& candidate : slots)
            if (close && std::string(at + 1, close) == candidate.name)
                slot = &candidate;
        if (slot) {
            text += slot->value;
            at = close + 1;
        } else {
            text += *at++;
        }
    }
    return text;
}

std::string format_count(unsigned long long value)
{
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

std::string listed(const std::vector<std::string>& items)
{
    if (items.size() < 2)
        return items.empty() ? std::string() : items[0];
    std::string most;
    for (size_t i = 0; i + 1 < items.size(); i++)
        most += (i ? ", " : "") + items[i];
    return words(sentence::partsAnd, {{"most", most}, {"last", items.back()}});
}

std::string to_utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring from_utf8(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

// "its frames GIRL14 to GIRL17 and its title": the parts of a mask, frames as runs; and whether
// they take "lie" or "lies".
static std::string name_parts(DWORD parts, bool* plural)
{
    std::vector<std::string> items;
    if (parts & PART_HEADERS)
        items.push_back(sentence::partsHeaders);
    if (parts & PART_DIRECTORY)
        items.push_back(sentence::partsDirectory);
    std::string runs;
    int frames = 0;
    for (int n = 1; n <= MODULE_FRAMES; n++) {
        if (!(parts & frame_part(n)))
            continue;
        int last = n;
        while (last < MODULE_FRAMES && (parts & frame_part(last + 1)))
            last++;
        frames += last - n + 1;
        if (!runs.empty())
            runs += ", ";
        if (last == n)
            runs += "GIRL" + std::to_string(n);
        else if (last == n + 1)
            runs += "GIRL" + std::to_string(n) + ", GIRL" + std::to_string(last);
        else
            runs += words(sentence::partsFrameRun, {{"first", std::to_string(n)}, {"last", std::to_string(last)}});
        n = last;
    }
    if (frames)
        items.push_back(words(frames > 1 ? sentence::partsFrames : sentence::partsFrame, {{"frames", runs}}));
    if (parts & PART_TITLE)
        items.push_back(sentence::partsTitle);
    *plural = items.size() > 1 || frames > 1 || (parts & PART_HEADERS);
    return listed(items);
}

// What is wrong with a damaged part.
static std::string fault_of(int bit, const ModuleCheck& check)
{
    const FrameFacts none = {};
    const FrameFacts& facts = bit < MODULE_FRAMES ? check.frames[bit] : none;
    switch (check.fault[bit]) {
    case FAULT_HEADER_FORM: return sentence::faultHeaderForm;
    case FAULT_NO_SECTION: return sentence::faultNoSection;
    case FAULT_OUTSIDE_SECTION: return sentence::faultOutsideSection;
    case FAULT_LEVELS: return sentence::faultLevels;
    case FAULT_ORDER: return sentence::faultOrder;
    case FAULT_STRING_SHORT: return sentence::faultStringShort;
    case FAULT_BITMAP_HEADER: return sentence::faultBitmapHeader;
    case FAULT_BITMAP_SIZE:
        return words(sentence::faultBitmapSize, {{"width", std::to_string(facts.width)}, {"height", std::to_string(facts.height)}});
    case FAULT_BITMAP_BITS: return words(sentence::faultBitmapBits, {{"bits", std::to_string(facts.bits)}});
    case FAULT_BITMAP_COMPRESSED: return sentence::faultBitmapCompressed;
    case FAULT_BITMAP_COLOURS: return words(sentence::faultBitmapColours, {{"colours", std::to_string(facts.colours)}});
    case FAULT_UNREAD: return sentence::faultUnread;
    case FAULT_SECTION_WRAPS: return sentence::faultSectionWraps;
    case FAULT_DIRECTORY_IN_HEADERS: return sentence::faultDirectoryInHeaders;
    case FAULT_DATA_ELSEWHERE: return sentence::faultDataElsewhere;
    case FAULT_BITMAP_PLANES: return words(sentence::faultBitmapPlanes, {{"planes", std::to_string(facts.planes)}});
    case FAULT_TITLE_ZERO: return sentence::faultTitleZero;
    case FAULT_DIRECTORY_SIZE: return words(sentence::faultDirectorySize, {{"size", format_count(check.directory_size)}});
    default: return sentence::faultBitmapShort;
    }
}

std::vector<std::string> unreadable_lines(const ModuleCheck& check, const char* name)
{
    const char* why = check.library_fault == LIBRARY_EMPTY       ? sentence::whyEmpty
                      : check.library_fault == LIBRARY_NO_START  ? sentence::whyNoStart
                      : check.library_fault == LIBRARY_NO_HEADER ? sentence::whyNoHeader
                      : check.library_fault == LIBRARY_TOO_LARGE ? sentence::whyTooLarge
                                                                 : nullptr;
    if (why)
        return {"module: " + words(sentence::notGirlModule, {{"file", name}, {"why", why}})};
    std::vector<std::string> lines;
    if (check.cut) {
        bool plural;
        std::string parts = name_parts(check.cut, &plural);
        lines.push_back("module: " + words(sentence::cutShort,
                                           {{"size", format_count(check.file_size)},
                                            {"parts", parts},
                                            {"lie", plural ? sentence::cutLie : sentence::cutLies},
                                            {"why", check.shorter_than_sections ? sentence::whyCutShort
                                                                                : sentence::whyCutDamaged}}));
    }
    static const int order[PART_COUNT] = {18, 19, 17, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int bit : order) {
        if (!(check.damaged & (1u << bit)))
            continue;
        std::string part = bit == 17   ? sentence::partTitle
                           : bit == 18 ? sentence::partHeaders
                           : bit == 19 ? sentence::partDirectory
                                       : "GIRL" + std::to_string(bit + 1);
        lines.push_back(words(sentence::damaged, {{"part", part}, {"fault", fault_of(bit, check)}}));
    }
    return lines;
}
