// What each export writes to the helper, byte for byte, and what it refuses to send.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "helper_fixture.h"

namespace {

using testsys::HelperTest;
using testsys::ok_response;

nrw_hwnd window(std::uintptr_t value) {
    return reinterpret_cast<nrw_hwnd>(value);
}

const char* kTwoFiles[] = {"C:\\w\\a.c", "C:\\w\\b.c"};
const char* kOneFile[] = {"C:\\w\\a.c"};
const char* kNewName[] = {"C:\\w\\z.c"};

struct Example {
    const char* name;
    std::function<int(NRWAPIS_Session*)> call;
    std::string expected = "";
};

TEST_F(HelperTest, EachExportWritesItsRequestByteForByte) {
    const std::string win = testsys::kWindowA0B2C;
    const std::string zero = testsys::kNoWindow;
    const std::string head = "<request_start><op_identifier_start>";
    const std::string two = "<fileset_start>C:\\w\\a.c<>C:\\w\\b.c<fileset_end>";
    const std::string one = "<fileset_start>C:\\w\\a.c<fileset_end>";
    const std::string end = "<request_end>\n";
    auto graphical = [](const std::string& handle, int mode) {
        return "<win_handle_start>" + handle + "<win_handle_end><req_mode_start>" +
               std::to_string(mode) + "<req_mode_end>";
    };
    const Example examples[] = {
        {"checkout mode 0 drops the comment",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkout(s, window(0xA0B2C), kTwoFiles, 2, 0, 0, "fix", nullptr,
                                     nullptr);
         },
         head + "2<op_identifier_end>" + two + graphical(win, 0) + end},
        {"checkout mode 1 carries the comment",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkout(s, window(0xA0B2C), kTwoFiles, 2, 1, 0, "fix", nullptr,
                                     nullptr);
         },
         head + "2<op_identifier_end>" + two +
             "<req_mode_start>1<req_mode_end><comments_start>fix<comments_end>" + end},
        {"rename puts its name set before the window",
         [](NRWAPIS_Session* s) {
             return nrw_api_rename(s, window(0xA0B2C), kOneFile, 1, kNewName, 2, 0, nullptr,
                                   nullptr, nullptr);
         },
         head + "4<op_identifier_end>" + one +
             "<rename_nameset_start>C:\\w\\z.c<rename_nameset_end>" + graphical(win, 2) + end},
        {"query sends options in mode 1",
         [](NRWAPIS_Session* s) {
             long result = 0;
             return nrw_api_query(s, "C:\\w\\a.c", 11, &result);
         },
         head + "6<op_identifier_end>" + one +
             "<opt_start>11<opt_end><req_mode_start>1<req_mode_end>" + end},
        {"launch sends an empty file set and a null window",
         [](NRWAPIS_Session* s) { return nrw_api_launch_nrw(s); },
         head + "10<op_identifier_end><fileset_start><fileset_end>" + graphical(zero, 0) + end},
        {"find merge likewise", [](NRWAPIS_Session* s) { return nrw_api_find_merge(s); },
         head + "16<op_identifier_end><fileset_start><fileset_end>" + graphical(zero, 0) + end},
        {"property passes the caller's window in mode 0",
         [](NRWAPIS_Session* s) { return nrw_api_property(s, window(0x10), "C:\\w\\a.c"); },
         head + "9<op_identifier_end>" + one + graphical(testsys::kWindow10, 0) + end},
        {"history never passes a window",
         [](NRWAPIS_Session* s) { return nrw_api_history(s, "C:\\w\\a.c"); },
         head + "8<op_identifier_end>" + one + graphical(zero, 0) + end},
        {"refresh passes window, mode and options",
         [](NRWAPIS_Session* s) { return nrw_api_refresh(s, window(0x10), "C:\\w\\a.c", 2, 1); },
         head + "13<op_identifier_end>" + one + "<opt_start>1<opt_end>" +
             graphical(testsys::kWindow10, 2) + end},
        {"deliver leaves out null pieces",
         [](NRWAPIS_Session* s) { return nrw_api_deliver(s, "C:\\w", "st", nullptr, "", 0); },
         head + "15<op_identifier_end><fileset_start>C:\\w<fileset_end>" +
             "<deliver_stream_start>st<deliver_stream_end><deliver_toview_start><deliver_toview_"
             "end>" +
             graphical(zero, 0) + end},
        {"rebase leaves out null pieces",
         [](NRWAPIS_Session* s) { return nrw_api_rebase(s, "C:\\w", nullptr, "v", -5); },
         head + "17<op_identifier_end><fileset_start>C:\\w<fileset_end>" +
             "<rebase_view_start>v<rebase_view_end>" + graphical(zero, 0) + end},
        {"add passes window, mode and the comment in mode 1",
         [](NRWAPIS_Session* s) {
             return nrw_api_add(s, window(0x10), kOneFile, 1, 1, 3, "c", nullptr, nullptr);
         },
         head + "0<op_identifier_end>" + one +
             "<opt_start>3<opt_end><req_mode_start>1<req_mode_end>" +
             "<comments_start>c<comments_end>" + end},
        {"checkin in mode 2",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkin(s, window(0x10), kOneFile, 1, 2, 0, "c", nullptr, nullptr);
         },
         head + "1<op_identifier_end>" + one + graphical(testsys::kWindow10, 2) + end},
        {"remove in mode 2",
         [](NRWAPIS_Session* s) {
             return nrw_api_remove(s, window(0x10), kTwoFiles, 2, 2, 0, "c", nullptr, nullptr);
         },
         head + "5<op_identifier_end>" + two + graphical(testsys::kWindow10, 2) + end},
        {"update in mode 0",
         [](NRWAPIS_Session* s) {
             return nrw_api_update(s, window(0x10), kOneFile, 1, 0, 0, nullptr, nullptr);
         },
         head + "11<op_identifier_end>" + one + graphical(testsys::kWindow10, 0) + end},
        {"restore in mode 2",
         [](NRWAPIS_Session* s) {
             return nrw_api_restore(s, window(0x10), kOneFile, 1, 2, 0, nullptr, nullptr);
         },
         head + "12<op_identifier_end>" + one + graphical(testsys::kWindow10, 2) + end},
        {"compare with predecessor never passes a window",
         [](NRWAPIS_Session* s) { return nrw_api_compare_with_pred(s, "C:\\w\\a.c"); },
         head + "7<op_identifier_end>" + one + graphical(zero, 0) + end},
        {"version tree never passes a window",
         [](NRWAPIS_Session* s) { return nrw_api_vtree(s, "C:\\w\\a.c"); },
         head + "14<op_identifier_end>" + one + graphical(zero, 0) + end},
        {"cancel in mode 1 has no comment section",
         [](NRWAPIS_Session* s) {
             return nrw_api_cancel(s, window(0x10), kOneFile, 1, 1, 0, nullptr, nullptr);
         },
         head + "3<op_identifier_end>" + one + "<req_mode_start>1<req_mode_end>" + end},
    };
    start();
    for (const Example& example : examples) {
        SCOPED_TRACE(example.name);
        testsys::write_file(m_log + "/requests.log", "");
        queue_reply(ok_response("<query_res_start>0<query_res_end>"));
        EXPECT_EQ(0, example.call(m_session));
        EXPECT_EQ(example.expected, requests());
    }
}

TEST_F(HelperTest, UnsoundArgumentsSendNothing) {
    const char* with_null[] = {"C:\\w\\a.c", nullptr};
    const char* with_separator[] = {"C:\\w\\a<>b.c"};
    const char* with_end[] = {"C:\\a<request_end>\n<request_start>"};
    const char* with_answer_end[] = {"C:\\a<response_end>.c"};
    const Example refused[] = {
        {"null session",
         [](NRWAPIS_Session*) {
             return nrw_api_checkout(nullptr, nullptr, kOneFile, 1, 0, 0, nullptr, nullptr,
                                     nullptr);
         }},
        {"foreign session",
         [](NRWAPIS_Session*) {
             int fake = 0;
             return nrw_api_launch_nrw(reinterpret_cast<NRWAPIS_Session*>(&fake));
         }},
        {"mode 3",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkout(s, nullptr, kOneFile, 1, 3, 0, nullptr, nullptr, nullptr);
         }},
        {"mode -1", [](NRWAPIS_Session* s) { return nrw_api_refresh(s, nullptr, "a", -1, 0); }},
        {"null file array",
         [](NRWAPIS_Session* s) {
             return nrw_api_add(s, nullptr, nullptr, 2, 0, 0, nullptr, nullptr, nullptr);
         }},
        {"null file entry",
         [&](NRWAPIS_Session* s) {
             return nrw_api_remove(s, nullptr, with_null, 2, 2, 0, nullptr, nullptr, nullptr);
         }},
        {"null path", [](NRWAPIS_Session* s) { return nrw_api_history(s, nullptr); }},
        {"null new names",
         [](NRWAPIS_Session* s) {
             return nrw_api_rename(s, nullptr, kOneFile, 1, nullptr, 2, 0, nullptr, nullptr,
                                   nullptr);
         }},
        {"separator in a name",
         [&](NRWAPIS_Session* s) {
             return nrw_api_checkin(s, nullptr, with_separator, 1, 2, 0, nullptr, nullptr, nullptr);
         }},
        {"separator in a new name",
         [&](NRWAPIS_Session* s) {
             return nrw_api_rename(s, nullptr, kOneFile, 1, with_separator, 2, 0, nullptr, nullptr,
                                   nullptr);
         }},
        {"request end in a name",
         [&](NRWAPIS_Session* s) {
             return nrw_api_update(s, nullptr, with_end, 1, 0, 0, nullptr, nullptr);
         }},
        {"request end in a comment",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkin(s, nullptr, kOneFile, 1, 1, 0, "x<request_end>", nullptr,
                                    nullptr);
         }},
        {"request end in a stream",
         [](NRWAPIS_Session* s) {
             return nrw_api_deliver(s, "a", "<request_end>", nullptr, nullptr, 0);
         }},
        {"request end in a view",
         [](NRWAPIS_Session* s) { return nrw_api_rebase(s, "a", nullptr, "<request_end>", 0); }},
        {"response end in a name",
         [&](NRWAPIS_Session* s) {
             return nrw_api_checkout(s, nullptr, with_answer_end, 1, 0, 0, nullptr, nullptr,
                                     nullptr);
         }},
        {"response end in a comment",
         [](NRWAPIS_Session* s) {
             return nrw_api_checkin(s, nullptr, kOneFile, 1, 1, 0, "<response_end>", nullptr,
                                    nullptr);
         }},
        {"null query result", [](NRWAPIS_Session* s) { return nrw_api_query(s, "a", 0, nullptr); }},
    };
    start();
    for (const Example& example : refused) {
        SCOPED_TRACE(example.name);
        EXPECT_EQ(1, example.call(m_session));
    }
    EXPECT_EQ("", requests());
}

TEST_F(HelperTest, LineFeedsAndTagTextsInsideValuesGoOutUnchanged) {
    const char* files[] = {"C:\\w\\a\nb.c", "<fileset_end>"};
    start();
    queue_reply(ok_response());
    EXPECT_EQ(
        0, nrw_api_checkout(m_session, nullptr, files, 2, 1, 0, "line\nbreak", nullptr, nullptr));
    EXPECT_EQ(
        "<request_start><op_identifier_start>2<op_identifier_end><fileset_start>C:\\w\\a\nb.c<>"
        "<fileset_end><fileset_end><req_mode_start>1<req_mode_end><comments_start>line\nbreak"
        "<comments_end><request_end>\n",
        requests());
}

TEST_F(HelperTest, AnswersReachTheCaller) {
    start();
    int statuses[3] = {7, 7, 7};
    char* op_msg = reinterpret_cast<char*>(1);
    queue_reply(
        "<response_start><exit_st_start>1<exit_st_end><individual_st_start>4 5"
        "<individual_st_end><crv_op_msg_start>why\n<crv_op_msg_end><response_end>");
    const char* files[] = {"a", "b", "c"};
    EXPECT_EQ(1, nrw_api_add(m_session, nullptr, files, 3, 1, 0, nullptr, statuses, &op_msg));
    EXPECT_EQ(4, statuses[0]);
    EXPECT_EQ(5, statuses[1]);
    EXPECT_EQ(7, statuses[2]);
    ASSERT_NE(nullptr, op_msg);
    EXPECT_STREQ("why\n", op_msg);
    nrw_api_free_op_msg(op_msg);

    long result = 9;
    queue_reply(
        "<response_start><exit_st_start>1<exit_st_end><query_res_start>42<query_res_end>"
        "<response_end>");
    EXPECT_EQ(1, nrw_api_query(m_session, "a", 0, &result));
    EXPECT_EQ(42, result);

    queue_reply("<response_start><exit_st_start>2<exit_st_end><response_end>");
    op_msg = reinterpret_cast<char*>(1);
    EXPECT_EQ(2, nrw_api_cancel(m_session, nullptr, files, 3, 1, 0, statuses, &op_msg));
    EXPECT_EQ(reinterpret_cast<char*>(1), op_msg);
}

}  // namespace
