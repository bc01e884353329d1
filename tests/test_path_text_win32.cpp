// The code pages' lead bytes as the system itself knows them, and the one the
// locale of this run gives.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "path_text.h"

namespace {

TEST(PathTextOnWindows, LeadBytesAreTheSystemsOwn) {
    for (const unsigned code_page : {932u, 936u, 949u, 950u, 1252u}) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            SCOPED_TRACE(std::to_string(code_page) + ": byte " + std::to_string(byte));
            EXPECT_EQ(
                IsDBCSLeadByteEx(code_page, static_cast<BYTE>(byte)) != 0,
                nrwapis::path_text::is_lead_byte(static_cast<unsigned char>(byte), code_page));
        }
    }
}

// A run under another locale says which code page it expects (NRW_EXPECT_ACP):
// the tests after it mean nothing under another one.
TEST(PathTextOnWindows, TheAnsiCodePageIsTheOneThisRunExpects) {
    const char* expected = std::getenv("NRW_EXPECT_ACP");
    if (expected == nullptr) GTEST_SKIP() << "no code page expected (NRW_EXPECT_ACP)";
    EXPECT_EQ(static_cast<UINT>(std::atoi(expected)), GetACP());
}

}  // namespace
