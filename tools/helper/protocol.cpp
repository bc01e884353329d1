#include "protocol.h"

#include <cstdlib>

#include "protocol_text.h"

namespace helper {

bool section(const std::string& text, const std::string& start, const std::string& end,
             std::string& content) {
    const std::size_t from = text.find(start);
    if (from == std::string::npos) return false;
    const std::size_t to = text.find(end, from + start.size());
    if (to == std::string::npos) return false;
    content = text.substr(from + start.size(), to - from - start.size());
    return true;
}

std::vector<std::string> split_names(const std::string& joined) {
    std::vector<std::string> names;
    if (joined.empty()) return names;
    std::size_t from = 0;
    for (std::size_t sep = joined.find("<>"); sep != std::string::npos;
         sep = joined.find("<>", from)) {
        names.push_back(joined.substr(from, sep - from));
        from = sep + 2;
    }
    names.push_back(joined.substr(from));
    return names;
}

Request parse_request(const std::string& raw) {
    Request request;
    request.raw = raw;
    std::string value;
    if (section(raw, "<op_identifier_start>", "<op_identifier_end>", value))
        request.op = std::atoi(value.c_str());
    if (section(raw, "<req_mode_start>", "<req_mode_end>", value))
        request.mode = std::atoi(value.c_str());
    if (section(raw, "<opt_start>", "<opt_end>", value)) request.options = std::atol(value.c_str());
    if (section(raw, "<fileset_start>", "<fileset_end>", value)) request.files = split_names(value);
    request.has_comment = section(raw, "<comments_start>", "<comments_end>", request.comment);
    return request;
}

std::string response(int exit_status, const std::string& extra_sections) {
    return std::string(nrwapis::protocol::kResponseStart) + "<exit_st_start>" +
           std::to_string(exit_status) + "<exit_st_end>" + extra_sections +
           std::string(nrwapis::protocol::kResponseEnd);
}

}  // namespace helper
