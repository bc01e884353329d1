// The file-set commands as a host drives them: what reaches the helper, what is
// traced, and how the helper's answer becomes the host's result.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin_fixture.h"

namespace {

using namespace plugintest;
using testsys::response;

using Call = std::function<SCCRTN(host::SccExports&, LPVOID, HWND, LONG, LPCSTR*)>;

struct FileSetCommand {
    const char* operation;
    int op;
    int mode;
    Call call;
    // The header and per-file lines for a list.
    std::function<std::vector<std::string>(const std::vector<std::string>&)> listing;
    const char* failure;
    bool sak_rule;
    bool returns_cancel;
};

void PrintTo(const FileSetCommand& command, std::ostream* out) {
    *out << command.operation;
}

std::vector<std::string> header_then_paths(const char* header,
                                           const std::vector<std::string>& files) {
    std::vector<std::string> lines = {header};
    lines.insert(lines.end(), files.begin(), files.end());
    return lines;
}

const std::vector<FileSetCommand>& commands() {
    static const std::vector<FileSetCommand> table = {
        {"Checkout", 2, 0,
         [](host::SccExports& s, LPVOID c, HWND w, LONG n, LPCSTR* f) {
             return s.Checkout(c, w, n, f, "comment", 7, nullptr);
         },
         [](const std::vector<std::string>& files) {
             return header_then_paths("calling Checkout with files:", files);
         },
         "nrw_api_checkout failed", true, true},
        {"Uncheckout", 3, 2,
         [](host::SccExports& s, LPVOID c, HWND w, LONG n, LPCSTR* f) {
             return s.Uncheckout(c, w, n, f, 7, nullptr);
         },
         [](const std::vector<std::string>& files) {
             return header_then_paths("calling nrw_api_cancel with files:", files);
         },
         "nrw_api_cancel failed", true, true},
        {"Checkin", 1, 2,
         [](host::SccExports& s, LPVOID c, HWND w, LONG n, LPCSTR* f) {
             return s.Checkin(c, w, n, f, "comment", 7, nullptr);
         },
         [](const std::vector<std::string>& files) {
             return header_then_paths("calling nrw_api_checkin with files:", files);
         },
         " nrw_api_checkin failed", false, true},
        {"Remove", 5, 2,
         [](host::SccExports& s, LPVOID c, HWND w, LONG n, LPCSTR* f) {
             return s.Remove(c, w, n, f, "comment", 7, nullptr);
         },
         [](const std::vector<std::string>& files) {
             std::vector<std::string> lines;
             for (std::size_t i = 0; i < files.size(); ++i)
                 lines.push_back("FileName[" + std::to_string(i) + "] : " + files[i] + " ");
             return lines;
         },
         "nrw_api_remove failed", true, true},
        {"Get", 11, 0,
         [](host::SccExports& s, LPVOID c, HWND w, LONG n, LPCSTR* f) {
             return s.Get(c, w, n, f, 7, nullptr);
         },
         [](const std::vector<std::string>& files) {
             std::vector<std::string> lines = {"No. of files in Get : " +
                                               std::to_string(files.size())};
             for (std::size_t i = 0; i < files.size(); ++i)
                 lines.push_back("File [" + std::to_string(i) + "] : " + files[i]);
             return lines;
         },
         " nrw_api_update failed", false, false},
    };
    return table;
}

std::vector<LPCSTR> pointers(const std::vector<std::string>& files) {
    std::vector<LPCSTR> list;
    for (const auto& file : files) list.push_back(file.c_str());
    return list;
}

HWND fake_window(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

class FileSetCommandTest : public PluginTest,
                           public ::testing::WithParamInterface<FileSetCommand> {};

// Percent signs and blanks at either end of a path are traced as they are.
const std::vector<std::string> kFiles = {"C:\\w\\a.c", "C:\\w\\100% d%s.c", " C:\\w\\b c.c "};

TEST_P(FileSetCommandTest, SendsTheWholeListOnceAndMapsTheAnswer) {
    const FileSetCommand& command = GetParam();
    LPVOID context = open_session();
    auto list = pointers(kFiles);
    const std::string request =
        file_set_request(command.op, kFiles, testsys::kWindowBeef, command.mode);
    std::vector<std::string> expected;
    const struct {
        int helper_status;
        SCCRTN expected;
        bool failure_line;
    } answers[] = {
        {0, SCC_OK, false},
        {2, command.returns_cancel ? SCC_I_OPERATIONCANCELED : SCC_E_UNKNOWNERROR,
         !command.returns_cancel},
        {1, SCC_E_UNKNOWNERROR, true},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.helper_status);
        queue_reply(response(answer.helper_status));
        EXPECT_EQ(answer.expected,
                  command.call(m_scc, context, fake_window(0xBEEF), 3, list.data()));
        EXPECT_EQ(request, new_requests());
        std::vector<std::string> texts = command.listing(kFiles);
        if (answer.failure_line) texts.push_back(command.failure);
        expected = joined(expected, scoped(command.operation, texts));
    }
    // An empty list still reaches the helper.
    EXPECT_EQ(SCC_OK, command.call(m_scc, context, fake_window(0xBEEF), 0, nullptr));
    EXPECT_EQ(file_set_request(command.op, {}, testsys::kWindowBeef, command.mode), new_requests());
    expected = joined(expected, scoped(command.operation, command.listing({})));
    EXPECT_EQ(expected, command_trace());
}

TEST_P(FileSetCommandTest, SakFileAnswersTheWholeListWithoutTheHelperWhereTheRuleApplies) {
    const FileSetCommand& command = GetParam();
    LPVOID context = open_session();
    const std::vector<std::string> upper = {"C:\\w\\a.c", "C:\\W\\~SAK\\x.c"};
    const std::vector<std::string> sak = {"C:\\w\\a.c", "C:\\w\\~sak\\b.c", "C:\\w\\c.c"};
    auto upper_list = pointers(upper);
    auto sak_list = pointers(sak);

    EXPECT_EQ(SCC_OK, command.call(m_scc, context, fake_window(1), 2, upper_list.data()));
    EXPECT_EQ(file_set_request(command.op, upper, testsys::kWindowOne, command.mode),
              new_requests());
    std::vector<std::string> expected = scoped(command.operation, command.listing(upper));

    EXPECT_EQ(SCC_OK, command.call(m_scc, context, fake_window(1), 3, sak_list.data()));
    if (command.sak_rule) {
        EXPECT_EQ("", new_requests());
        std::vector<std::string> texts =
            command.listing({sak[0], sak[1]});  // later files are not traced
        texts.push_back("Got a sak file !!!!!!!!!!!!!!!!");
        expected = joined(expected, scoped(command.operation, texts));
    } else {
        EXPECT_EQ(file_set_request(command.op, sak, testsys::kWindowOne, command.mode),
                  new_requests());
        expected = joined(expected, scoped(command.operation, command.listing(sak)));
    }
    EXPECT_EQ(expected, command_trace());
}

TEST_P(FileSetCommandTest, WithoutAnOpenProjectNothingIsSentOrTraced) {
    const FileSetCommand& command = GetParam();
    load_staged();
    m_context = initialize();
    auto list = pointers(kFiles);
    EXPECT_EQ(SCC_E_PROJNOTOPEN, command.call(m_scc, m_context, fake_window(1), 3, list.data()));
    EXPECT_EQ(scoped(command.operation, {}), command_trace());
    EXPECT_EQ("", requests());
}

TEST_P(FileSetCommandTest, HostThatWantsNoParentSendsANullWindow) {
    const FileSetCommand& command = GetParam();
    LPVOID context = open_session("VssProvider");
    auto list = pointers(kFiles);
    EXPECT_EQ(SCC_OK, command.call(m_scc, context, fake_window(0xBEEF), 1, list.data()));
    EXPECT_EQ(file_set_request(command.op, {kFiles[0]}, testsys::kNoWindow, command.mode),
              new_requests());
}

INSTANTIATE_TEST_SUITE_P(Commands, FileSetCommandTest, ::testing::ValuesIn(commands()),
                         [](const auto& param_info) {
                             return std::string(param_info.param.operation);
                         });

}  // namespace
