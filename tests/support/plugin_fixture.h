// A host test program's view of the plug-in: loaded by full path from the
// staged installation, with the trace and the helper's logs in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "helper_fixture.h"
#include "nrw_identity.h"
#include "plugin_loader.h"

namespace plugintest {

namespace fs = std::filesystem;

inline const std::string kEnter = "::Entering";
inline const std::string kExit = "::Exiting";

inline std::string line(const std::string& operation, const std::string& text) {
    return "NRWScc_Impl::NRWScc_Impl::" + operation +
           (text.rfind("::", 0) == 0 ? text : "::" + text);
}

// The scope of the first Initialize of the process, which starts the helper.
inline std::vector<std::string> first_initialize_lines() {
    return {line("Initialize", kEnter), line("Initialize", "refCount : 1"),
            line("Initialize", "Initializing the helper process for : TestHost"),
            line("Initialize", "Initialized the helper process"), line("Initialize", kExit)};
}

inline std::vector<std::string> joined(std::vector<std::string> head,
                                       const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

inline LONG SCC_CALL ignore_text(LPCSTR, DWORD) {
    return 0;
}

inline BOOL SCC_CALL count_populate(LPVOID data, BOOL, LONG, LPCSTR) {
    ++*static_cast<int*>(data);
    return 1;
}

class PluginTest : public testsys::HelperEnvironmentTest {
  protected:
    void SetUp() override {
        HelperEnvironmentTest::SetUp();
        m_trace = m_dir + "/trace";
        fs::create_directories(m_trace);
        testsys::set_env("CRVN_NRWAPIS_TRACE_DIR", m_trace);
    }

    void TearDown() override {
        if (m_context != nullptr) m_scc.Uninitialize(m_context);
        HelperEnvironmentTest::TearDown();
    }

    static fs::path stage() {
        return fs::path(testsys::own_executable()).parent_path().parent_path() / "stage";
    }

    void load(const fs::path& plugin, host::LoadStyle style = host::LoadStyle::plain) {
        std::string error;
        std::vector<std::string> missing;
        const bool loaded = host::load_provider(plugin.string(), style, m_scc, error, missing);
        std::string names;
        for (const auto& name : missing) names += name + " ";
        ASSERT_TRUE(loaded) << error << ": " << names;
    }
    void load_staged() { load(stage() / "nrwapis" / nrw::kPluginFile); }

    LPVOID initialize(const char* caller = "TestHost") {
        LPVOID context = nullptr;
        char name[32] = {};
        char aux[32] = {};
        LONG caps = 0, checkout_len = 0, comment_len = 0;
        EXPECT_EQ(SCC_OK, m_scc.Initialize(&context, nullptr, caller, name, &caps, aux,
                                           &checkout_len, &comment_len));
        return context;
    }

    void open_project(LPVOID context, LPTEXTOUTPROC text_out = ignore_text) {
        char user[] = "me";
        char project[] = "proj";
        char aux[] = "aux";
        EXPECT_EQ(SCC_OK, m_scc.OpenProject(context, nullptr, user, project, "C:\\work", aux, "",
                                            text_out, 0));
    }

    // A provider with an open project; what it sends from now on is seen.
    LPVOID open_session(const char* caller = "TestHost", LPTEXTOUTPROC text_out = ignore_text) {
        load_staged();
        m_context = initialize(caller);
        open_project(m_context, text_out);
        new_requests();
        return m_context;
    }

    // Ends the session and gives the lines its commands traced: those after the
    // setup and before the closing uninitialize. Scope lines are written out only
    // with the next detail line, so the trace is read once it is closed.
    std::vector<std::string> command_trace() {
        EXPECT_EQ(SCC_OK, m_scc.Uninitialize(m_context));
        m_context = nullptr;
        std::vector<std::string> lines = trace_lines();
        auto begin = std::find_if(lines.begin(), lines.end(), [](const std::string& text) {
            return text.find("::Initialize::") == std::string::npos &&
                   text.find("::OpenProject::") == std::string::npos;
        });
        auto end = std::find(begin, lines.end(), line("UnInitialize", kEnter));
        return std::vector<std::string>(begin, end);
    }

    // What was sent since the last look.
    std::string new_requests() {
        std::string all = requests();
        const std::string fresh = all.substr(std::min(m_requestsSeen, all.size()));
        m_requestsSeen = all.size();
        return fresh;
    }

    std::vector<std::string> trace_lines() const {
        std::vector<std::string> lines;
        for (const auto& entry : fs::directory_iterator(m_trace)) {
            std::istringstream in(testsys::read_file(entry.path().string()));
            for (std::string text; std::getline(in, text);) {
                if (!text.empty() && text.back() == '\r') text.pop_back();
                lines.push_back(text);
            }
        }
        return lines;
    }

    // Copies the libraries into a folder of an installation of their own and, if
    // asked, the helper into the installation.
    fs::path install_copy(const fs::path& root, bool with_helper,
                          const std::string& folder = "nrwapis") {
        fs::create_directories(root / folder);
        for (const char* file : {nrw::kPluginFile, nrw::kClientLibraryFile})
            fs::copy_file(stage() / "nrwapis" / file, root / folder / file);
        if (with_helper) install_helper(root);
        return root / folder / nrw::kPluginFile;
    }
    static void install_helper(const fs::path& root) {
        fs::copy_file(stage() / nrw::kHelperFile, root / nrw::kHelperFile);
    }

    host::SccExports m_scc;
    std::string m_trace;
    LPVOID m_context = nullptr;
    std::size_t m_requestsSeen = 0;
};

// A request of a command on a list of files, as the helper receives it.
inline std::string file_set_request(int op, const std::vector<std::string>& files,
                                    const std::string& window, int mode,
                                    const std::string& extra = "") {
    std::string names;
    for (const auto& file : files) names += (names.empty() ? "" : "<>") + file;
    return "<request_start><op_identifier_start>" + std::to_string(op) +
           "<op_identifier_end><fileset_start>" + names + "<fileset_end>" + extra +
           "<win_handle_start>" + window + "<win_handle_end><req_mode_start>" +
           std::to_string(mode) + "<req_mode_end><request_end>\n";
}

// A status query as the helper receives it.
inline std::string query_request(const std::string& path, long options) {
    return "<request_start><op_identifier_start>6<op_identifier_end><fileset_start>" + path +
           "<fileset_end><opt_start>" + std::to_string(options) +
           "<opt_end><req_mode_start>1<req_mode_end><request_end>\n";
}

// The scope's lines around what an operation wrote.
inline std::vector<std::string> scoped(const std::string& operation,
                                       const std::vector<std::string>& texts) {
    std::vector<std::string> lines = {line(operation, kEnter)};
    for (const auto& text : texts) lines.push_back(line(operation, text));
    lines.push_back(line(operation, kExit));
    return lines;
}

}  // namespace plugintest
