// The health check reads whatever file the registry names: a library of either
// architecture, or anything else, cut short anywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pe_builder.h"
#include "pe_image.h"

namespace {

using testsys::library;
using testsys::put32;

TEST(PeImage, ReadsTheMachineAndTheExportedNamesOfBothArchitectures) {
    const std::vector<std::string> names = {"SccGetVersion", "SccInitialize"};
    for (const std::uint16_t machine : {pe::kMachineI386, pe::kMachineAmd64}) {
        pe::Image image;
        ASSERT_TRUE(pe::read_image(library(machine, names), image));
        EXPECT_EQ(machine, image.machine);
        EXPECT_EQ(names, image.exports);
    }
    EXPECT_STREQ("32-bit", pe::bits_of(pe::kMachineI386));
    EXPECT_STREQ("64-bit", pe::bits_of(pe::kMachineAmd64));
    EXPECT_STREQ("unknown", pe::bits_of(0x01c4));
}

TEST(PeImage, TellsWhetherAFileCarriesASignature) {
    for (const std::uint16_t machine : {pe::kMachineI386, pe::kMachineAmd64}) {
        std::string bytes = library(machine, {"SccGetVersion"});
        pe::Image image;
        ASSERT_TRUE(pe::read_image(bytes, image));
        EXPECT_FALSE(image.has_signature);
        // The certificate table's size, in the fifth data directory.
        put32(bytes, 0x98 + (machine == pe::kMachineAmd64 ? 112 : 96) + 36, 0x400);
        ASSERT_TRUE(pe::read_image(bytes, image));
        EXPECT_TRUE(image.has_signature);
    }
}

TEST(PeImage, RefusesWhatIsNoLibraryAndSurvivesEveryCut) {
    pe::Image image;
    EXPECT_FALSE(pe::read_image("not a library", image));
    EXPECT_FALSE(pe::read_image("", image));
    const std::string whole = library(pe::kMachineAmd64, {"SccGetVersion"});
    // Cut anywhere, the reader answers without reading past the end.
    for (std::size_t length = 0; length < whole.size(); ++length)
        pe::read_image(whole.substr(0, length), image);
    // A name table that points far outside the file, or an absurd count.
    std::string broken = whole;
    put32(broken, 0x240, 0x7FFFFFF0);
    EXPECT_FALSE(pe::read_image(broken, image));
    broken = whole;
    put32(broken, 0x200 + 24, 0xFFFFFFFF);
    EXPECT_FALSE(pe::read_image(broken, image));
}

}  // namespace
