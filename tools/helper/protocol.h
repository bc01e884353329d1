// The stand-in helper's view of one request line.
#pragma once

#include <string>
#include <vector>

#include "protocol_text.h"

namespace helper {

struct Request {
    std::string raw;
    int op = -1;
    int mode = -1;
    long options = 0;
    std::vector<std::string> files;
    std::string comment;
    bool has_comment = false;
};

// Content between the section's first start tag and the first end tag after it.
bool section(const std::string& text, const nrwapis::protocol::Section& tags, std::string& content);
// The section with the value between its tags.
std::string section_text(const nrwapis::protocol::Section& tags, const std::string& value);
std::vector<std::string> split_names(const std::string& joined);
Request parse_request(const std::string& raw);

std::string response(int exit_status, const std::string& extra_sections);

}  // namespace helper
