// The trace file. Every case runs in a process of its own: the environment is
// consulted once per process and a closed trace stays closed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "nrwapis_tracer.h"
#include "test_system.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVariable = "CRVN_NRWAPIS_TRACE_DIR";
constexpr const char* kStartLine = "NRW_TEST_START_LINE";

class TraceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = testsys::make_temp_dir();
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override { testsys::remove_tree(m_dir); }

    std::vector<fs::path> trace_files(const std::string& dir) const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
        return files;
    }

    // The lines of the one trace file, without the carriage returns of text mode.
    std::vector<std::string> trace_lines() const {
        const auto files = trace_files(m_dir);
        EXPECT_EQ(1u, files.size());
        std::vector<std::string> lines;
        if (files.empty()) return lines;
        std::ifstream in(files[0], std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    // Runs a case in two processes at once until both first trace within one
    // second, and so into one file; false when they never did. Both wait at
    // the start line until both are there, so that their writes overlap.
    bool two_processes_share_a_file(const std::string& test_case) {
        testsys::set_env(kVariable, m_dir);
        const std::string start_line = m_dir + "-start";
        testsys::set_env(kStartLine, start_line);
        for (int attempt = 0; attempt < 5; ++attempt) {
            testsys::remove_tree(m_dir);
            testsys::remove_tree(start_line);
            fs::create_directories(m_dir);
            fs::create_directories(start_line);
            const std::vector<std::string> args = {"--gtest_also_run_disabled_tests",
                                                   "--gtest_filter=" + test_case};
            const auto first = testsys::start_program(testsys::own_executable(), args);
            const auto second = testsys::start_program(testsys::own_executable(), args);
            EXPECT_TRUE(testsys::wait_until([&] { return trace_files(start_line).size() == 2; }));
            std::ofstream(start_line + "/go").close();
            EXPECT_EQ(0, testsys::wait_program(first));
            EXPECT_EQ(0, testsys::wait_program(second));
            testsys::remove_tree(start_line);
            if (trace_files(m_dir).size() == 1) return true;  // else the clock turned a second
        }
        return false;
    }

    // In a child: says it is there, then waits for the other one.
    static void wait_at_the_start_line() {
        const char* line = std::getenv(kStartLine);
        if (line == nullptr) return;
        const std::string folder = line;
        std::ofstream(folder + "/" + std::to_string(std::random_device{}())).close();
        testsys::wait_until([&] { return fs::exists(folder + "/go"); });
    }

    std::string m_dir;
};

TEST_F(TraceTest, UnsetVariableTracesNothingForTheWholeProcess) {
    testsys::unset_env(kVariable);
    { NRWAPIS_Tracer("m", "c", "before").writeTrace("x"); }
    testsys::set_env(kVariable, m_dir);
    for (int i = 0; i < 3; ++i) NRWAPIS_Tracer("m", "c", "after").writeTrace("%d", i);
    EXPECT_TRUE(trace_files(m_dir).empty());
}

TEST_F(TraceTest, ScopeWritesEnteringDetailAndExitingLines) {
    testsys::set_env(kVariable, m_dir);
    {
        NRWAPIS_Tracer tracer("NRWScc_Impl", "NRWScc_Impl", "Initialize");
        tracer.writeTrace("refCount : %d", 1);
        tracer.writeTrace("100%% sure, %s", "50% off");
    }
    NRWAPIS_Tracer::close_file();
    EXPECT_EQ((std::vector<std::string>{"NRWScc_Impl::NRWScc_Impl::Initialize::Entering",
                                        "NRWScc_Impl::NRWScc_Impl::Initialize::refCount : 1",
                                        "NRWScc_Impl::NRWScc_Impl::Initialize::100% sure, 50% off",
                                        "NRWScc_Impl::NRWScc_Impl::Initialize::Exiting"}),
              trace_lines());
    const std::string name = trace_files(m_dir).at(0).filename().string();
    EXPECT_TRUE(
        std::regex_match(name, std::regex("nrwapis_log_d[0-2][0-9][0-5][0-9][0-6][0-9]\\.txt")))
        << name;
}

TEST_F(TraceTest, NothingIsWrittenAfterCloseNotEvenTheExitOfALiveScope) {
    testsys::set_env(kVariable, m_dir);
    {
        NRWAPIS_Tracer alive("m", "c", "alive");
        NRWAPIS_Tracer::close_file();
        alive.writeTrace("late");
        NRWAPIS_Tracer("m", "c", "after").writeTrace("later");
    }
    EXPECT_EQ((std::vector<std::string>{"m::c::alive::Entering"}), trace_lines());
}

TEST_F(TraceTest, FolderEndingInASeparatorIsUsedAsBuilt) {
    testsys::set_env(kVariable, m_dir + "/");
    { NRWAPIS_Tracer("m", "c", "f").writeTrace("x"); }
    NRWAPIS_Tracer::close_file();
    EXPECT_EQ(3u, trace_lines().size());
}

TEST_F(TraceTest, PathTooLongForItsBufferLeavesTracingOff) {
    std::string deep = m_dir;
    while (deep.size() < 240)
        deep += "/" + std::string(std::min<std::size_t>(20, 240 - deep.size()), 'd');
    fs::create_directories(deep);
    testsys::set_env(kVariable, deep);
    { NRWAPIS_Tracer("m", "c", "f").writeTrace("x"); }
    EXPECT_TRUE(trace_files(deep).empty());
}

TEST_F(TraceTest, LinesFromManyThreadsNeverInterleave) {
    testsys::set_env(kVariable, m_dir);
    std::vector<std::thread> threads;
    const std::string payload(300, 'p');
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &payload] {
            const std::string name = "t" + std::to_string(t);
            NRWAPIS_Tracer tracer("m", "c", name.c_str());
            for (int i = 0; i < 200; ++i) tracer.writeTrace("%s", payload.c_str());
        });
    }
    for (auto& thread : threads) thread.join();
    NRWAPIS_Tracer::close_file();
    const std::regex line("m::c::t[0-7]::(Entering|Exiting|p{300})");
    const auto lines = trace_lines();
    EXPECT_EQ(8u * 202u, lines.size());
    for (const auto& text : lines) ASSERT_TRUE(std::regex_match(text, line)) << text;
}

// Run by the next case in two processes at once.
TEST_F(TraceTest, DISABLED_WriteOneLine) {
    wait_at_the_start_line();
    NRWAPIS_Tracer("m", "c", "child").writeTrace("hello");
}

TEST_F(TraceTest, TwoProcessesInTheSameSecondShareOneFile) {
    ASSERT_TRUE(two_processes_share_a_file("TraceTest.DISABLED_WriteOneLine"));
    EXPECT_EQ(6u, trace_lines().size());
}

// Run by the next case in two processes at once: lines longer than any stream
// buffer.
TEST_F(TraceTest, DISABLED_WriteLongLines) {
    const std::string payload(9000, 'q');
    wait_at_the_start_line();
    NRWAPIS_Tracer tracer("m", "c", "long");
    for (int i = 0; i < 200; ++i) tracer.writeTrace("%s", payload.c_str());
}

TEST_F(TraceTest, TwoProcessesNeverSplitEachOthersLines) {
    ASSERT_TRUE(two_processes_share_a_file("TraceTest.DISABLED_WriteLongLines"));
    const std::string detail = "m::c::long::" + std::string(9000, 'q');
    const auto lines = trace_lines();
    EXPECT_EQ(2u * 202u, lines.size());
    int broken = 0;
    for (const auto& text : lines)
        broken += text != detail && text != "m::c::long::Entering" && text != "m::c::long::Exiting";
    EXPECT_EQ(0, broken);
}

}  // namespace

namespace {

TEST_F(TraceTest, EmptyVariableCountsAsUnset) {
    testsys::set_env(kVariable, "");
    NRWAPIS_Tracer("m", "c", "f").writeTrace("x");
    EXPECT_FALSE(NRWAPIS_Tracer::trace_on);
}

// Run by the next case in processes of their own, one per folder.
TEST_F(TraceTest, DISABLED_TraceOneLine) {
    NRWAPIS_Tracer("m", "c", "child").writeTrace("x");
}

TEST_F(TraceTest, LongestFolderThatStillTracesAndOneByteMore) {
    // The file name the tracer adds, with its separator: "/nrwapis_log_dHHMMSS.txt".
    const std::size_t file_part = 24;
    for (const std::size_t folder_length : {255 - file_part, 256 - file_part}) {
        SCOPED_TRACE(folder_length);
        const std::string base = (fs::path(m_dir) / "").string();
        const std::string folder = base + std::string(folder_length - base.size(), 'd');
        ASSERT_EQ(folder_length, folder.size());
        fs::create_directories(folder);
        testsys::set_env(kVariable, folder);
        const auto child = testsys::start_program(
            testsys::own_executable(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=TraceTest.DISABLED_TraceOneLine"});
        ASSERT_EQ(0, testsys::wait_program(child));
        EXPECT_EQ(folder_length + file_part <= 255 ? 1u : 0u, trace_files(folder).size());
    }
}

}  // namespace

namespace {

// The trace file names of the next few seconds, where a process started now
// would trace.
std::vector<std::string> names_of_the_next_seconds(int count) {
    std::vector<std::string> names;
    const std::time_t now = std::time(nullptr);
    for (int second = 0; second < count; ++second) {
        const std::time_t then = now + second;
        const std::tm* utc = std::gmtime(&then);
        char name[32];
        std::strftime(name, sizeof(name), "nrwapis_log_d%H%M%S.txt", utc);
        names.push_back(name);
    }
    return names;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What someone else may have put where the trace will be: each refused, so
// that the line goes nowhere rather than into what the name leads to.
TEST_F(TraceTest, ALinkAPipeASecondNameOrAStrangersFileGetsNoLine) {
    struct Case {
        const char* kind;
        std::function<bool(const fs::path& victim, const fs::path& name)> plant;
    };
    const std::vector<Case> cases = {
        {"symbolic link",
         [](const fs::path& victim, const fs::path& name) {
             std::error_code failed;
             fs::create_symlink(victim, name, failed);
             return !failed;
         }},
        {"hard link",
         [](const fs::path& victim, const fs::path& name) {
             std::error_code failed;
             fs::create_hard_link(victim, name, failed);
             return !failed;
         }},
        {"named pipe",
         [](const fs::path&, const fs::path& name) { return testsys::make_fifo(name.string()); }},
        {"another user's file",
         [](const fs::path&, const fs::path& name) {
             std::ofstream(name) << "theirs\n";
             return testsys::give_to_another_user(name.string());
         }},
    };
    const std::string victim_text = "setting=1\n";
    for (const Case& test : cases) {
        SCOPED_TRACE(test.kind);
        const fs::path folder = fs::path(m_dir) / "trace";
        testsys::remove_tree(folder.string());
        fs::create_directories(folder);
        const fs::path victim = fs::path(m_dir) / "settings.cfg";
        std::ofstream(victim, std::ios::binary) << victim_text;
        std::vector<fs::path> planted;
        for (const std::string& name : names_of_the_next_seconds(5))
            if (test.plant(victim, folder / name)) planted.push_back(folder / name);
        if (planted.empty()) {
            std::cout << "not shown on this system: " << test.kind << "\n";
            continue;
        }
        // (a pipe is never read: that would wait for a writer)
        const bool plain = fs::is_regular_file(fs::symlink_status(planted[0]));
        const std::string planted_before = plain ? contents(planted[0]) : "";
        testsys::set_env(kVariable, folder.string());
        const auto child = testsys::start_program(
            testsys::own_executable(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=TraceTest.DISABLED_TraceOneLine"});
        ASSERT_EQ(0, testsys::wait_program(child));
        EXPECT_EQ(victim_text, contents(victim));
        if (plain) {
            EXPECT_EQ(planted_before, contents(planted[0]));
        }
        EXPECT_EQ(planted.size(), trace_files(folder.string()).size());
    }
}

}  // namespace
