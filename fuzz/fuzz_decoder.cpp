// Whole response texts into every response class, with and without a query part.
#include <cstddef>
#include <cstdint>
#include <string>

#include "responses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int mode = data[0] % 3;
    const int count = data[1] % 9;
    const bool query = (data[0] & 0x80) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    int statuses[8] = {};
    char* op_msg = nullptr;
    long result = 0;
    NRWAPIS_CustomQueryResponse query_part(&result);
    auto response = NRWAPIS_ResponseFactory::instance()->create_response(mode);
    const int status =
        response->decode(text, count, statuses, &op_msg, query ? &query_part : nullptr);
    if (status < 0 || status > 2) __builtin_trap();
    if (op_msg != nullptr && mode != 1) __builtin_trap();
    delete[] op_msg;
    return 0;
}
