// The words of the helper's protocol: the operations by their numbers, the tags
// that open and close requests, responses and their sections, and the rule that
// keeps a text value from ending a message early. Shared by the client library,
// the plug-in (which refuses such a name before it touches the disk), the
// stand-in helper, the benchmarks and the fuzz targets.
#pragma once

#include <cstdint>
#include <string_view>

namespace nrwapis::protocol {

// The operations, numbered as the helper knows them.
namespace op {
constexpr std::int32_t kAdd = 0;
constexpr std::int32_t kCheckin = 1;
constexpr std::int32_t kCheckout = 2;
constexpr std::int32_t kCancelCheckout = 3;
constexpr std::int32_t kRename = 4;
constexpr std::int32_t kRemove = 5;
constexpr std::int32_t kQuery = 6;
constexpr std::int32_t kCompareWithPredecessor = 7;
constexpr std::int32_t kHistory = 8;
constexpr std::int32_t kProperties = 9;
constexpr std::int32_t kLaunch = 10;
constexpr std::int32_t kUpdate = 11;
constexpr std::int32_t kRestore = 12;
constexpr std::int32_t kRefresh = 13;
constexpr std::int32_t kVersionTree = 14;
constexpr std::int32_t kDeliver = 15;
constexpr std::int32_t kFindMerge = 16;
constexpr std::int32_t kRebase = 17;
}  // namespace op

// A section of a message: its value stands between these two tags.
struct Section {
    std::string_view start;
    std::string_view end;
};

// Of every request.
constexpr Section kOperation{"<op_identifier_start>", "<op_identifier_end>"};
constexpr Section kFileSet{"<fileset_start>", "<fileset_end>"};
constexpr Section kOptions{"<opt_start>", "<opt_end>"};
constexpr Section kWindow{"<win_handle_start>", "<win_handle_end>"};
constexpr Section kMode{"<req_mode_start>", "<req_mode_end>"};
constexpr Section kComments{"<comments_start>", "<comments_end>"};
// Of the requests of one operation.
constexpr Section kDeliverStream{"<deliver_stream_start>", "<deliver_stream_end>"};
constexpr Section kDeliverTarget{"<deliver_target_start>", "<deliver_target_end>"};
constexpr Section kDeliverToView{"<deliver_toview_start>", "<deliver_toview_end>"};
constexpr Section kRebaseStream{"<rebase_stream_start>", "<rebase_stream_end>"};
constexpr Section kRebaseView{"<rebase_view_start>", "<rebase_view_end>"};
constexpr Section kRenameNameSet{"<rename_nameset_start>", "<rename_nameset_end>"};
// Of responses.
constexpr Section kExitStatus{"<exit_st_start>", "<exit_st_end>"};
constexpr Section kFileStatuses{"<individual_st_start>", "<individual_st_end>"};
constexpr Section kMessage{"<crv_op_msg_start>", "<crv_op_msg_end>"};
constexpr Section kQueryResult{"<query_res_start>", "<query_res_end>"};
// Anywhere in a response: the helper could not carry the request out.
constexpr std::string_view kErrorMarker = "<E_R_R>";

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
