// Paths split as characters of their code page: in the double-byte code pages a
// second byte of 0x5C is part of a character, not a backslash. The code page is
// an input, so these tables hold on every system.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"
#include "path_text.h"

namespace {

using namespace nrwapis::path_text;

// Shift-JIS 表 95 5C, ソ 83 5C, 十 8F 5C, 能 94 5C, ポ 83 7C ('|'), ゼ 83 5B ('[');
// GBK 乗 81 5C; Big5 許 B3 5C, 功 A5 5C, 成 A6 A8; 表 in UTF-8 E8 A1 A8.
struct NameCase {
    unsigned code_page;
    const char* path;
    const char* name;  // after the last backslash
};

TEST(PathText, TheNameAfterTheLastBackslashIsCutAtACharacter) {
    const NameCase cases[] = {
        {932, "C:\\d\\\x95\x5C.txt", "\x95\x5C.txt"},
        {932, "C:\\d\\x\x95\x5C", "x\x95\x5C"},
        {932, "C:\\d\\\x95\x5C", "\x95\x5C"},
        {932, "C:\\d\\\x95\x5C\x95\x5C", "\x95\x5C\x95\x5C"},
        {932,
         "C:\\d\\a\x83\x5C"
         "b.c",
         "a\x83\x5C"
         "b.c"},
        {932, "C:\\\x8F\x5C\\\x94\x5C.lua", "\x94\x5C.lua"},
        {932, "C:\\d\\\x95\x5CNUL.txt", "\x95\x5CNUL.txt"},
        {932, "C:\\d\\\x83\x7C|\x83\x5B[.h", "\x83\x7C|\x83\x5B[.h"},
        {932, "C:\\d\\", ""},
        {932, "C:\\d\\a\x95", "a\x95"},  // a lead byte with nothing after it stands alone
        {932, "plain.txt", "plain.txt"},
        {936, "C:\\d\\\x81\x5C.c", "\x81\x5C.c"},
        {950, "C:\\\xA5\x5C\\\xB3\x5C", "\xB3\x5C"},
        {950, "C:\\d\\\xA6\xA8.c", "\xA6\xA8.c"},
        // Single-byte code pages and UTF-8: every ASCII byte is a character.
        {1252, "C:\\d\\\x95\x5C.txt", ".txt"},
        {1252, "C:\\d\\x\x95\x5C", ""},
        {kSingleByte, "C:\\d\\\x95\x5CNUL.txt", "NUL.txt"},
        {kUtf8, "C:\\d\\\xE8\xA1\xA8.txt", "\xE8\xA1\xA8.txt"},
        {kUtf8, "C:\\\xE8\xA1\xA8\\a\xE8\xA1\xA8", "a\xE8\xA1\xA8"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.path);
        EXPECT_EQ(c.name, name_after_last_backslash(c.path, c.code_page));
    }
}

TEST(PathText, FoldersEndAtTheirLastSeparatorCharacter) {
    const NameCase cases[] = {
        {932, "C:\\\x95\x5C\\a.txt", "C:\\\x95\x5C\\"},
        {932, "C:\\\x95\x5C/a.txt", "C:\\\x95\x5C/"},
        {932, "C:\\d\\\x95\x5C", "C:\\d\\"},
        {950, "C:\\\xB3\x5C\\\xA5\x5C", "C:\\\xB3\x5C\\"},
        {1252, "C:\\d\\\x95\x5C", "C:\\d\\\x95\x5C"},
        {932, "no-folder", ""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.path);
        EXPECT_EQ(c.name, folder_of(c.path, c.code_page));
    }
}

// The client library finds the navigator one folder above its own.
TEST(PathText, TheInstallationFolderAboveTheLibrary) {
    const NameCase cases[] = {
        {932, "C:\\\x95\x5C\\nrwapis\\libnrwapis.dll", "C:\\\x95\x5C\\"},
        {932, "C:\\a\\\x8F\x5C\\libnrwapis.dll", "C:\\a\\"},
        {1252, "C:\\a\\\x8F\x5C\\libnrwapis.dll", "C:\\a\\\x8F\\"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.path);
        EXPECT_EQ(c.name, nrwapis::install_folder_from_module_path(c.path, c.code_page));
    }
}

// As the file system counts a name: UTF-16 units.
TEST(PathText, LengthsAreCountedAsTheFileSystemCounts) {
    const struct {
        unsigned code_page;
        const char* text;
        std::size_t units;
    } cases[] = {
        {932, "\x95\x5C", 1},
        {932,
         "a\x95\x5C"
         "b",
         3},
        {936, "\x81\x5C\x81", 2},
        {950, "\xB3\x5C\xA5\x5C", 2},
        {1252, "\x95\x5C", 2},
        {kUtf8, "\xE8\xA1\xA8", 1},
        {kUtf8, "\xF0\x9F\x98\x80", 2},
        {kUtf8, "a\xE8\xA1\xA8.c", 4},
        {kSingleByte, "abc", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code_page) + ": " + c.text);
        EXPECT_EQ(c.units, utf16_length(c.text, c.code_page));
    }
}

}  // namespace
