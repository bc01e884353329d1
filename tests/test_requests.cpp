// Request text for the cases the exports cannot reach on their own.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"
#include "framing.h"
#include "requests.h"

namespace {

std::string encode(int mode, const char* const* files, int count, long options, const char* comment,
                   const NRWAPIS_CustomRequest* custom = nullptr) {
    auto request = NRWAPIS_RequestFactory::instance()->create_request(
        mode, nullptr, 0, files, count, options, comment, custom);
    std::string text;
    if (request) request->encode(text);
    return text;
}

std::string between(const std::string& text, const std::string& start, const std::string& end) {
    const std::size_t from = text.find(start);
    const std::size_t to = text.find(end);
    if (from == std::string::npos || to == std::string::npos) return "<absent>";
    return text.substr(from + start.size(), to - from - start.size());
}

TEST(RequestEncoding, FileSets) {
    const char* three[] = {"a", "", "c"};
    struct {
        const char* const* files;
        int count;
        const char* expected;
    } cases[] = {{nullptr, 0, ""}, {three, 1, "a"}, {three, 3, "a<><>c"}, {three, -1, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, between(encode(1, c.files, c.count, 0, nullptr), "<fileset_start>",
                                      "<fileset_end>"));
    }
}

TEST(RequestEncoding, OptionsOnlyWhenPositive) {
    EXPECT_EQ("<absent>", between(encode(0, nullptr, 0, 0, nullptr), "<opt_start>", "<opt_end>"));
    EXPECT_EQ("<absent>", between(encode(0, nullptr, 0, -4, nullptr), "<opt_start>", "<opt_end>"));
    EXPECT_EQ("1", between(encode(0, nullptr, 0, 1, nullptr), "<opt_start>", "<opt_end>"));
}

TEST(RequestEncoding, CommentAndWindowByMode) {
    struct {
        int mode;
        const char* comment;
        const char* comment_section;
        bool window;
    } cases[] = {
        {0, "c", "<absent>", true}, {2, "c", "<absent>", true}, {1, nullptr, "<absent>", false},
        {1, "", "", false},         {1, "c", "c", false},
    };
    for (const auto& c : cases) {
        const std::string text = encode(c.mode, nullptr, 0, 0, c.comment);
        EXPECT_EQ(c.comment_section, between(text, "<comments_start>", "<comments_end>"));
        EXPECT_EQ(c.window, text.find("<win_handle_start>") != std::string::npos);
        EXPECT_EQ(std::to_string(c.mode), between(text, "<req_mode_start>", "<req_mode_end>"));
    }
}

TEST(RequestEncoding, CustomSections) {
    const NRWAPIS_CustomDeliverRequest empty_deliver(nullptr, nullptr, nullptr);
    const NRWAPIS_CustomRenameRequest no_names(nullptr, 0);
    EXPECT_EQ(encode(0, nullptr, 0, 0, nullptr), encode(0, nullptr, 0, 0, nullptr, &empty_deliver));
    EXPECT_EQ("", between(encode(0, nullptr, 0, 0, nullptr, &no_names), "<rename_nameset_start>",
                          "<rename_nameset_end>"));
}

TEST(RequestEncoding, EndsWithOneLineFeedAndStartsAfreshEachTime) {
    const std::string first = encode(0, nullptr, 0, 0, nullptr);
    const std::string second = encode(0, nullptr, 0, 0, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(0u, first.find("<request_start>"));
    EXPECT_EQ(first.size() - 14, first.find("<request_end>\n"));
    EXPECT_EQ(std::string::npos, first.find('\0'));
}

TEST(RequestEncoding, NoRequestForUnknownModes) {
    for (int mode : {-1, 3, 7}) EXPECT_EQ("", encode(mode, nullptr, 0, 0, nullptr));
}

TEST(HelperCommandLine, PathIsQuotedAndArgumentsFollowUnchanged) {
    // The folder above the library's own, whatever that folder is called; nothing
    // where the path has no such folder.
    const struct {
        const char* module;
        const char* folder;
    } layouts[] = {
        {"C:\\Program Files\\Nav\\nrwapis\\libnrwapis.dll", "C:\\Program Files\\Nav\\"},
        {"C:\\Program Files\\Nav\\nrwapis64\\libnrwapis.dll", "C:\\Program Files\\Nav\\"},
        {"Z:\\a\\b\\libnrwapis.dll", "Z:\\a\\"},
        {"/opt/nav/nrwapis/libnrwapis.so", "/opt/nav/"},
        {"C:\\nrwapis\\libnrwapis.dll", "C:\\"},
        {"C:\\short.dll", ""},
        {"\\x.dll", ""},
        {"libnrwapis.dll", ""},
        {"", ""},
    };
    for (const auto& layout : layouts)
        EXPECT_EQ(layout.folder, nrwapis::install_folder_from_module_path(layout.module))
            << layout.module;
    EXPECT_EQ(
        "\"C:\\Program Files\\Nav\\nrwnavigator.exe\" -nosplash -product "
        "com.velmor.quorlan.team.client.integration.product -application "
        "com.velmor.quorlan.team.client.integration.application -configuration "
        "@user.home/.Quorlan/NRW8/integration -data @user.home/.Quorlan/NRW8/workspace -vmargs "
        "-Dnrw_launch_cxt=nrwapis",
        nrwapis::quoted_command_line("C:\\Program Files\\Nav\\nrwnavigator.exe",
                                     nrwapis::helper_arguments()));
}

TEST(ResponseFraming, CompleteOnlyOnceTheEndTagHasArrivedEvenWhenCut) {
    std::string text;
    nrwapis::ResponseFramer framer(text);
    using State = nrwapis::ResponseFramer::State;
    EXPECT_EQ(State::need_more, framer.append("<response_start><respo", 22));
    EXPECT_EQ(State::need_more, framer.append("nse_e", 5));
    EXPECT_EQ(State::complete, framer.append("nd>tail", 7));
    EXPECT_EQ("<response_start><response_end>tail", text);
}

TEST(ResponseFraming, RefusesMoreThanTheLimit) {
    std::string text;
    nrwapis::ResponseFramer framer(text);
    const std::string block(1024 * 1024, 'x');
    auto state = nrwapis::ResponseFramer::State::need_more;
    for (int i = 0; i < 17; ++i) state = framer.append(block.data(), block.size());
    EXPECT_EQ(nrwapis::ResponseFramer::State::too_large, state);
    EXPECT_LE(text.size(), nrwapis::ResponseFramer::kMaxResponseBytes);
}

}  // namespace
