// Narrow paths as the ANSI code page spells them, split by characters. In the
// double-byte code pages (932 Japanese, 936 Simplified Chinese, 949 Korean, 950
// Traditional Chinese) a character may take two bytes, and its second byte may
// be 0x5C, which on its own is the backslash ("表" is 95 5C in 932), or '/',
// '|', '[' or a letter. A separator is therefore only a byte that is a
// character of its own. In the single-byte code pages and in UTF-8 (65001, where
// no byte of a longer character is below 0x80) every ASCII byte is one.
//
// The code page is an input, so that the rules are the same, and tested, on
// every system; each system's back end gives its own (platform: ansi_code_page).
// Shared by the client library, the plug-in, the tools and the stand-in helper.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace nrwapis::path_text {

constexpr unsigned kSingleByte = 0;  // every byte a character
constexpr unsigned kUtf8 = 65001;

// Whether the byte starts a two-byte character in the code page.
inline bool is_lead_byte(unsigned char byte, unsigned code_page) {
    switch (code_page) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

// The offset of the last byte before `end` that is one of `separators` (ASCII)
// and a character of its own; npos where there is none. A lead byte at the very
// end, with nothing after it, stands alone.
inline std::size_t last_separator(const std::string& path, unsigned code_page,
                                  const char* separators = "\\/",
                                  std::size_t end = std::string::npos) {
    const std::size_t stop = end < path.size() ? end : path.size();
    std::size_t found = std::string::npos;
    for (std::size_t at = 0; at < stop;) {
        const unsigned char byte = static_cast<unsigned char>(path[at]);
        if (is_lead_byte(byte, code_page) && at + 1 < path.size()) {
            at += 2;
            continue;
        }
        if (byte != 0 && std::strchr(separators, byte) != nullptr) found = at;
        ++at;
    }
    return found;
}

// The part after the last backslash; the whole path where there is none.
inline std::string name_after_last_backslash(const std::string& path, unsigned code_page) {
    const std::size_t slash = last_separator(path, code_page, "\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder of a file's path with its last separator ("C:\a\" of "C:\a\b.dll");
// empty where there is no separator.
inline std::string folder_of(const std::string& path, unsigned code_page,
                             const char* separators = "\\/") {
    const std::size_t slash = last_separator(path, code_page, separators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// How long the text is as the file system counts names: in UTF-16 units, each
// character of a double-byte code page one, a UTF-8 character beyond the basic
// plane two.
inline std::size_t utf16_length(const std::string& text, unsigned code_page) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (code_page == kUtf8) {
            if ((byte & 0xC0) == 0x80) continue;  // continues the character before
            units += byte >= 0xF0 ? 2 : 1;
            continue;
        }
        if (is_lead_byte(byte, code_page) && at + 1 < text.size()) ++at;
        ++units;
    }
    return units;
}

}  // namespace nrwapis::path_text
