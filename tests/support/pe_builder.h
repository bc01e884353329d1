// Windows library files made from nothing but their headers and export names,
// of either architecture, for the readers and checks that look at such files.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
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

// A block of a version resource: key, a text value or none, and children.
inline std::string version_block(const std::string& key, const std::string* text,
                                 const std::vector<std::string>& children) {
    auto utf16 = [](std::string& bytes, const std::string& ascii) {
        for (const char c : ascii) bytes += c, bytes += '\0';
        bytes += std::string(2, '\0');
    };
    auto pad = [](std::string& bytes) { bytes.resize((bytes.size() + 3) & ~std::size_t(3)); };
    std::string block(6, '\0');
    utf16(block, key);
    pad(block);
    if (text != nullptr) {
        utf16(block, *text);
        put16(block, 2, static_cast<std::uint16_t>(text->size() + 1));
        put16(block, 4, 1);
        pad(block);
    }
    for (const std::string& child : children) {
        block += child;
        pad(block);
    }
    put16(block, 0, static_cast<std::uint16_t>(block.size()));
    return block;
}

// The resources of a library with a version resource that has these strings,
// laid out from `rva` on.
inline std::string version_resources(std::uint32_t rva,
                                     const std::map<std::string, std::string>& strings) {
    std::vector<std::string> values;
    for (const auto& [key, text] : strings) values.push_back(version_block(key, &text, {}));
    const std::string table = version_block("040904B0", nullptr, values);
    const std::string info = version_block("StringFileInfo", nullptr, {table});
    const std::string blob = version_block("VS_VERSION_INFO", nullptr, {info});
    std::string tree(88, '\0');
    const std::uint32_t subdirectory = 0x80000000;
    put16(tree, 14, 1), put32(tree, 16, 16), put32(tree, 20, subdirectory | 24);
    put16(tree, 38, 1), put32(tree, 40, 1), put32(tree, 44, subdirectory | 48);
    put16(tree, 62, 1), put32(tree, 64, 0x409), put32(tree, 68, 72);
    put32(tree, 72, rva + 88), put32(tree, 76, static_cast<std::uint32_t>(blob.size()));
    return tree + blob;
}

// One section at RVA 0x1000 (file offset 0x200) holds the export directory, the
// table of name addresses at 0x1040 (file offset 0x240) and then the names.
// With version strings, a version resource that holds them follows the names.
inline std::string library(std::uint16_t machine, const std::vector<std::string>& names,
                           const std::map<std::string, std::string>& version = {}) {
    const bool wide = machine == pe::kMachineAmd64;
    const std::size_t optional_size = wide ? 240 : 224;
    const std::uint32_t table = 0x1040;
    std::uint32_t text = table + static_cast<std::uint32_t>(4 * names.size());
    std::uint32_t end = text;
    for (const std::string& name : names) end += static_cast<std::uint32_t>(name.size() + 1);
    const std::uint32_t resources_rva = (end + 3) & ~3u;
    const std::string resources =
        version.empty() ? std::string() : version_resources(resources_rva, version);
    if (!version.empty()) end = resources_rva + static_cast<std::uint32_t>(resources.size());
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
    if (!version.empty()) {
        put32(bytes, 0x98 + (wide ? 128 : 112), resources_rva);
        bytes.replace(0x200 + (resources_rva - 0x1000), resources.size(), resources);
    }
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
