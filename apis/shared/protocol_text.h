// The tags that open and close requests and responses, and the rule that keeps
// a text value from ending a message early. Shared by the client library, the
// plug-in (which refuses such a name before it touches the disk) and the
// stand-in helper.
#pragma once

#include <string_view>

namespace nrwapis::protocol {

constexpr std::string_view kRequestStart = "<request_start>";
constexpr std::string_view kRequestEnd = "<request_end>";
constexpr std::string_view kResponseStart = "<response_start>";
constexpr std::string_view kResponseEnd = "<response_end>";
// Between the names of a name set.
constexpr std::string_view kNameSeparator = "<>";

// A value holding the request end could smuggle a second command, and one
// holding the response end would cut the answer of a helper that echoes it.
inline bool is_safe_text(std::string_view value) {
    return value.find(kRequestEnd) == std::string_view::npos &&
           value.find(kResponseEnd) == std::string_view::npos;
}

// A name in a name set must also not hold the separator, which would split it.
inline bool is_safe_name(std::string_view name) {
    return is_safe_text(name) && name.find(kNameSeparator) == std::string_view::npos;
}

}  // namespace nrwapis::protocol
