// The transport's framing reader fed the same bytes in pieces of random sizes:
// however the bytes are cut, it must reach the same verdict and keep every byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framing.h"
#include "protocol_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::size_t cuts = data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    std::string text;
    nrwapis::ResponseFramer framer(text);
    std::size_t offset = 0;
    for (std::size_t piece = 0; offset < length; ++piece) {
        // Piece sizes come from the data itself, so the fuzzer explores the cuts.
        std::size_t step =
            1 + (piece < cuts ? static_cast<unsigned char>(bytes[piece % length]) % 23 : length);
        if (step > length - offset) step = length - offset;
        framer.append(bytes + offset, step);
        offset += step;
    }
    const std::string whole(bytes, length);
    const bool complete = whole.find(nrwapis::protocol::kResponseEnd) != std::string::npos;
    using State = nrwapis::ResponseFramer::State;
    if (complete != (framer.state() == State::complete)) __builtin_trap();
    if (text != whole) __builtin_trap();
    return 0;
}
