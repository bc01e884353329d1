// The session against a real helper process over real pipes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "helper_fixture.h"
#include "session.h"

namespace {

using testsys::HelperEnvironmentTest;
using testsys::HelperTest;
using testsys::ok_response;

const char* kFiles[] = {"C:\\w\\a.c", "C:\\w\\b.c"};

int checkout(NRWAPIS_Session* session, int mode = 0, char** op_msg = nullptr) {
    return nrw_api_checkout(session, nullptr, kFiles, 2, mode, 0, nullptr, nullptr, op_msg);
}

void wait_until_gone(int pid) {
    ASSERT_TRUE(testsys::wait_until([&] { return !testsys::process_exists(pid); }));
}

TEST_F(HelperTest, HelperThatExitedBetweenCallsIsRelaunchedAndGetsTheNextCall) {
    for (const char* exit_code : {"0", "259"}) {
        SCOPED_TRACE(exit_code);
        testsys::set_env("NRWH_EXIT_AFTER", "1");
        testsys::set_env("NRWH_EXIT_CODE", exit_code);
        start();
        const int first = nrw_api_get_bg_process_id(m_session);
        EXPECT_EQ(0, checkout(m_session));
        wait_until_gone(first);

        EXPECT_EQ(0, checkout(m_session));
        const int second = nrw_api_get_bg_process_id(m_session);
        EXPECT_NE(first, second);
        EXPECT_EQ((std::vector<int>{first, second}), wait_for_helpers(2));
        nrw_api_uninitialize(&m_session);
        testsys::write_file(m_log + "/pids.log", "");
    }
}

TEST_F(HelperTest, HelperThatDiesAfterReadingTheRequestFailsTheCallAndIsReplacedNextTime) {
    start();
    queue("exit 3");
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(1, checkout(m_session));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(20));
    wait_until_gone(wait_for_helpers(1).at(0));
    EXPECT_EQ(0, checkout(m_session));
    EXPECT_EQ(2u, wait_for_helpers(2).size());
}

TEST_F(HelperTest, HelperClosedByTheUserWhileWeWaitEndsTheWait) {
    start();
    queue("hang");
    auto call = std::async(std::launch::async, [this] { return checkout(m_session); });
    EXPECT_TRUE(testsys::wait_until([&] { return !requests().empty(); }));
    // The waiting call holds the session, so the helper is found through its log.
    testsys::kill_process(wait_for_helpers(1).at(0));
    ASSERT_EQ(std::future_status::ready, call.wait_for(std::chrono::seconds(30)));
    EXPECT_EQ(1, call.get());
}

TEST_F(HelperTest, AnswerInPiecesOrLongerThanOneReadIsReadWhole) {
    start();
    queue("pieces 4 60", ok_response());
    EXPECT_EQ(0, checkout(m_session));

    const std::string message(10000, 'm');
    queue_reply(ok_response("<crv_op_msg_start>" + message + "<crv_op_msg_end>"));
    char* op_msg = nullptr;
    EXPECT_EQ(0, checkout(m_session, 1, &op_msg));
    ASSERT_NE(nullptr, op_msg);
    EXPECT_EQ(message, op_msg);
    nrw_api_free_op_msg(op_msg);
}

TEST_F(HelperTest, StaleBytesOfAnEarlierAnswerAreDiscarded) {
    start();
    // The second half, an answer that says "failed", arrives after the first was taken.
    const std::string stale = "<response_start><exit_st_start>1<exit_st_end><response_end>";
    ASSERT_EQ(stale.size(), ok_response().size());
    queue("pieces 2 300", ok_response() + stale);
    EXPECT_EQ(0, checkout(m_session));
    ASSERT_TRUE(wait_for_answers(1));
    queue_reply(ok_response());
    EXPECT_EQ(0, checkout(m_session));
}

TEST_F(HelperTest, OversizedAnswerFailsAndTheNextCallStartsAFreshHelper) {
    start();
    const int first = nrw_api_get_bg_process_id(m_session);
    queue_reply(ok_response(std::string(17u * 1024u * 1024u, 'x')));
    EXPECT_EQ(1, checkout(m_session));
    wait_until_gone(first);
    EXPECT_EQ(0, checkout(m_session));
    EXPECT_NE(first, nrw_api_get_bg_process_id(m_session));
}

TEST_F(HelperTest, ConcurrentCallersEachGetTheirOwnAnswers) {
    testsys::unset_env("NRWH_SCRIPT_DIR");
    testsys::set_env("NRWH_MODE", "echo");
    start();
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, t, &mismatches] {
            for (int i = 0; i < 40; ++i) {
                const std::string name = "C:\\t" + std::to_string(t) + "\\f" + std::to_string(i);
                const char* files[] = {name.c_str()};
                char* op_msg = nullptr;
                const int status =
                    nrw_api_checkout(m_session, nullptr, files, 1, 1, 0, nullptr, nullptr, &op_msg);
                if (status != 0 || op_msg == nullptr || name != op_msg) ++mismatches;
                nrw_api_free_op_msg(op_msg);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(0, mismatches.load());
}

TEST_F(HelperTest, SessionLifecycle) {
    start();
    NRWAPIS_Session* second = reinterpret_cast<NRWAPIS_Session*>(1);
    EXPECT_EQ(1, nrw_api_initialize(&second));
    EXPECT_EQ(nullptr, second);
    queue_reply(ok_response());
    EXPECT_EQ(0, checkout(m_session));

    const int first_pid = nrw_api_get_bg_process_id(m_session);
    nrw_api_uninitialize(&m_session);
    EXPECT_EQ(nullptr, m_session);
    EXPECT_FALSE(testsys::process_exists(first_pid));

    start();
    EXPECT_NE(first_pid, nrw_api_get_bg_process_id(m_session));
    queue_reply(ok_response());
    EXPECT_EQ(0, checkout(m_session));
}

TEST_F(HelperTest, NullArgumentsOfTheSessionCallsAreHarmless) {
    EXPECT_EQ(-1, nrw_api_get_bg_process_id(nullptr));
    NRWAPIS_Session* none = nullptr;
    nrw_api_uninitialize(&none);
    nrw_api_uninitialize(nullptr);
    nrw_api_free_op_msg(nullptr);
    EXPECT_EQ(1, nrw_api_initialize(nullptr));
}

TEST_F(HelperTest, HelperInheritsOnlyItsOwnPipeEnds) {
    const std::uintptr_t canary = testsys::make_inheritable_canary();
    testsys::set_env("NRWH_CANARY", std::to_string(canary));
    start();
    queue_reply(ok_response());
    EXPECT_EQ(0, checkout(m_session));
    const int pid = nrw_api_get_bg_process_id(m_session);
    EXPECT_EQ("not inherited\n", testsys::read_file(m_log + "/" + std::to_string(pid) + ".canary"));
}

}  // namespace

namespace {

// A helper that has stopped reading but not yet ended passes the liveness check;
// the write into its pipe then fails, and must fail cleanly instead of taking the
// host down with a broken-pipe signal.
TEST_F(HelperTest, WritingToAHelperThatStoppedReadingFailsWithoutHarm) {
    start();
    // Long enough to outlast a busy machine; the failed write ends it at once.
    queue("linger 60000", ok_response());
    EXPECT_EQ(0, checkout(m_session));
    EXPECT_EQ(0u, m_session->last_os_error());
    ASSERT_TRUE(wait_for_answers(1));
    EXPECT_EQ(1, checkout(m_session));
    // The system's reason is kept where the write failed (a closed pipe).
    EXPECT_NE(0u, m_session->last_os_error());
    wait_until_gone(wait_for_helpers(1).at(0));
    queue_reply(ok_response());
    EXPECT_EQ(0, checkout(m_session));
}

}  // namespace

namespace {

// Run by the next case in a process of its own, which leaves without ending its
// session.
TEST(LeftRunning, DISABLED_StartAndLeaveWithoutUninitializing) {
    NRWAPIS_Session* session = nullptr;
    ASSERT_EQ(0, nrw_api_initialize(&session));
    EXPECT_EQ(0, nrw_api_launch_nrw(session));
}

TEST_F(HelperEnvironmentTest, ExitWithoutUninitializeLeavesTheHelperToEndAtEndOfInput) {
    const auto child = testsys::start_program(
        testsys::own_executable(),
        {"--gtest_also_run_disabled_tests",
         "--gtest_filter=LeftRunning.DISABLED_StartAndLeaveWithoutUninitializing"});
    ASSERT_EQ(0, testsys::wait_program(child));
    const int helper = wait_for_helpers(1).at(0);
    const std::string ended = m_log + "/" + std::to_string(helper) + ".end";
    testsys::wait_until([&] { return !testsys::read_file(ended).empty(); });
    EXPECT_EQ("input closed\n", testsys::read_file(ended));
}

}  // namespace

namespace {

TEST_F(HelperTest, SessionThatIsNotTheLiveOneGetsNoProcessIdAndEndsNothing) {
    start();
    const int helper = nrw_api_get_bg_process_id(m_session);
    int unrelated = 0;
    NRWAPIS_Session* foreign = reinterpret_cast<NRWAPIS_Session*>(&unrelated);
    EXPECT_EQ(-1, nrw_api_get_bg_process_id(foreign));
    nrw_api_uninitialize(&foreign);
    EXPECT_TRUE(testsys::process_exists(helper));
    EXPECT_EQ(0, checkout(m_session));
    EXPECT_EQ(helper, nrw_api_get_bg_process_id(m_session));
}

TEST_F(HelperTest, NulByteInsideAnAnswerDoesNotCutIt) {
    start();
    queue_reply(
        ok_response("<crv_op_msg_start>before" + std::string(1, '\0') + "after<crv_op_msg_end>"));
    char* op_msg = nullptr;
    EXPECT_EQ(0, checkout(m_session, 1, &op_msg));
    ASSERT_NE(nullptr, op_msg);
    EXPECT_STREQ("before", op_msg);
    EXPECT_EQ(0, std::memcmp(op_msg, "before\0after", 13));
    nrw_api_free_op_msg(op_msg);
}

}  // namespace
