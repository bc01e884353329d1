// The health check's reader of Windows library files: whatever the registry
// names, it answers without reading past the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pe::Image image;
    pe::read_image(std::string(reinterpret_cast<const char*>(data), size), image);
    return 0;
}
