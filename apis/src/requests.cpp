#include "requests.h"

#include <charconv>
#include <cstring>
#include <new>

#include "protocol_text.h"

namespace {

void append_number(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof(digits), value);
    out.append(digits, result.ptr);
}

void append_window(std::string& out, nrwapis::Window window) {
    static const char kHex[] = "0123456789ABCDEF";
    auto value = reinterpret_cast<std::uintptr_t>(window);
    char digits[sizeof(void*) * 2];
    for (std::size_t i = sizeof(digits); i-- > 0; value >>= 4) digits[i] = kHex[value & 0xF];
    out.append(digits, sizeof(digits));
}

namespace protocol = nrwapis::protocol;

void append_section(std::string& out, const protocol::Section& section, const char* value) {
    if (value == nullptr) return;
    out += section.start;
    out += value;
    out += section.end;
}

void append_name_set(std::string& out, const char* const* names, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        if (i > 0) out += protocol::kNameSeparator;
        out += names[i];
    }
}

}  // namespace

NRWAPIS_CustomRequest::~NRWAPIS_CustomRequest() = default;

NRWAPIS_CustomDeliverRequest::NRWAPIS_CustomDeliverRequest(const char* stream, const char* target,
                                                           const char* to_view)
    : m_stream(stream), m_target(target), m_toview(to_view) {}
NRWAPIS_CustomDeliverRequest::~NRWAPIS_CustomDeliverRequest() = default;

void NRWAPIS_CustomDeliverRequest::encode(std::string& out) const {
    append_section(out, protocol::kDeliverStream, m_stream);
    append_section(out, protocol::kDeliverTarget, m_target);
    append_section(out, protocol::kDeliverToView, m_toview);
}

NRWAPIS_CustomRebaseRequest::NRWAPIS_CustomRebaseRequest(const char* stream, const char* view)
    : m_stream(stream), m_view(view) {}
NRWAPIS_CustomRebaseRequest::~NRWAPIS_CustomRebaseRequest() = default;

void NRWAPIS_CustomRebaseRequest::encode(std::string& out) const {
    append_section(out, protocol::kRebaseStream, m_stream);
    append_section(out, protocol::kRebaseView, m_view);
}

NRWAPIS_CustomRenameRequest::NRWAPIS_CustomRenameRequest(const char* const* new_names,
                                                         std::int32_t count)
    : m_new_names(new_names), m_count(count) {}
NRWAPIS_CustomRenameRequest::~NRWAPIS_CustomRenameRequest() = default;

void NRWAPIS_CustomRenameRequest::encode(std::string& out) const {
    out += protocol::kRenameNameSet.start;
    append_name_set(out, m_new_names, m_count);
    out += protocol::kRenameNameSet.end;
}

NRWAPIS_Request::NRWAPIS_Request(std::int32_t op_id, const char* const* files,
                                 std::int32_t file_count, std::int32_t options,
                                 const NRWAPIS_CustomRequest* custom)
    : m_op_id(op_id),
      m_files(files),
      m_file_count(file_count),
      m_options(options),
      m_custom(custom) {}
NRWAPIS_Request::~NRWAPIS_Request() = default;

void NRWAPIS_Request::encode_common(std::string& out) const {
    out += protocol::kRequestStart;
    out += protocol::kOperation.start;
    append_number(out, m_op_id);
    out += protocol::kOperation.end;
    out += protocol::kFileSet.start;
    append_name_set(out, m_files, m_file_count);
    out += protocol::kFileSet.end;
    if (m_options > 0) {
        out += protocol::kOptions.start;
        append_number(out, m_options);
        out += protocol::kOptions.end;
    }
    if (m_custom != nullptr) m_custom->encode(out);
}

void NRWAPIS_Request::encode_end(std::string& out) const {
    out += protocol::kRequestEnd;
    out += '\n';
}

NRWAPIS_GraphicalRequest::NRWAPIS_GraphicalRequest(nrwapis::Window win_handle, std::int32_t op_id,
                                                   const char* const* files,
                                                   std::int32_t file_count, std::int32_t mode,
                                                   std::int32_t options,
                                                   const NRWAPIS_CustomRequest* custom)
    : NRWAPIS_Request(op_id, files, file_count, options, custom),
      m_mode(mode),
      m_win_handle(win_handle) {}
NRWAPIS_GraphicalRequest::~NRWAPIS_GraphicalRequest() = default;

void NRWAPIS_GraphicalRequest::encode(std::string& out) const {
    encode_common(out);
    out += protocol::kWindow.start;
    append_window(out, m_win_handle);
    out += protocol::kWindow.end;
    out += protocol::kMode.start;
    append_number(out, m_mode);
    out += protocol::kMode.end;
    encode_end(out);
}

NRWAPIS_NonGraphicalRequest::NRWAPIS_NonGraphicalRequest(std::int32_t op_id,
                                                         const char* const* files,
                                                         std::int32_t file_count,
                                                         std::int32_t options, const char* comments,
                                                         const NRWAPIS_CustomRequest* custom)
    : NRWAPIS_Request(op_id, files, file_count, options, custom), m_comments(comments) {}
NRWAPIS_NonGraphicalRequest::~NRWAPIS_NonGraphicalRequest() = default;

void NRWAPIS_NonGraphicalRequest::encode(std::string& out) const {
    encode_common(out);
    append_section(out, protocol::kMode, "1");
    append_section(out, protocol::kComments, m_comments);
    encode_end(out);
}

NRWAPIS_RequestFactory* NRWAPIS_RequestFactory::instance() {
    static NRWAPIS_RequestFactory factory;
    return &factory;
}

std::unique_ptr<NRWAPIS_Request> NRWAPIS_RequestFactory::create_request(
    std::int32_t mode, nrwapis::Window hwnd, std::int32_t op_id, const char* const* files,
    std::int32_t count, long options, const char* comment,
    const NRWAPIS_CustomRequest* custom) const {
    // The helper's options field is 32 bits wide on every system.
    const auto options32 = static_cast<std::int32_t>(options);
    switch (mode) {
        case 0:
        case 2:
            return std::unique_ptr<NRWAPIS_Request>(new (std::nothrow) NRWAPIS_GraphicalRequest(
                hwnd, op_id, files, count, mode, options32, custom));
        case 1:
            return std::unique_ptr<NRWAPIS_Request>(new (std::nothrow) NRWAPIS_NonGraphicalRequest(
                op_id, files, count, options32, comment, custom));
        default:
            return nullptr;
    }
}

namespace nrwapis {

bool is_safe_text(const char* value) {
    return value == nullptr || protocol::is_safe_text(value);
}

bool are_safe_names(const char* const* names, int count) {
    if (count > 0 && names == nullptr) return false;
    for (int i = 0; i < count; ++i) {
        if (names[i] == nullptr || !protocol::is_safe_name(names[i])) return false;
    }
    return true;
}

bool is_request_mode(int mode) {
    return mode == 0 || mode == 1 || mode == 2;
}

}  // namespace nrwapis
