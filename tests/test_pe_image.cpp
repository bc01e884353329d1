// The health check reads whatever file the registry names: a library of either
// architecture, or anything else, cut short anywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

void put16(std::string& bytes, std::size_t at, std::uint16_t value) {
    std::memcpy(&bytes[at], &value, 2);
}
void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

// A library with one section at RVA 0x1000 (file offset 0x200) that holds its
// export directory, the table of name addresses and the names.
std::string library(std::uint16_t machine, const std::vector<std::string>& names) {
    const bool wide = machine == pe::kMachineAmd64;
    const std::size_t optional_size = wide ? 240 : 224;
    std::string bytes(0x400, '\0');
    bytes[0] = 'M', bytes[1] = 'Z';
    put32(bytes, 0x3C, 0x80);
    put32(bytes, 0x80, 0x00004550);
    put16(bytes, 0x84, machine);
    put16(bytes, 0x86, 1);
    put16(bytes, 0x94, static_cast<std::uint16_t>(optional_size));
    put16(bytes, 0x98, wide ? 0x20b : 0x10b);
    put32(bytes, 0x98 + (wide ? 112 : 96), 0x1000);  // the export directory
    const std::size_t section = 0x98 + optional_size;
    put32(bytes, section + 8, 0x200);    // virtual size
    put32(bytes, section + 12, 0x1000);  // virtual address
    put32(bytes, section + 16, 0x200);   // raw size
    put32(bytes, section + 20, 0x200);   // raw offset
    put32(bytes, 0x200 + 24, static_cast<std::uint32_t>(names.size()));
    put32(bytes, 0x200 + 32, 0x1040);  // the name addresses
    std::uint32_t text = 0x1080;
    for (std::size_t i = 0; i < names.size(); ++i) {
        put32(bytes, 0x240 + 4 * i, text);
        bytes.replace(0x200 + (text - 0x1000), names[i].size(), names[i]);
        text += static_cast<std::uint32_t>(names[i].size() + 1);
    }
    return bytes;
}

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
