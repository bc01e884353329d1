// A live session against the stand-in helper, with its request log and a queue
// of scripted answers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "nrwapis.h"
#include "test_system.h"

namespace testsys {

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Window handles as requests carry them, two hex digits per pointer byte,
// written out for each pointer width.
inline const std::string kNoWindow = sizeof(void*) == 8 ? "0000000000000000" : "00000000";
inline const std::string kWindowOne = sizeof(void*) == 8 ? "0000000000000001" : "00000001";
inline const std::string kWindow10 = sizeof(void*) == 8 ? "0000000000000010" : "00000010";
inline const std::string kWindowBeef = sizeof(void*) == 8 ? "000000000000BEEF" : "0000BEEF";
inline const std::string kWindowA0B2C = sizeof(void*) == 8 ? "00000000000A0B2C" : "000A0B2C";

inline std::string response(int status, const std::string& sections = "") {
    return "<response_start><exit_st_start>" + std::to_string(status) + "<exit_st_end>" + sections +
           "<response_end>";
}

inline std::string ok_response(const std::string& sections = "") {
    return response(0, sections);
}

// Scratch folders and the helper's steering variables, for any test that starts it.
class HelperEnvironmentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = make_temp_dir();
        ASSERT_FALSE(m_dir.empty());
        m_log = m_dir + "/log";
        m_script = m_dir + "/script";
        std::filesystem::create_directories(m_log);
        std::filesystem::create_directories(m_script);
        for (const char* name : {"NRWH_MODE", "NRWH_EXIT_AFTER", "NRWH_EXIT_CODE", "NRWH_WINDOW",
                                 "NRWH_CANARY", "NRWH_STATE_FILE", "NRWSCC_HELD_DIR"})
            unset_env(name);
        set_env("NRWH_LOG_DIR", m_log);
        set_env("NRWH_SCRIPT_DIR", m_script);
    }

    void TearDown() override { remove_tree(m_dir); }

    // The helper answers the next request as the directive says.
    void queue(const std::string& directive, const std::string& body = "") {
        char name[32];
        std::snprintf(name, sizeof(name), "/%04d", ++m_queued);
        write_file(m_script + name, directive + "\n" + body);
    }
    void queue_reply(const std::string& body) { queue("reply", body); }

    std::string requests() const { return read_file(m_log + "/requests.log"); }
    // Waits until the helper has written that many answers in full.
    bool wait_for_answers(std::size_t count) const {
        return wait_until([&] {
            const std::string text = read_file(m_log + "/answered.log");
            return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= count;
        });
    }
    // The helper notes its start when it runs, which is after the caller has gone on.
    std::vector<int> wait_for_helpers(std::size_t count) const {
        std::vector<int> pids;
        wait_until([&] { return (pids = helper_pids()).size() >= count; });
        return pids;
    }
    std::vector<int> helper_pids() const {
        std::istringstream in(read_file(m_log + "/pids.log"));
        std::vector<int> pids;
        for (int pid = 0; in >> pid;) pids.push_back(pid);
        return pids;
    }

    std::string m_dir, m_log, m_script;
    int m_queued = 0;
};

// The same with a client session of its own.
class HelperTest : public HelperEnvironmentTest {
  protected:
    void TearDown() override {
        nrw_api_uninitialize(&m_session);
        HelperEnvironmentTest::TearDown();
    }

    void start() { ASSERT_EQ(0, nrw_api_initialize(&m_session)); }

    NRWAPIS_Session* m_session = nullptr;
};

}  // namespace testsys
