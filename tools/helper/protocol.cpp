#include "protocol.h"

#include <cstdlib>

#include "protocol_text.h"

namespace helper {

namespace protocol = nrwapis::protocol;

bool section(const std::string& text, const protocol::Section& tags, std::string& content) {
    const std::size_t from = text.find(tags.start);
    if (from == std::string::npos) return false;
    const std::size_t to = text.find(tags.end, from + tags.start.size());
    if (to == std::string::npos) return false;
    content = text.substr(from + tags.start.size(), to - from - tags.start.size());
    return true;
}

std::string section_text(const protocol::Section& tags, const std::string& value) {
    return std::string(tags.start) + value + std::string(tags.end);
}

std::vector<std::string> split_names(const std::string& joined) {
    std::vector<std::string> names;
    if (joined.empty()) return names;
    std::size_t from = 0;
    const std::string_view separator = protocol::kNameSeparator;
    for (std::size_t sep = joined.find(separator); sep != std::string::npos;
         sep = joined.find(separator, from)) {
        names.push_back(joined.substr(from, sep - from));
        from = sep + separator.size();
    }
    names.push_back(joined.substr(from));
    return names;
}

Request parse_request(const std::string& raw) {
    Request request;
    request.raw = raw;
    std::string value;
    if (section(raw, protocol::kOperation, value)) request.op = std::atoi(value.c_str());
    if (section(raw, protocol::kMode, value)) request.mode = std::atoi(value.c_str());
    if (section(raw, protocol::kOptions, value)) request.options = std::atol(value.c_str());
    if (section(raw, protocol::kFileSet, value)) request.files = split_names(value);
    request.has_comment = section(raw, protocol::kComments, request.comment);
    return request;
}

std::string response(int exit_status, const std::string& extra_sections) {
    return std::string(protocol::kResponseStart) +
           section_text(protocol::kExitStatus, std::to_string(exit_status)) + extra_sections +
           std::string(protocol::kResponseEnd);
}

}  // namespace helper
