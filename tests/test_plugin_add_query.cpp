// Add, the status query and the commands that show the helper's own windows, as
// a host drives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_box_watcher.h"
#include "plugin_fixture.h"

namespace {

using namespace plugintest;
using testsys::ok_response;
using testsys::response;

std::vector<std::string> g_textOut;

LONG SCC_CALL collect_text(LPCSTR text, DWORD kind) {
    g_textOut.push_back(std::to_string(kind) + " " + text);
    return 0;
}

std::string query_answer(int status) {
    return ok_response("<query_res_start>" + std::to_string(status) + "<query_res_end>");
}

const std::string kBoxText =
    "Some files will not be added to source because they are outside of vob path or invalid";
const std::string kRefusedHeader =
    "2 Following files will not be added to source because they are outside a vob path  or "
    "invalid:";

struct AddCase {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> answers;  // the queries', then the add's
    SCCRTN expected;
    std::vector<std::string> added;  // empty: no add request
    std::vector<std::string> refused;
    bool failure_line;
};

TEST_F(PluginTest, AddQueriesEveryFileReportsTheRefusedAndAddsTheRest) {
    const std::string a = "C:\\w\\a.c", b = "C:\\w\\b.c", c = "C:\\w\\c.c";
    const AddCase cases[] = {
        {"all clean",
         {a, b},
         {query_answer(0), query_answer(0), ok_response()},
         SCC_OK,
         {a, b},
         {},
         false},
        {"middle refused",
         {a, b, c},
         {query_answer(0), query_answer(5), query_answer(0), ok_response()},
         SCC_OK,
         {a, c},
         {b},
         false},
        {"a cancelled query counts as addable",
         {a},
         {response(2), ok_response()},
         SCC_OK,
         {a},
         {},
         false},
        {"all refused, last query failed",
         {a, b},
         {query_answer(3), response(1)},
         SCC_E_UNKNOWNERROR,
         {},
         {a, b},
         true},
        {"all refused, last query answered",
         {a, b},
         {response(1), query_answer(4)},
         SCC_OK,
         {},
         {a, b},
         false},
        {"add cancelled",
         {a},
         {query_answer(0), response(2)},
         SCC_I_OPERATIONCANCELED,
         {a},
         {},
         false},
        {"add failed", {a}, {query_answer(0), response(1)}, SCC_E_UNKNOWNERROR, {a}, {}, true},
        {"no files", {}, {}, SCC_OK, {}, {}, false},
    };
    LPVOID context = open_session("TestHost", collect_text);
    std::vector<std::string> expected_trace;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        g_textOut.clear();
        for (const auto& answer : row.answers) queue_reply(answer);
        std::vector<LPCSTR> list;
        for (const auto& file : row.files) list.push_back(file.c_str());
        MessageBoxWatcher boxes("NorrowNavigator");
        LONG options[3] = {};
        EXPECT_EQ(row.expected, m_scc.Add(context, nullptr, static_cast<LONG>(list.size()),
                                          list.data(), "comment", options, nullptr));
        const auto shown = boxes.finish();

        std::string requests;
        for (const auto& file : row.files) requests += query_request(file, 1);
        if (!row.added.empty()) requests += file_set_request(0, row.added, testsys::kNoWindow, 2);
        EXPECT_EQ(requests, new_requests());
        std::vector<std::string> text_out;
        if (!row.refused.empty()) text_out.push_back(kRefusedHeader);
        for (const auto& file : row.refused) text_out.push_back("2 " + file);
        EXPECT_EQ(text_out, g_textOut);
        ASSERT_EQ(row.refused.empty() ? 0u : 1u, shown.size());
        if (!shown.empty()) {
            EXPECT_EQ(kBoxText, shown[0].text);
        }

        std::vector<std::string> texts = {"calling AddToSource with " +
                                          std::to_string(row.files.size()) + " files:"};
        for (std::size_t i = 0; i < row.files.size(); ++i)
            texts.push_back("FileName[" + std::to_string(i) + "] : " + row.files[i] + " ");
        for (const auto& file : row.added)
            texts.push_back(" file " + file + " in ready for add to src");
        if (!row.files.empty()) texts.push_back("Now calling nrw_api_add");
        if (row.failure_line) texts.push_back(" nrw_api_add failed");
        expected_trace = joined(expected_trace, scoped("Add", texts));
    }
    // A "~sak" file anywhere stops the add before any query.
    const char* sak[] = {"C:\\w\\a.c", "C:\\w\\~sak.c"};
    EXPECT_EQ(SCC_OK, m_scc.Add(context, nullptr, 2, sak, nullptr, nullptr, nullptr));
    EXPECT_EQ("", new_requests());
    expected_trace =
        joined(expected_trace,
               scoped("Add", {"calling AddToSource with 2 files:", "FileName[0] : C:\\w\\a.c ",
                              "FileName[1] : C:\\w\\~sak.c ", "Got a sak file !!!!!!!!!!!!!!!!"}));
    EXPECT_EQ(expected_trace, command_trace());
}

TEST_F(PluginTest, QueryInfoMapsTheHelpersStatusAndMarksOnlyWhatFailed) {
    const fs::path dir(m_dir);
    const struct {
        std::string path;
        const char* answer;  // null: not asked
        LONG expected;
    } files[] = {
        {(dir / "s0.c").string(), "0", 0},
        {(dir / "s1.c").string(), "1", 0x0001},
        {(dir / "s3.c").string(), "3", 0x1003},
        {(dir / "s9.c").string(), "9", 0x0801},
        {(dir / "s11.c").string(), "11", 0x1803},
        {(dir / "s4.c").string(), "4", 0},
        {(dir / "failing.c").string(), "fail", -1},
        {(dir / "absent.c").string(), nullptr, -1},
        {(dir / "no folder" / "x.c").string(), "1", 0x0001},
    };
    std::vector<LPCSTR> list;
    std::string requests;
    std::vector<std::string> texts;
    const int count = static_cast<int>(std::size(files));
    for (const auto& file : files) {
        if (file.path.find("absent") == std::string::npos &&
            file.path.find("no folder") == std::string::npos)
            testsys::write_file(file.path, "text");
        if (file.answer != nullptr) {
            queue_reply(std::string(file.answer) == "fail" ? response(1)
                                                           : query_answer(std::stoi(file.answer)));
            requests += query_request(file.path, 11);
        }
        texts.push_back("Querying for File[" + std::to_string(count - 1 - list.size()) +
                        "] : " + file.path);
        if (std::string(file.answer ? file.answer : "") == "fail")
            texts.push_back("Error returned from nrw_api_query and status is : 0");
        texts.push_back("File:" + file.path + " status:" + std::to_string(file.expected) + " ");
        list.push_back(file.path.c_str());
    }
    LPVOID context = open_session();
    std::vector<LONG> status(list.size(), 77);
    EXPECT_EQ(SCC_OK, m_scc.QueryInfo(context, count, list.data(), status.data()));
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(files[i].expected, status[i]) << i;
    EXPECT_EQ(requests, new_requests());
    EXPECT_EQ(SCC_OK, m_scc.QueryInfo(context, 0, nullptr, nullptr));
    EXPECT_EQ(joined(scoped("QueryInfo", texts), scoped("QueryInfo", {})), command_trace());
}

TEST_F(PluginTest, DiffHistoryPropertiesAndLaunchReachTheHelper) {
    const char* files[] = {"C:\\w\\a.c", "C:\\w\\b.c"};
    const std::string one = "C:\\w\\a.c";
    LPVOID context = open_session();
    // Launching needs no project; the others do.
    EXPECT_EQ(SCC_OK, m_scc.CloseProject(context));
    EXPECT_EQ(SCC_OK, m_scc.RunScc(context, nullptr, 2, files));
    LONG untouched = 5;
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.QueryInfo(context, 1, files, &untouched));
    EXPECT_EQ(5, untouched);
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.Diff(context, nullptr, files[0], 0, nullptr));
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.History(context, nullptr, 1, files, 0, nullptr));
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.Properties(context, nullptr, files[0]));
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.Add(context, nullptr, 1, files, nullptr, nullptr, nullptr));
    EXPECT_EQ(file_set_request(10, {}, testsys::kNoWindow, 0), new_requests());
    open_project(context);

    EXPECT_EQ(SCC_OK, m_scc.Diff(context, nullptr, files[0], 0x06, nullptr));
    queue_reply(response(2));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Diff(context, nullptr, files[0], 0, nullptr));
    EXPECT_EQ(file_set_request(7, {one}, testsys::kNoWindow, 0) +
                  file_set_request(7, {one}, testsys::kNoWindow, 0),
              new_requests());

    EXPECT_EQ(SCC_OK, m_scc.History(context, nullptr, 2, files, 0, nullptr));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.History(context, nullptr, 0, nullptr, 0, nullptr));
    queue_reply(response(1));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.History(context, nullptr, 1, files, 0, nullptr));
    EXPECT_EQ(file_set_request(8, {one}, testsys::kNoWindow, 0) +
                  file_set_request(8, {one}, testsys::kNoWindow, 0),
              new_requests());

    EXPECT_EQ(SCC_OK, m_scc.Properties(context, reinterpret_cast<HWND>(0xBEEF), files[0]));
    queue_reply(response(1));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Properties(context, nullptr, files[0]));
    EXPECT_EQ(file_set_request(9, {one}, testsys::kWindowBeef, 0) +
                  file_set_request(9, {one}, testsys::kNoWindow, 0),
              new_requests());
    queue_reply(response(1));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.RunScc(context, nullptr, 0, nullptr));

    const std::string diff_line = "FileName : " + one + " ";
    const std::vector<std::string> expected = {line("CloseProject", kEnter),
                                               line("CloseProject", kExit),
                                               line("RunScc", kEnter),
                                               line("RunScc", "No. of files : 2"),
                                               line("RunScc", "File[0] : C:\\w\\a.c "),
                                               line("RunScc", "File[1] : C:\\w\\b.c "),
                                               line("RunScc", kExit),
                                               line("QueryInfo", kEnter),
                                               line("QueryInfo", kExit),
                                               line("Diff", kEnter),
                                               line("Diff", kExit),
                                               line("History", kEnter),
                                               line("History", kExit),
                                               line("Properties", kEnter),
                                               line("Properties", kExit),
                                               line("Add", kEnter),
                                               line("Add", "calling AddToSource with 1 files:"),
                                               line("Add", kExit)};
    std::vector<std::string> lines = command_trace();
    ASSERT_GT(lines.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + expected.size()));
    lines.erase(lines.begin(), lines.begin() + expected.size());
    // After the project is opened again.
    lines.erase(lines.begin(), std::find(lines.begin(), lines.end(), line("Diff", kEnter)));
    std::vector<std::string> rest = scoped("Diff", {diff_line});
    rest = joined(rest, scoped("Diff", {diff_line, " nrw_api_compare_with_pred failed"}));
    rest = joined(rest, scoped("History", {}));
    rest = joined(rest, scoped("History", {}));
    rest = joined(rest, scoped("History", {" nrw_api_history failed"}));
    rest = joined(rest, scoped("Properties", {"Property of file : " + one}));
    rest = joined(rest,
                  scoped("Properties", {"Property of file : " + one, "nrw_api_property failed"}));
    rest = joined(rest, scoped("RunScc", {"No. of files : 0", "nrw_api_launch_nrw failed"}));
    EXPECT_EQ(rest, lines);
}

// A quick diff (no window, only "has it changed?") asks the helper for the
// file's status: modified gives "differs", controlled and unmodified gives
// "unchanged", and a file the helper cannot speak for is an error, never a
// blind "unchanged".
TEST_F(PluginTest, QuickDiffAsksTheHelperWhetherTheFileChanged) {
    const struct {
        const char* name;
        LONG flags;
        bool present;
        std::string answer;  // to the status query; empty: none is asked
        SCCRTN expected;
    } cases[] = {
        {"unchanged", 0x10, true, query_answer(1), SCC_OK},
        {"checked out, unchanged", 0x20, true, query_answer(3), SCC_OK},
        {"modified", 0x40, true, query_answer(9), SCC_I_FILEDIFFERS},
        {"checked out and modified", 0x10 | 0x04, true, query_answer(11), SCC_I_FILEDIFFERS},
        {"not controlled", 0x10, true, query_answer(0), SCC_E_UNKNOWNERROR},
        {"modified, not controlled", 0x20, true, query_answer(8), SCC_E_UNKNOWNERROR},
        {"query failed", 0x10, true, response(1), SCC_E_UNKNOWNERROR},
        {"file absent", 0x10, false, "", SCC_E_UNKNOWNERROR},
    };
    LPVOID context = open_session();
    std::vector<std::string> expected_trace;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (fs::path(m_dir) / (std::string(c.name) + ".c")).string();
        if (c.present) testsys::write_file(path, "int x;");
        if (!c.answer.empty()) queue_reply(c.answer);
        EXPECT_EQ(c.expected, m_scc.Diff(context, nullptr, path.c_str(), c.flags, nullptr));
        EXPECT_EQ(c.answer.empty() ? "" : query_request(path, 11), new_requests());
        std::vector<std::string> texts = {"FileName : " + path + " ", "Non graphical diff"};
        if (c.answer == response(1))
            texts.push_back("Error returned from nrw_api_query and status is : 0");
        expected_trace = joined(expected_trace, scoped("Diff", texts));
    }
    EXPECT_EQ(expected_trace, command_trace());
}

// No events: an empty name, status 0 and none remaining, whatever the buffers held.
TEST_F(PluginTest, GetEventsSaysThereAreNone) {
    LPVOID context = open_session();
    char name[8] = "stale";
    LONG status = 7, remaining = 7;
    EXPECT_EQ(SCC_OK, m_scc.GetEvents(context, name, &status, &remaining));
    EXPECT_EQ("", std::string(name));
    EXPECT_EQ(0, status);
    EXPECT_EQ(0, remaining);
    EXPECT_EQ(SCC_OK, m_scc.GetEvents(context, nullptr, nullptr, nullptr));
}

}  // namespace
