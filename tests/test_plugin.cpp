// The plug-in as an IDE sees it: loaded by full path from another folder, every
// export found by name, called through function pointers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "message_box_watcher.h"
#include "nrw_identity.h"
#include "plugin_fixture.h"

namespace fs = std::filesystem;

namespace {

using namespace plugintest;

TEST_F(PluginTest, SelfAnsweringExportsNeedNoProviderAndTraceNothing) {
    load_staged();
    EXPECT_EQ(65539, m_scc.GetVersion());
    BOOL flag = 7;
    EXPECT_EQ(SCC_OK, m_scc.GetExtendedCapabilities(nullptr, 5, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.GetExtendedCapabilities(nullptr, 5, &flag));
    EXPECT_EQ(0, flag);
    // Outputs get the answer that means "no", not what the host's memory held.
    flag = 7;
    EXPECT_EQ(SCC_OK, m_scc.IsMultiCheckoutEnabled(nullptr, &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(SCC_OK, m_scc.IsMultiCheckoutEnabled(nullptr, nullptr));
    LONG option = 7;
    EXPECT_EQ(SCC_OK, m_scc.GetUserOption(nullptr, 1, &option));
    EXPECT_EQ(0, option);
    EXPECT_EQ(SCC_OK, m_scc.GetUserOption(nullptr, 1, nullptr));
    // As many answers as files, and not one more; none for a negative count.
    BOOL will_create[4] = {7, 7, 7, 7};
    EXPECT_EQ(SCC_OK, m_scc.WillCreateSccFile(nullptr, 3, nullptr, will_create));
    EXPECT_EQ((std::vector<BOOL>{0, 0, 0, 7}), std::vector<BOOL>(will_create, will_create + 4));
    will_create[0] = 7;
    EXPECT_EQ(SCC_OK, m_scc.WillCreateSccFile(nullptr, -1, nullptr, will_create));
    EXPECT_EQ(7, will_create[0]);
    EXPECT_EQ(SCC_OK, m_scc.WillCreateSccFile(nullptr, 3, nullptr, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.DirDiff(nullptr, nullptr, "C:\\w", 0, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.BeginBatch());
    EXPECT_EQ(SCC_OK, m_scc.EndBatch());
    EXPECT_EQ(SCC_OK, m_scc.CreateSubProject(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr));
    EXPECT_EQ(SCC_OK,
              m_scc.GetParentProjectPath(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.WillCreateSccFile(nullptr, 0, nullptr, &flag));
    EXPECT_EQ(SCC_OK, m_scc.BackgroundGet(nullptr, 0, nullptr, 0, 0));
    EXPECT_EQ(SCC_OK, m_scc.QueryChanges(nullptr, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.EnumChangedFiles(nullptr, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.AddFilesFromSCC(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                            nullptr, nullptr));
    EXPECT_EQ(SCC_OK, m_scc.RemoveDir(nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr));
    EXPECT_TRUE(trace_lines().empty());
}

TEST_F(PluginTest, ProvidersShareOneHelperThatTheLastUninitializeEnds) {
    load_staged();
    LPVOID first = initialize();
    LPVOID second = initialize();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    ASSERT_EQ(1u, wait_for_helpers(1).size());
    const int helper = helper_pids()[0];
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(first));
    EXPECT_TRUE(testsys::process_exists(helper));
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(second));
    EXPECT_FALSE(testsys::process_exists(helper));

    const std::vector<std::string> expected =
        joined(first_initialize_lines(), {
                                             line("Initialize", kEnter),
                                             line("Initialize", "refCount : 2"),
                                             line("Initialize", kExit),
                                             line("UnInitialize", kEnter),
                                             line("UnInitialize", "refCount : 1"),
                                             line("UnInitialize", kExit),
                                             line("UnInitialize", kEnter),
                                             line("UnInitialize", "refCount : 0"),
                                             line("UnInitialize", "Killing the helper process"),
                                             line("UnInitialize", "Killed the helper process"),
                                         });
    EXPECT_EQ(expected, trace_lines());

    // A new start in the same process gets a new helper and traces nothing more.
    LPVOID again = initialize();
    ASSERT_EQ(2u, wait_for_helpers(2).size());
    EXPECT_NE(helper, helper_pids()[1]);
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(again));
    EXPECT_FALSE(testsys::process_exists(helper_pids()[1]));
    EXPECT_EQ(expected, trace_lines());
}

TEST_F(PluginTest, UninitializeClosesAnOpenProjectFirst) {
    load_staged();
    LPVOID context = initialize();
    open_project(context);
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
    const std::vector<std::string> expected =
        joined(first_initialize_lines(), {
                                             line("OpenProject", kEnter),
                                             line("OpenProject", "lpProjName : proj"),
                                             line("OpenProject", "lpLocalProjPath : C:\\work"),
                                             line("OpenProject", "lpAuxProjPath : aux"),
                                             line("OpenProject", kExit),
                                             line("UnInitialize", kEnter),
                                             line("CloseProject", kEnter),
                                             line("CloseProject", kExit),
                                             line("UnInitialize", "refCount : 0"),
                                             line("UnInitialize", "Killing the helper process"),
                                             line("UnInitialize", "Killed the helper process"),
                                         });
    EXPECT_EQ(expected, trace_lines());
}

TEST_F(PluginTest, InitializeFillsWhatTheHostGaveAndSkipsWhatItDidNot) {
    load_staged();
    struct {
        const char* caller;
        bool name, aux, caps, lengths;
    } cases[] = {
        {"Host", true, true, true, true},
        {"Host", false, false, true, true},
        {nullptr, true, false, false, false},
    };
    for (const auto& c : cases) {
        char name[32], aux[32];
        std::memset(name, 'x', sizeof(name));
        std::memset(aux, 'x', sizeof(aux));
        LONG caps = 0, checkout_len = 0, comment_len = 0;
        LPVOID context = reinterpret_cast<LPVOID>(1);
        ASSERT_EQ(SCC_OK, m_scc.Initialize(&context, nullptr, c.caller, c.name ? name : nullptr,
                                           c.caps ? &caps : nullptr, c.aux ? aux : nullptr,
                                           c.lengths ? &checkout_len : nullptr,
                                           c.lengths ? &comment_len : nullptr));
        ASSERT_NE(nullptr, context);
        const std::string provider = "Corvane Norrow Navigator";
        EXPECT_EQ(c.name ? provider : std::string(32, 'x'), std::string(name, c.name ? 24 : 32));
        EXPECT_EQ(c.aux ? provider : std::string(32, 'x'), std::string(aux, c.aux ? 24 : 32));
        EXPECT_EQ(c.caps ? 0x540080BFu : 0u, static_cast<uint32_t>(caps));
        EXPECT_EQ(c.lengths ? 4096 : 0, checkout_len);
        EXPECT_EQ(c.lengths ? 4096 : 0, comment_len);
        EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
    }
}

TEST_F(PluginTest, ProjectOperationsAnswerWithoutTheHelper) {
    load_staged();
    LPVOID context = initialize();
    int populated = 0;
    LONG status[1] = {77};
    const char* files[] = {"C:\\w\\a.c"};
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.CloseProject(context));
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.PopulateList(context, SCC_COMMAND_GET, 1, files,
                                                    count_populate, &populated, status, 0));
    open_project(context);
    open_project(context);
    EXPECT_EQ(SCC_OK, m_scc.PopulateList(context, SCC_COMMAND_GET, 1, files, count_populate,
                                         &populated, status, 0));
    EXPECT_EQ(0, populated);
    EXPECT_EQ(77, status[0]);
    EXPECT_EQ(SCC_E_OPNOTSUPPORTED, m_scc.SetOption(context, 1, 1));
    EXPECT_EQ(SCC_E_OPNOTSUPPORTED, m_scc.AddFromScc(context, nullptr, nullptr, nullptr));
    LPCMDOPTS options = nullptr;
    EXPECT_EQ(SCC_I_ADV_SUPPORT,
              m_scc.GetCommandOptions(context, nullptr, SCC_COMMAND_CHECKOUT, &options));
    EXPECT_EQ(nullptr, options);
    char project[] = "p";
    char local[] = "C:\\l";
    BOOL is_new = 5;
    EXPECT_EQ(SCC_OK,
              m_scc.GetProjPath(context, nullptr, nullptr, project, local, nullptr, 1, &is_new));
    EXPECT_EQ(5, is_new);
    EXPECT_EQ(SCC_OK, m_scc.CloseProject(context));
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.CloseProject(context));
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));

    std::vector<std::string> lines = trace_lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(first_initialize_lines(), std::vector<std::string>(lines.begin(), lines.begin() + 5));
    lines.erase(lines.begin(), lines.begin() + 5);
    const std::vector<std::string> project_lines = {
        line("OpenProject", "lpProjName : proj"), line("OpenProject", "lpLocalProjPath : C:\\work"),
        line("OpenProject", "lpAuxProjPath : aux")};
    std::vector<std::string> expected = {line("CloseProject", kEnter), line("CloseProject", kExit),
                                         line("PopulateList", kEnter), line("PopulateList", kExit)};
    for (int twice = 0; twice < 2; ++twice) {
        expected.push_back(line("OpenProject", kEnter));
        expected.insert(expected.end(), project_lines.begin(), project_lines.end());
        expected.push_back(line("OpenProject", kExit));
    }
    const std::vector<std::string> tail = {
        line("PopulateList", kEnter),
        line("PopulateList", kExit),
        line("GetCommandOptions", kEnter),
        line("GetCommandOptions", kExit),
        line("GetProjPath", kEnter),
        line("GetProjPath", "lpProjName : p"),
        line("GetProjPath", "lpLocalProjPath : C:\\l"),
        line("GetProjPath", kExit),
        line("CloseProject", kEnter),
        line("CloseProject", kExit),
        line("CloseProject", kEnter),
        line("CloseProject", kExit),
        line("UnInitialize", kEnter),
        line("UnInitialize", "refCount : 0"),
        line("UnInitialize", "Killing the helper process"),
        line("UnInitialize", "Killed the helper process"),
    };
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(expected, lines);
}

TEST_F(PluginTest, ContextThatIsNoLiveProviderIsRefused) {
    load_staged();
    LPVOID retired = initialize();
    ASSERT_EQ(SCC_OK, m_scc.Uninitialize(retired));
    const size_t traced = trace_lines().size();
    int foreign = 0;
    const char* files[] = {"C:\\w\\a.c"};
    char text[8] = "x";
    LONG value = 0;
    for (LPVOID context : {static_cast<LPVOID>(nullptr), static_cast<LPVOID>(&foreign), retired}) {
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Uninitialize(context));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.OpenProject(context, nullptr, text, text, text, text,
                                                        text, ignore_text, 0));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.CloseProject(context));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Checkout(context, nullptr, 1, files, "", 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Uncheckout(context, nullptr, 1, files, 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Checkin(context, nullptr, 1, files, "", 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Add(context, nullptr, 1, files, "", &value, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Remove(context, nullptr, 1, files, "", 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Get(context, nullptr, 1, files, 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Diff(context, nullptr, files[0], 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.History(context, nullptr, 1, files, 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.QueryInfo(context, 1, files, &value));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.DirQueryInfo(context, 1, files, &value));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.GetEvents(context, text, &value, &value));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.RunScc(context, nullptr, 1, files));
        EXPECT_EQ(SCC_E_UNKNOWNERROR,
                  m_scc.GetProjPath(context, nullptr, text, text, text, text, 0, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR,
                  m_scc.GetCommandOptions(context, nullptr, SCC_COMMAND_GET, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Rename(context, nullptr, files[0], files[0]));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.AddFromScc(context, nullptr, nullptr, nullptr));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Properties(context, nullptr, files[0]));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.PopulateList(context, SCC_COMMAND_GET, 1, files,
                                                         nullptr, nullptr, &value, 0));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.SetOption(context, 1, 1));
        EXPECT_EQ(SCC_E_UNKNOWNERROR,
                  m_scc.PopulateDirList(context, 1, files, nullptr, nullptr, 0));
    }
    // A live provider with an unsound file list is refused too.
    LPVOID live = initialize();
    const char* holes[] = {"C:\\w\\a.c", nullptr};
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.Checkout(live, nullptr, 2, holes, "", 0, nullptr));
    EXPECT_EQ(SCC_E_UNKNOWNERROR, m_scc.QueryInfo(live, 3, nullptr, &value));
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(live));
    EXPECT_EQ(traced, trace_lines().size());
}

// Hosts declare the name buffers with the API's 31 bytes as well as with 32.
TEST_F(PluginTest, InitializeWritesTheNameAndItsEndOnly) {
    load_staged();
    char name[40], aux[40];
    std::memset(name, 'x', sizeof(name));
    std::memset(aux, 'x', sizeof(aux));
    LPVOID context = nullptr;
    ASSERT_EQ(SCC_OK,
              m_scc.Initialize(&context, nullptr, "Host", name, nullptr, aux, nullptr, nullptr));
    for (const char* buffer : {name, aux}) {
        EXPECT_STREQ("Corvane Norrow Navigator", buffer);
        EXPECT_EQ(std::string(15, 'x'), std::string(buffer + 25, 15));
    }
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
}

// Negative counts are a broken host: refused before anything reaches the helper.
TEST_F(PluginTest, NegativeFileCountsAreRefused) {
    LPVOID context = open_session();
    const char* files[] = {"C:\\w\\a.c"};
    LONG value = 0;
    const struct {
        const char* name;
        std::function<SCCRTN(LONG)> call;
    } exports[] = {
        {"checkout",
         [&](LONG n) { return m_scc.Checkout(context, nullptr, n, files, "", 0, nullptr); }},
        {"uncheckout",
         [&](LONG n) { return m_scc.Uncheckout(context, nullptr, n, files, 0, nullptr); }},
        {"checkin",
         [&](LONG n) { return m_scc.Checkin(context, nullptr, n, files, "", 0, nullptr); }},
        {"remove",
         [&](LONG n) { return m_scc.Remove(context, nullptr, n, files, "", 0, nullptr); }},
        {"get", [&](LONG n) { return m_scc.Get(context, nullptr, n, files, 0, nullptr); }},
        {"add", [&](LONG n) { return m_scc.Add(context, nullptr, n, files, "", &value, nullptr); }},
        {"query", [&](LONG n) { return m_scc.QueryInfo(context, n, files, &value); }},
        {"history", [&](LONG n) { return m_scc.History(context, nullptr, n, files, 0, nullptr); }},
        {"launch", [&](LONG n) { return m_scc.RunScc(context, nullptr, n, files); }},
    };
    for (const auto& e : exports) {
        for (const LONG count : {LONG(-1), LONG(-5), LONG(INT32_MIN)}) {
            SCOPED_TRACE(std::string(e.name) + " " + std::to_string(count));
            EXPECT_EQ(SCC_E_UNKNOWNERROR, e.call(count));
        }
    }
    EXPECT_EQ("", new_requests());
}

// A C host may pass any int where a command is asked for.
TEST_F(PluginTest, CommandNumbersOutOfRangeAreAnsweredAsAnyOther) {
    LPVOID context = open_session();
    const char* files[] = {"C:\\w\\a.c"};
    LONG status = 0;
    for (const int command : {-5, 11, 999, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(command);
        const auto odd = static_cast<SCCCOMMAND>(command);
        EXPECT_EQ(SCC_I_ADV_SUPPORT, m_scc.GetCommandOptions(context, nullptr, odd, nullptr));
        EXPECT_EQ(SCC_OK, m_scc.PopulateList(context, odd, 1, files, nullptr, nullptr, &status, 0));
    }
}

// A host that ends a provider on one thread while another thread's command on it
// waits for the helper: the command finishes on a provider that is still there,
// and later calls with the context are refused.
TEST_F(PluginTest, EndingAProviderWaitsForTheCommandsStillRunningOnIt) {
    load_staged();
    LPVOID keeper = initialize();  // keeps the session up, so the end is immediate
    const char* files[] = {"C:\\w\\a.c"};
    const struct {
        const char* name;
        std::function<SCCRTN(LPVOID)> call;
    } commands[] = {
        {"checkout",
         [&](LPVOID c) { return m_scc.Checkout(c, nullptr, 1, files, "", 0, nullptr); }},
        {"add",
         [&](LPVOID c) {
             LONG options = 0;
             return m_scc.Add(c, nullptr, 1, files, "", &options, nullptr);
         }},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        // The raising host and a refusing answer make the command read the
        // provider's caller name and text callback after the helper answered.
        LPVOID doomed = initialize("National Instruments LabVIEW");
        open_project(doomed);
        const std::size_t sent = requests().size();
        queue("pieces 2 300", testsys::ok_response("<query_res_start>3<query_res_end>"));
        MessageBoxWatcher boxes("NorrowNavigator");  // the refused add's box
        std::thread running([&] { command.call(doomed); });
        testsys::wait_until([&] { return requests().size() != sent; });
        EXPECT_EQ(SCC_OK, m_scc.Uninitialize(doomed));
        EXPECT_EQ(SCC_E_UNKNOWNERROR, command.call(doomed));
        running.join();
        boxes.finish();
    }
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(keeper));
}

TEST_F(PluginTest, InitializeWithNowhereToPutTheContextFails) {
    load_staged();
    EXPECT_EQ(SCC_E_INITIALIZEFAILED, m_scc.Initialize(nullptr, nullptr, "Host", nullptr, nullptr,
                                                       nullptr, nullptr, nullptr));
    EXPECT_TRUE(helper_pids().empty());
}

TEST_F(PluginTest, AfterARelaunchFailsLaterCommandsFailWithoutLaunchingAgain) {
    testsys::set_env("NRWH_EXIT_AFTER", "1");
    const fs::path root = fs::path(m_dir) / "install";
    load(install_copy(root, true));
    m_context = initialize();
    open_project(m_context);
    const char* files[] = {"C:\\w\\a.c"};
    auto checkout = [&] { return m_scc.Checkout(m_context, nullptr, 1, files, "", 0, nullptr); };
    EXPECT_EQ(SCC_OK, checkout());
    const int first = wait_for_helpers(1).at(0);
    ASSERT_TRUE(testsys::wait_until([&] { return !testsys::process_exists(first); }));
    fs::remove(root / nrw::kHelperFile);
    EXPECT_EQ(SCC_E_UNKNOWNERROR, checkout());
    install_helper(root);
    EXPECT_EQ(SCC_E_UNKNOWNERROR, checkout());
    EXPECT_EQ(1u, helper_pids().size());
}

TEST_F(PluginTest, FailedStartGivesBackItsCountSoTheLastUninitializeStillEndsTheHelper) {
    const fs::path root = fs::path(m_dir) / "install";
    load(install_copy(root, false));
    LPVOID context = reinterpret_cast<LPVOID>(1);
    EXPECT_EQ(SCC_E_INITIALIZEFAILED, m_scc.Initialize(&context, nullptr, "Host", nullptr, nullptr,
                                                       nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, context);

    install_helper(root);
    context = initialize();
    ASSERT_EQ(1u, wait_for_helpers(1).size());
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
    EXPECT_FALSE(testsys::process_exists(helper_pids()[0]));
    const auto lines = trace_lines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(line("Initialize", "Initialize failed "), lines[3]);
    EXPECT_EQ(line("Initialize", "refCount : 1"), lines[6]);
    EXPECT_EQ(line("UnInitialize", "Killed the helper process"), lines.back());
}

// The helper is the navigator in the folder above the libraries' folder, in the
// layout the library was made for and in a sibling folder for another build. A
// process loads one client library: one layout per case.
class LibraryFolderTest : public PluginTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(LibraryFolderTest, FindsTheNavigatorInTheFolderAbove) {
    const fs::path root = fs::path(m_dir) / "install";
    load(install_copy(root, true, GetParam()));
    LPVOID context = initialize();
    ASSERT_NE(nullptr, context);
    const int helper = wait_for_helpers(1).at(0);
    const std::string argv = testsys::read_file(m_log + "/" + std::to_string(helper) + ".argv");
    EXPECT_NE(std::string::npos, argv.find((root / nrw::kHelperFile).string())) << argv;
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
}

INSTANTIATE_TEST_SUITE_P(Layouts, LibraryFolderTest, ::testing::Values("nrwapis", "nrwapis64"));

class InstalledPluginTest : public PluginTest,
                            public ::testing::WithParamInterface<host::LoadStyle> {};

TEST_P(InstalledPluginTest, LoadsFromItsInstallFolderUnderAPathWithABlank) {
    const fs::path root = fs::path(m_dir) / "my app";
    const fs::path plugin = install_copy(root, true);
    fs::copy_file(stage() / ".." / "tests" / NRW_DECOY_FILE, fs::path(m_dir) / NRW_DECOY_FILE);
    load(plugin, GetParam());
    LPVOID context = initialize();
    ASSERT_NE(nullptr, context);
    ASSERT_EQ(1u, wait_for_helpers(1).size());
    EXPECT_EQ(SCC_OK, m_scc.Uninitialize(context));
    const std::string argv =
        testsys::read_file(m_log + "/" + std::to_string(helper_pids()[0]) + ".argv");
    EXPECT_NE(std::string::npos, argv.find("my app")) << argv;
    EXPECT_NE(std::string::npos, argv.find("-Dnrw_launch_cxt=nrwapis")) << argv;
    EXPECT_FALSE(fs::exists(fs::path(m_log) / "decoy-ran"));
}

INSTANTIATE_TEST_SUITE_P(LoadStyles, InstalledPluginTest,
                         ::testing::Values(host::LoadStyle::plain,
                                           host::LoadStyle::altered_search_path),
                         [](const auto& param_info) {
                             return param_info.param == host::LoadStyle::plain
                                        ? "LoadLibrary"
                                        : "AlteredSearchPath";
                         });

TEST_F(PluginTest, ConcurrentHostThreadsKeepTheCountRight) {
    load_staged();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, &failures] {
            for (int i = 0; i < 10; ++i) {
                LPVOID context = nullptr;
                if (m_scc.Initialize(&context, nullptr, "Host", nullptr, nullptr, nullptr, nullptr,
                                     nullptr) != SCC_OK ||
                    m_scc.Uninitialize(context) != SCC_OK)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
    for (int pid : helper_pids()) EXPECT_FALSE(testsys::process_exists(pid));
}

}  // namespace
