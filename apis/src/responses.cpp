#include "responses.h"

#include <charconv>
#include <cstring>
#include <new>

#include "protocol_text.h"

namespace {

namespace protocol = nrwapis::protocol;
using protocol::kResponseEnd;
using protocol::kResponseStart;

constexpr int kCancelled = 2;

bool is_stream_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <class T>
bool read_number(std::string_view& in, T& value) {
    std::size_t pos = 0;
    while (pos < in.size() && is_stream_space(in[pos])) ++pos;
    bool plus = pos < in.size() && in[pos] == '+';
    if (plus) ++pos;
    if (plus && (pos == in.size() || in[pos] == '-')) return false;
    T parsed{};
    const char* first = in.data() + pos;
    const auto result = std::from_chars(first, in.data() + in.size(), parsed);
    if (result.ec != std::errc()) return false;
    value = parsed;
    in.remove_prefix(static_cast<std::size_t>(result.ptr - in.data()));
    return true;
}

char* copy_message(std::string_view message) {
    char* copy = new char[message.size() + 1];
    std::memcpy(copy, message.data(), message.size());
    copy[message.size()] = '\0';
    return copy;
}

}  // namespace

namespace nrwapis {
bool read_int(std::string_view& in, int& value) {
    return read_number(in, value);
}
bool read_long(std::string_view& in, long& value) {
    return read_number(in, value);
}
}  // namespace nrwapis

int extract_section(std::string_view text, std::string_view start_tag, std::string_view end_tag,
                    std::string_view& content, bool missing_ok, bool empty_ok) {
    content = std::string_view();
    const std::size_t start = text.find(start_tag);
    const std::size_t end = text.find(end_tag);
    if (start == std::string_view::npos && end == std::string_view::npos) return missing_ok ? 0 : 1;
    if (start == std::string_view::npos || end == std::string_view::npos) return 1;
    const std::size_t from = start + start_tag.size();
    // An end tag before the start tag leaves the content running to the end.
    content = end >= from ? text.substr(from, end - from) : text.substr(from);
    if (!content.empty()) return 0;
    return empty_ok ? 0 : 1;
}

NRWAPIS_CustomResponse::~NRWAPIS_CustomResponse() = default;

NRWAPIS_CustomQueryResponse::NRWAPIS_CustomQueryResponse(long* result) : m_result(result) {}
NRWAPIS_CustomQueryResponse::~NRWAPIS_CustomQueryResponse() = default;

int NRWAPIS_CustomQueryResponse::decode(const std::string& text) {
    *m_result = 0;
    std::string_view content;
    if (extract_section(text, protocol::kQueryResult.start, protocol::kQueryResult.end, content,
                        false, false) != 0)
        return 1;
    return nrwapis::read_long(content, *m_result) ? 0 : 1;
}

NRWAPIS_Response::~NRWAPIS_Response() = default;

int NRWAPIS_Response::is_well_formed(const std::string& text) {
    if (text.find(protocol::kErrorMarker) != std::string::npos) return 1;
    if (text.size() < kResponseStart.size() + kResponseEnd.size()) return 1;
    if (text.find(kResponseStart) != 0) return 1;
    return text.find(kResponseEnd) == text.size() - kResponseEnd.size() ? 0 : 1;
}

int NRWAPIS_Response::decode_common(const std::string& text, int count, int* statuses,
                                    NRWAPIS_CustomResponse* custom) const {
    if (is_well_formed(text) != 0) return 1;
    std::string_view content;
    if (extract_section(text, protocol::kExitStatus.start, protocol::kExitStatus.end, content,
                        false, false) != 0)
        return 1;
    int exit_status = 0;
    // An exit status that cannot be read is a failure, never a success.
    if (!nrwapis::read_int(content, exit_status)) return 1;
    if (exit_status == kCancelled) return kCancelled;

    const int custom_result = custom != nullptr ? custom->decode(text) : 0;
    if (exit_status == 1) {
        if (statuses == nullptr) return 1;
        if (extract_section(text, protocol::kFileStatuses.start, protocol::kFileStatuses.end,
                            content, false, false) != 0)
            return 1;
        for (int i = 0; i < count && nrwapis::read_int(content, statuses[i]); ++i) {
        }
        return 1;
    }
    return exit_status == 0 && custom_result == 0 ? 0 : 1;
}

NRWAPIS_GraphicalResponse::~NRWAPIS_GraphicalResponse() = default;

int NRWAPIS_GraphicalResponse::decode(const std::string& text, int count, int* statuses, char**,
                                      NRWAPIS_CustomResponse* custom) {
    return decode_common(text, count, statuses, custom);
}

NRWAPIS_NonGraphicalResponse::~NRWAPIS_NonGraphicalResponse() = default;

int NRWAPIS_NonGraphicalResponse::decode(const std::string& text, int count, int* statuses,
                                         char** op_msg, NRWAPIS_CustomResponse* custom) {
    const int result = decode_common(text, count, statuses, custom);
    if (result == kCancelled) return kCancelled;
    int message_result = 0;
    if (op_msg != nullptr) {
        *op_msg = nullptr;
        std::string_view message;
        message_result = extract_section(text, protocol::kMessage.start, protocol::kMessage.end,
                                         message, true, true);
        // Even a failed operation hands back the helper's explanation.
        if (message_result == 0 && !message.empty()) *op_msg = copy_message(message);
    }
    return result == 0 && message_result == 0 ? 0 : 1;
}

NRWAPIS_ResponseFactory* NRWAPIS_ResponseFactory::instance() {
    static NRWAPIS_ResponseFactory factory;
    return &factory;
}

std::unique_ptr<NRWAPIS_Response> NRWAPIS_ResponseFactory::create_response(int mode) const {
    switch (mode) {
        case 0:
        case 2:
            return std::unique_ptr<NRWAPIS_Response>(new (std::nothrow) NRWAPIS_GraphicalResponse);
        case 1:
            return std::unique_ptr<NRWAPIS_Response>(new (std::nothrow)
                                                         NRWAPIS_NonGraphicalResponse);
        default:
            return nullptr;
    }
}
