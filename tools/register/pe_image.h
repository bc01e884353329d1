// What the health check needs to know of a Windows program file without loading
// it: the processor it was built for and the names it exports. Plain C++, so that
// a file of the other architecture can be read too.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pe {

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct Image {
    std::uint16_t machine = 0;
    std::vector<std::string> exports;
    // The string values of the version resource by name (FileVersion, ...);
    // characters outside ASCII read as '?'.
    std::map<std::string, std::string> version_strings;
    // Whether the file carries an Authenticode signature (not whether it verifies).
    bool has_signature = false;
};

// False when the bytes are not a Windows program file this reader understands.
bool read_image(const std::string& bytes, Image& image);
// The same for a file; false too when it cannot be read.
bool read_image_file(const std::string& path, Image& image);

// "32-bit", "64-bit" or "unknown".
const char* bits_of(std::uint16_t machine);

}  // namespace pe
