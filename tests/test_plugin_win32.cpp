// What only a real Windows host shows: its own top-level windows under a virtual
// display, and installations whose client library is missing or broken.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "message_box_watcher.h"
#include "nrw_identity.h"
#include "plugin_fixture.h"

namespace {

using namespace plugintest;
using testsys::response;

HWND make_window(const char* title, bool visible) {
    static const ATOM window_class = [] {
        WNDCLASSA description{};
        description.lpfnWndProc = DefWindowProcA;
        description.hInstance = GetModuleHandleA(nullptr);
        description.lpszClassName = "NrwTestHostWindow";
        return RegisterClassA(&description);
    }();
    return CreateWindowExA(0, MAKEINTATOM(window_class), title,
                           WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 50, 50, 300, 200,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// A real window's handle as requests carry it, printed by the C library.
std::string printed_handle(HWND window) {
    char text[32];
    std::snprintf(text, sizeof(text), "%0*" PRIXPTR, static_cast<int>(sizeof(void*) * 2),
                  reinterpret_cast<std::uintptr_t>(window));
    return text;
}

std::uintptr_t value_of(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

bool is_above(HWND upper, HWND lower) {
    for (HWND next = GetWindow(upper, GW_HWNDNEXT); next != nullptr;
         next = GetWindow(next, GW_HWNDNEXT))
        if (next == lower) return true;
    return false;
}

bool is_topmost(HWND window) {
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

const char* kFile[] = {"C:\\w\\a.c"};

std::string query_answer(int status) {
    return testsys::ok_response("<query_res_start>" + std::to_string(status) + "<query_res_end>");
}

BOOL CALLBACK find_visible_window_of(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->first || !IsWindowVisible(window)) return TRUE;
    search->second = window;
    return FALSE;
}

// The foreground moves between processes a moment after it was asked to.
bool becomes_foreground(HWND window) {
    return testsys::wait_until([&] { return GetForegroundWindow() == window; });
}

HWND helper_window(int process_id) {
    std::pair<DWORD, HWND> search{static_cast<DWORD>(process_id), nullptr};
    EnumWindows(find_visible_window_of, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

TEST_F(PluginTest, NullParentIsTheHostsFirstVisibleWindowFoundOncePerProject) {
    make_window("hidden", false);
    HWND first = make_window("first", true);
    ASSERT_NE(nullptr, first);
    LPVOID context = open_session();
    ASSERT_EQ(SCC_OK, m_scc.Checkout(context, nullptr, 1, kFile, nullptr, 0, nullptr));
    EXPECT_EQ(file_set_request(2, {kFile[0]}, printed_handle(first), 0), new_requests());

    HWND second = make_window("second", true);
    ASSERT_TRUE(is_above(second, first));
    ASSERT_EQ(SCC_OK, m_scc.Get(context, nullptr, 1, kFile, 0, nullptr));
    EXPECT_EQ(file_set_request(11, {kFile[0]}, printed_handle(first), 0), new_requests());

    // A new project searches again.
    open_project(context);
    ASSERT_EQ(SCC_OK, m_scc.Checkin(context, nullptr, 1, kFile, nullptr, 0, nullptr));
    EXPECT_EQ(file_set_request(1, {kFile[0]}, printed_handle(second), 2), new_requests());

    // That host wants no parent for the helper's dialogs at all.
    LPVOID no_parent = initialize("VssProvider");
    open_project(no_parent);
    ASSERT_EQ(SCC_OK, m_scc.Remove(no_parent, nullptr, 1, kFile, nullptr, 0, nullptr));
    EXPECT_EQ(file_set_request(5, {kFile[0]}, testsys::kNoWindow, 2), new_requests());
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(no_parent));
}

TEST_F(PluginTest, OneHostGetsItsWindowBackOnTopAfterADialogCommand) {
    HWND host = make_window("host", false);
    HWND other = make_window("other", true);
    load_staged();
    const char* kRaiser = "National Instruments LabVIEW";
    const struct {
        const char* caller;
        const char* command;
        int helper_status;
        bool raised;
    } cases[] = {
        {kRaiser, "checkout", 0, true},    {kRaiser, "uncheckout", 0, true},
        {kRaiser, "checkin", 0, true},     {kRaiser, "remove", 0, true},
        {kRaiser, "add", 0, true},         {kRaiser, "properties", 0, false},
        {kRaiser, "checkout", 1, true},    {kRaiser, "get", 0, false},
        {kRaiser, "get", 2, false},        {kRaiser, "checkout", 2, false},
        {kRaiser, "remove", 2, false},     {"National Instruments Labview", "checkout", 0, false},
        {"TestHost", "checkin", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.caller) + " " + c.command + " " +
                     std::to_string(c.helper_status));
        ShowWindow(host, SW_HIDE);
        SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        LPVOID context = initialize(c.caller);
        open_project(context);
        const std::string command = c.command;
        if (command == "add") queue_reply(query_answer(0));
        queue_reply(response(c.helper_status));
        if (command == "checkout") m_scc.Checkout(context, host, 1, kFile, nullptr, 0, nullptr);
        if (command == "uncheckout") m_scc.Uncheckout(context, host, 1, kFile, 0, nullptr);
        if (command == "checkin") m_scc.Checkin(context, host, 1, kFile, nullptr, 0, nullptr);
        if (command == "remove") m_scc.Remove(context, host, 1, kFile, nullptr, 0, nullptr);
        if (command == "get") m_scc.Get(context, host, 1, kFile, 0, nullptr);
        if (command == "add") m_scc.Add(context, host, 1, kFile, nullptr, nullptr, nullptr);
        if (command == "properties") m_scc.Properties(context, host, kFile[0]);
        EXPECT_EQ(c.raised, IsWindowVisible(host) != FALSE);
        EXPECT_EQ(c.raised, is_above(host, other));
        EXPECT_FALSE(is_topmost(host));
        EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
    }
}

TEST_F(PluginTest, AddShowsItsBoxOverTheHostsWindowAsGiven) {
    HWND host = make_window("host", true);
    LPVOID context = open_session();
    queue_reply(query_answer(1));
    MessageBoxWatcher boxes("NorrowNavigator");
    EXPECT_EQ(SCC_OK, m_scc.Add(context, host, 1, kFile, nullptr, nullptr, nullptr));
    const auto shown = boxes.finish();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(value_of(host), shown[0].owner);
    queue_reply(query_answer(1));
    MessageBoxWatcher unowned("NorrowNavigator");
    EXPECT_EQ(SCC_OK, m_scc.Add(context, nullptr, 1, kFile, nullptr, nullptr, nullptr));
    const auto unowned_shown = unowned.finish();
    ASSERT_EQ(1u, unowned_shown.size());
    EXPECT_EQ(0u, unowned_shown[0].owner);
}

TEST_F(PluginTest, HelperWindowComesToTheForegroundAfterLaunchDiffAndHistory) {
    testsys::set_env("NRWH_WINDOW", "1");
    HWND host = make_window("host", true);
    LPVOID context = open_session();
    const int helper = wait_for_helpers(1).at(0);
    HWND shown = nullptr;
    testsys::wait_until([&] { return (shown = helper_window(helper)) != nullptr; });
    const std::string log = m_log + "\\" + std::to_string(helper) + ".activations";
    auto activation_count = [&] {
        const std::string text = testsys::read_file(log);
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    auto activations_reach = [&](std::size_t count) {
        return testsys::wait_until([&] { return activation_count() >= count; });
    };
    ASSERT_NE(nullptr, shown);
    const struct {
        const char* command;
        const char* directive;  // how the helper answers
    } steps[] = {{"launch", "reply"},
                 {"diff", "reply"},
                 {"history", "reply"},
                 // A failed call brings it up all the same.
                 {"history", "reply"},
                 // With no visible window the one found before is used.
                 {"launch", "hide"}};
    int index = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.command) + " " + step.directive);
        SetForegroundWindow(host);
        ASSERT_TRUE(becomes_foreground(host));
        const std::size_t activations = activation_count();
        queue(step.directive, testsys::response(++index == 4 ? 1 : 0));
        const std::string command = step.command;
        if (command == "launch") m_scc.RunScc(context, nullptr, 1, kFile);
        if (command == "diff") m_scc.Diff(context, nullptr, kFile[0], 0, nullptr);
        if (command == "history") m_scc.History(context, nullptr, 1, kFile, 0, nullptr);
        if (std::string(step.directive) != "hide") {
            EXPECT_TRUE(becomes_foreground(shown));
        } else {
            // A hidden window never shows as the foreground, but it is activated,
            // which a null window would not be.
            EXPECT_TRUE(activations_reach(activations + 1));
        }
    }
}

// An installation whose client library cannot serve the plug-in is refused at
// initialize; the host lives on.
TEST_F(PluginTest, BrokenInstallationFailsToInitializeInsteadOfEndingTheHost) {
    const fs::path stage_libs = stage() / "nrwapis";
    const struct {
        const char* name;
        void (*lay_out)(const fs::path& libraries, const fs::path& stage_libs);
    } installations[] = {
        {"client library missing", [](const fs::path&, const fs::path&) {}},
        {"client library not a DLL",
         [](const fs::path& libraries, const fs::path&) {
             testsys::write_file((libraries / nrw::kClientLibraryFile).string(), "not a library");
         }},
        {"another DLL in its place",
         [](const fs::path& libraries, const fs::path& staged) {
             fs::copy_file(staged / nrw::kPluginFile, libraries / nrw::kClientLibraryFile);
         }},
    };
    // A working installation of the client library in the host's folder, helper
    // included: the plug-in must not pick it up.
    const fs::path working = fs::path(m_dir) / "host" / "nrwapis";
    fs::create_directories(working);
    fs::copy_file(stage_libs / nrw::kClientLibraryFile, working / nrw::kClientLibraryFile);
    install_helper(working.parent_path());
    const fs::path previous = fs::current_path();
    fs::current_path(working);
    int index = 0;
    for (const auto& installation : installations) {
        SCOPED_TRACE(installation.name);
        const fs::path root = fs::path(m_dir) / ("install" + std::to_string(index++));
        fs::create_directories(root / "nrwapis");
        install_helper(root);
        fs::copy_file(stage_libs / nrw::kPluginFile, root / "nrwapis" / nrw::kPluginFile);
        installation.lay_out(root / "nrwapis", stage_libs);
        load(root / "nrwapis" / nrw::kPluginFile);
        LPVOID context = reinterpret_cast<LPVOID>(1);
        LONG caps = 5;
        char name[32] = "untouched";
        EXPECT_EQ(SCC_E_INITIALIZEFAILED, m_scc.Initialize(&context, nullptr, "Host", name, &caps,
                                                           nullptr, nullptr, nullptr));
        EXPECT_EQ(nullptr, context);
        EXPECT_EQ(5, caps);
        EXPECT_STREQ("untouched", name);
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Checkout(nullptr, nullptr, 1, kFile, "", 0, nullptr));
    }
    fs::current_path(previous);
    EXPECT_TRUE(helper_pids().empty());
}

}  // namespace
