// The decoder against every way an answer can be right or wrong.
#include <gtest/gtest.h>

#include <string>

#include "responses.h"

namespace {

std::string framed(const std::string& inside) {
    return "<response_start>" + inside + "<response_end>";
}
std::string exit_section(const std::string& status) {
    return "<exit_st_start>" + status + "<exit_st_end>";
}

struct Case {
    const char* name;
    std::string text;
    int mode;
    bool query;
    int expected;
    int statuses[3];      // after the call; the caller starts with 7, 7, 7
    const char* message;  // nullptr: none handed back; "untouched": the sentinel stays
    long result;          // query result after the call; the caller starts with 99
};

const int kUntouched[3] = {7, 7, 7};

TEST(ResponseDecoding, FailureTable) {
    const std::string ok = exit_section("0");
    const std::string msg = "<crv_op_msg_start>why<crv_op_msg_end>";
    const std::string query = "<query_res_start>42<query_res_end>";
    const std::string st = "<individual_st_start> 1 -2 <individual_st_end>";
    const Case cases[] = {
        {"plain success", framed(ok), 0, false, 0, {7, 7, 7}, nullptr, 99},
        {"line feed after the frame", framed(ok) + "\n", 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"text before the frame", " " + framed(ok), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"two frame ends", framed(ok + "<response_end>"), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"error marker", framed(ok + "<E_R_R>"), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"error marker inside the message, still handed back",
         framed(ok + "<crv_op_msg_start>a<E_R_R>b<crv_op_msg_end>"),
         1,
         false,
         1,
         {7, 7, 7},
         "a<E_R_R>b",
         99},
        {"frame broken, message still handed back",
         framed(ok + msg) + "x",
         1,
         false,
         1,
         {7, 7, 7},
         "why",
         99},
        {"no exit status", framed(msg), 1, false, 1, {7, 7, 7}, "why", 99},
        {"half an exit status",
         framed("<exit_st_start>0" + msg),
         1,
         false,
         1,
         {7, 7, 7},
         "why",
         99},
        {"empty exit status", framed(exit_section("")), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"blank exit status is no success",
         framed(exit_section(" ")),
         0,
         false,
         1,
         {7, 7, 7},
         nullptr,
         99},
        {"unreadable exit status", framed(exit_section("x0")), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"overflowing exit status",
         framed(exit_section("99999999999")),
         0,
         false,
         1,
         {7, 7, 7},
         nullptr,
         99},
        {"exit status with blanks and sign",
         framed(exit_section(" \n+0x")),
         0,
         false,
         0,
         {7, 7, 7},
         nullptr,
         99},
        {"cancelled touches nothing",
         framed(exit_section("2") + st + msg + query),
         1,
         true,
         2,
         {7, 7, 7},
         "untouched",
         99},
        {"failed with statuses",
         framed(exit_section("1") + st + msg),
         1,
         false,
         1,
         {1, -2, 7},
         "why",
         99},
        {"failed, statuses empty",
         framed(exit_section("1") + "<individual_st_start><individual_st_end>"),
         0,
         false,
         1,
         {7, 7, 7},
         nullptr,
         99},
        {"failed, statuses half present",
         framed(exit_section("1") + "<individual_st_start>1 2"),
         0,
         false,
         1,
         {7, 7, 7},
         nullptr,
         99},
        {"failed, unreadable status stops the reading",
         framed(exit_section("1") + "<individual_st_start>3 x 4<individual_st_end>"),
         0,
         false,
         1,
         {3, 7, 7},
         nullptr,
         99},
        {"success ignores statuses", framed(ok + st), 0, false, 0, {7, 7, 7}, nullptr, 99},
        {"other exit status", framed(exit_section("5") + st), 0, false, 1, {7, 7, 7}, nullptr, 99},
        {"query read", framed(ok + query), 1, true, 0, {7, 7, 7}, nullptr, 42},
        {"query read on failure",
         framed(exit_section("1") + query),
         1,
         true,
         1,
         {7, 7, 7},
         nullptr,
         42},
        {"query missing", framed(ok), 1, true, 1, {7, 7, 7}, nullptr, 0},
        {"query unreadable",
         framed(ok + "<query_res_start>x<query_res_end>"),
         1,
         true,
         1,
         {7, 7, 7},
         nullptr,
         0},
        {"empty message",
         framed(ok + "<crv_op_msg_start><crv_op_msg_end>"),
         1,
         false,
         0,
         {7, 7, 7},
         nullptr,
         99},
        {"half a message", framed(ok + "<crv_op_msg_start>x"), 1, false, 1, {7, 7, 7}, nullptr, 99},
        {"graphical mode ignores the message",
         framed(ok + msg),
         0,
         false,
         0,
         {7, 7, 7},
         "untouched",
         99},
        {"sections in any order", framed(query + msg + ok), 1, true, 0, {7, 7, 7}, "why", 42},
        {"second exit status ignored",
         framed(ok + exit_section("1")),
         0,
         false,
         0,
         {7, 7, 7},
         nullptr,
         99},
        {"end tag before start tag runs to the end",
         framed("<exit_st_end><exit_st_start>0"),
         0,
         false,
         0,
         {7, 7, 7},
         nullptr,
         99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int statuses[3] = {kUntouched[0], kUntouched[1], kUntouched[2]};
        char sentinel = 0;
        char* op_msg = &sentinel;
        long result = 99;
        NRWAPIS_CustomQueryResponse query_part(&result);
        auto response = NRWAPIS_ResponseFactory::instance()->create_response(c.mode);
        ASSERT_TRUE(response);
        EXPECT_EQ(c.expected,
                  response->decode(c.text, 3, statuses, &op_msg, c.query ? &query_part : nullptr));
        EXPECT_EQ(c.statuses[0], statuses[0]);
        EXPECT_EQ(c.statuses[1], statuses[1]);
        EXPECT_EQ(c.statuses[2], statuses[2]);
        EXPECT_EQ(c.result, result);
        if (c.message == nullptr) {
            EXPECT_EQ(c.mode == 1 ? nullptr : &sentinel, op_msg);
        } else if (std::string(c.message) == "untouched") {
            EXPECT_EQ(&sentinel, op_msg);
        } else {
            ASSERT_NE(&sentinel, op_msg);
            ASSERT_NE(nullptr, op_msg);
            EXPECT_STREQ(c.message, op_msg);
            delete[] op_msg;
        }
    }
}

TEST(ResponseDecoding, MessageComesBackWholeInOneMoreByte) {
    const std::string message = "line 1\nline 2\t\x01\xff";
    auto response = NRWAPIS_ResponseFactory::instance()->create_response(1);
    char* op_msg = nullptr;
    EXPECT_EQ(0, response->decode(framed(exit_section("0") + "<crv_op_msg_start>" + message +
                                         "<crv_op_msg_end>"),
                                  0, nullptr, &op_msg, nullptr));
    ASSERT_NE(nullptr, op_msg);
    EXPECT_EQ(message, std::string(op_msg, message.size()));
    EXPECT_EQ('\0', op_msg[message.size()]);
    delete[] op_msg;
}

TEST(ResponseDecoding, FailureWithoutStatusArrayStillReportsFailure) {
    auto response = NRWAPIS_ResponseFactory::instance()->create_response(2);
    EXPECT_EQ(1, response->decode(framed(exit_section("1")), 2, nullptr, nullptr, nullptr));
}

TEST(ResponseDecoding, NoResponseClassForUnknownModes) {
    for (int mode : {-1, 3, 100})
        EXPECT_FALSE(NRWAPIS_ResponseFactory::instance()->create_response(mode));
}

TEST(NumberReading, FollowsStreamExtraction) {
    struct {
        const char* text;
        bool ok;
        int value;
        const char* rest;
    } cases[] = {
        {"12abc", true, 12, "abc"},
        {"  -7 8", true, -7, " 8"},
        {"+3", true, 3, ""},
        {"+-3", false, 0, "+-3"},
        {"-", false, 0, "-"},
        {"", false, 0, ""},
        {"2147483648", false, 0, "2147483648"},
        {"-2147483648", true, -2147483647 - 1, ""},
        {"\t\r\v\f5", true, 5, ""},
        {"0x10", true, 0, "x10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string_view in = c.text;
        int value = 0;
        EXPECT_EQ(c.ok, nrwapis::read_int(in, value));
        EXPECT_EQ(c.value, value);
        EXPECT_EQ(c.rest, in);
    }
}

}  // namespace
