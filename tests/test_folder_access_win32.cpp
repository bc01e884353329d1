// Whether users who are not administrators can put files into a folder, decided
// on permissions written as SDDL, as Wine keeps none that a test sets.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <string>

#include "folder_access.h"
#include "wide_text.h"

namespace {

nrwreg::FolderAccess judge(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << sddl;
    const nrwreg::FolderAccess access = nrwreg::judge_folder_descriptor(descriptor);
    LocalFree(descriptor);
    return access;
}

TEST(FolderAccess, FoldersOpenToStandardUsersAreNamedAndOthersPass) {
    const struct {
        const char* name;
        const char* sddl;
        const char* open_to;  // empty: accepted
        bool named;
    } cases[] = {
        {"administrators and the system only",
         "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", "", false},
        {"Authenticated Users may modify", "O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)",
         "Authenticated Users", false},
        {"Everyone has full control", "O:BAD:(A;OICI;FA;;;WD)", "Everyone", false},
        {"Users may make folders, and own what they make (a drive's root)",
         "O:BAD:(A;OICI;FA;;;BA)(A;;0x4;;;BU)(A;OICIIO;GA;;;CO)", "Users", false},
        {"INTERACTIVE may write", "O:BAD:(A;OICI;FA;;;BA)(A;OICI;GW;;;IU)", "INTERACTIVE", false},
        {"a deny before the allow", "O:BAD:(D;OICI;0xd0046;;;BU)(A;OICI;FA;;;BU)(A;OICI;FA;;;BA)",
         "", false},
        {"a deny after the allow comes too late",
         "O:BAD:(A;OICI;FA;;;BU)(D;OICI;0xd0046;;;BU)(A;OICI;FA;;;BA)", "Users", false},
        {"a deny for Everyone holds for Users",
         "O:BAD:(D;OICI;0xd0046;;;WD)(A;OICI;FA;;;BU)(A;OICI;FA;;;BA)", "", false},
        {"inherit-only: the files made there are Users' to change",
         "O:BAD:(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;OIIO;FA;;;BU)", "Users", false},
        {"inherit-only: the folders made there (nrwapis) are Users' to change",
         "O:BAD:(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;CIIO;FA;;;BU)", "Users", false},
        {"for this folder only, and only reading", "O:BAD:(A;OICI;FA;;;BA)(A;NP;0x1200a9;;;BU)", "",
         false},
        {"one named account: a note", "O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", "",
         true},
        {"owned by a named account",
         "O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;WD)", "", true},
        {"as Wine reports every path",
         "O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
         "(A;OICI;0x1200a9;;;WD)",
         "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const nrwreg::FolderAccess access = judge(c.sddl);
        EXPECT_FALSE(access.unreadable);
        EXPECT_EQ(c.open_to, nrwreg::listed(access.open_to));
        EXPECT_EQ(c.named, !access.named.empty());
    }
}

// Built by hand: Wine turns NO_ACCESS_CONTROL into an empty list instead.
TEST(FolderAccess, NoPermissionsAtAllLetEveryoneIn) {
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    EXPECT_EQ("Everyone", nrwreg::listed(nrwreg::judge_folder_descriptor(&descriptor).open_to));
}

TEST(FolderAccess, TheFixKeepsReadingAndRunning) {
    const nrwreg::FolderAccess access =
        judge("O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)(A;OICI;FA;;;BU)");
    EXPECT_EQ(
        "icacls \"C:\\Navigator\" /inheritance:d && icacls \"C:\\Navigator\" /grant:r "
        "*S-1-5-11:(OI)(CI)RX *S-1-5-32-545:(OI)(CI)RX /T (they keep reading and running "
        "it), or install Norrow Navigator into a folder under Program Files",
        nrwreg::open_folder_fix("C:\\Navigator", access));
}

// Narrow text is the ANSI code page's, double-byte characters included: the
// installer's log and the health check show a Japanese or Chinese folder as
// the user wrote it, and a copied fix names the right folder.
TEST(WideText, EveryCharacterAsItsCodePageSpellsIt) {
    const struct {
        unsigned code_page;
        const char* narrow;
        const wchar_t* wide;
    } cases[] = {
        {932, "C:\\\x95\x5C\\", L"C:\\\u8868\\"},            // 表
        {932, "\x8F\x5C\x94\x5C", L"\u5341\u80FD"},          // 十能
        {950, "C:\\\xB3\x5C\xA5\x5C", L"C:\\\u8A31\u529F"},  // 許功
        {1252, "caf\xE9", L"caf\u00E9"},
        {65001, "\xE8\xA1\xA8", L"\u8868"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code_page);
        EXPECT_EQ(std::wstring(c.wide), host::widened(c.narrow, c.code_page));
        std::string narrow;
        EXPECT_TRUE(host::narrowed(c.wide, narrow, c.code_page));
        EXPECT_EQ(std::string(c.narrow), narrow);
    }
    const nrwreg::FolderAccess access =
        judge("O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)(A;OICI;FA;;;BU)");
    const std::wstring fix = host::widened(nrwreg::open_folder_fix("C:\\\x95\x5C", access), 932);
    EXPECT_EQ(0u, fix.find(L"icacls \"C:\\\u8868\" /inheritance:d"));
}

// What a code page cannot spell is refused, never replaced by a look-alike.
TEST(WideText, ACharacterTheCodePageLacksIsRefused) {
    for (const auto& [code_page, wide] :
         {std::pair<unsigned, const wchar_t*>{1252, L"\u041D\u0430\u0432"},  // Нав
          {1252, L"C:\\\u8868"},
          {932, L"\u041D\u00E9"}}) {
        SCOPED_TRACE(code_page);
        std::string narrow = "left over";
        EXPECT_FALSE(host::narrowed(wide, narrow, code_page));
        EXPECT_EQ("", narrow);
    }
}

}  // namespace
