// Windows library files made from nothing but their headers and export names,
// of either architecture, for the readers and checks that look at such files.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pe_image.h"

namespace testsys {

inline void put16(std::string& bytes, std::size_t at, std::uint16_t value) {
    std::memcpy(&bytes[at], &value, 2);
}
inline void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

// One section at RVA 0x1000 (file offset 0x200) holds the export directory, the
// table of name addresses at 0x1040 (file offset 0x240) and then the names.
inline std::string library(std::uint16_t machine, const std::vector<std::string>& names) {
    const bool wide = machine == pe::kMachineAmd64;
    const std::size_t optional_size = wide ? 240 : 224;
    const std::uint32_t table = 0x1040;
    std::uint32_t text = table + static_cast<std::uint32_t>(4 * names.size());
    std::uint32_t end = text;
    for (const std::string& name : names) end += static_cast<std::uint32_t>(name.size() + 1);
    const std::uint32_t section_size = (end - 0x1000 + 0x1FF) & ~0x1FFu;
    std::string bytes(0x200 + section_size, '\0');
    bytes[0] = 'M', bytes[1] = 'Z';
    put32(bytes, 0x3C, 0x80);
    put32(bytes, 0x80, 0x00004550);
    put16(bytes, 0x84, machine);
    put16(bytes, 0x86, 1);
    put16(bytes, 0x94, static_cast<std::uint16_t>(optional_size));
    put16(bytes, 0x98, wide ? 0x20b : 0x10b);
    put32(bytes, 0x98 + (wide ? 112 : 96), 0x1000);  // the export directory
    const std::size_t section = 0x98 + optional_size;
    put32(bytes, section + 8, section_size);   // virtual size
    put32(bytes, section + 12, 0x1000);        // virtual address
    put32(bytes, section + 16, section_size);  // raw size
    put32(bytes, section + 20, 0x200);         // raw offset
    put32(bytes, 0x200 + 24, static_cast<std::uint32_t>(names.size()));
    put32(bytes, 0x200 + 32, table);
    for (std::size_t i = 0; i < names.size(); ++i) {
        put32(bytes, 0x200 + (table - 0x1000) + 4 * i, text);
        bytes.replace(0x200 + (text - 0x1000), names[i].size(), names[i]);
        text += static_cast<std::uint32_t>(names[i].size() + 1);
    }
    return bytes;
}

}  // namespace testsys
