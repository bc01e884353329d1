// Rename as a host drives it, against real files: the file at the new path is
// never lost, whatever the helper answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin_fixture.h"

namespace {

using namespace plugintest;
using testsys::ok_response;
using testsys::response;

enum class AtNewPath { file, read_only_file, nothing, folder };

struct RenameCase {
    const char* name;
    AtNewPath at_new_path;
    std::vector<std::string> answers;  // restore, rename, refresh
    SCCRTN expected;
    std::vector<std::string> texts;  // after the three opening lines
    int requests;                    // how many of restore, rename, refresh were sent
    bool file_kept;                  // the user's file is back at the new path
};

std::vector<std::string> folder_entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST_F(PluginTest, RenameNeverLosesTheFileAtTheNewPath) {
    const std::string back = "the host's copy of the file is put back at : ";
    const RenameCase cases[] = {
        {"renamed", AtNewPath::file, {}, SCC_OK, {back}, 3, true},
        {"read-only file", AtNewPath::read_only_file, {}, SCC_OK, {back}, 3, true},
        {"restore cancelled", AtNewPath::file, {response(2)}, SCC_E_UNKNOWNERROR, {}, 1, true},
        // The host has not moved the file yet: the helper must not restore over it.
        {"nothing at the new path",
         AtNewPath::nothing,
         {},
         SCC_E_UNKNOWNERROR,
         {"Setattribute  failed"},
         0,
         false},
        {"a folder at the new path",
         AtNewPath::folder,
         {},
         SCC_E_UNKNOWNERROR,
         {"file could not be deleted, access denied", "file could not be deleted"},
         0,
         false},
        {"rename cancelled",
         AtNewPath::file,
         {ok_response(), response(2)},
         SCC_I_OPERATIONCANCELED,
         {},
         2,
         true},
        {"rename failed",
         AtNewPath::file,
         {ok_response(), response(1)},
         SCC_E_UNKNOWNERROR,
         {"nrw_api_rename failed"},
         2,
         true},
        {"refresh failed",
         AtNewPath::file,
         {ok_response(), ok_response(), response(1)},
         SCC_E_UNKNOWNERROR,
         {back, "nrw_api_refresh failed"},
         3,
         true},
    };
    LPVOID context = open_session();
    std::vector<std::string> expected_trace;
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = fs::path(m_dir) / ("case" + std::to_string(index++));
        fs::create_directories(folder);
        const std::string old_path = (folder / "old.c").string();
        const std::string new_path = (folder / "new.c").string();
        if (c.at_new_path == AtNewPath::folder) fs::create_directories(new_path);
        if (c.at_new_path == AtNewPath::file || c.at_new_path == AtNewPath::read_only_file)
            testsys::write_file(new_path, "mine");
        if (c.at_new_path == AtNewPath::read_only_file)
            fs::permissions(new_path, fs::perms::owner_write, fs::perm_options::remove);
        for (const auto& answer : c.answers) queue_reply(answer);

        EXPECT_EQ(c.expected, m_scc.Rename(context, reinterpret_cast<HWND>(0xBEEF),
                                           old_path.c_str(), new_path.c_str()));

        const std::string new_name = new_path.substr(new_path.find_last_of('\\') + 1);
        const std::string sent[] = {
            file_set_request(12, {old_path}, 0xBEEF, 2, "<opt_start>4<opt_end>"),
            file_set_request(4, {old_path}, 0xBEEF, 2,
                             "<rename_nameset_start>" + new_name + "<rename_nameset_end>"),
            file_set_request(13, {new_path}, 0xBEEF, 2, "<opt_start>11<opt_end>")};
        std::string requests;
        for (int i = 0; i < c.requests; ++i) requests += sent[i];
        EXPECT_EQ(requests, new_requests());
        if (c.at_new_path != AtNewPath::folder) {
            EXPECT_EQ(c.file_kept ? "mine" : "", testsys::read_file(new_path));
        }
        // Nothing is left aside.
        const std::vector<std::string> expected_entries =
            c.file_kept || c.at_new_path == AtNewPath::folder ? std::vector<std::string>{"new.c"}
                                                              : std::vector<std::string>{};
        EXPECT_EQ(expected_entries, folder_entries(folder));

        std::vector<std::string> texts = {"lpFileName is : " + old_path,
                                          "lpNewName is : " + new_path, "fname is : " + new_name};
        for (const auto& text : c.texts) texts.push_back(text == back ? back + new_path : text);
        expected_trace = joined(expected_trace, scoped("Rename", texts));
    }
    EXPECT_EQ(expected_trace, command_trace());
}

TEST_F(PluginTest, RenameKeepsTheFileAsideWhenItsPathIsTakenMeanwhile) {
    LPVOID context = open_session();
    const std::string old_path = (fs::path(m_dir) / "old.c").string();
    const std::string new_path = (fs::path(m_dir) / "new.c").string();
    testsys::write_file(new_path, "mine");
    queue_reply(ok_response());
    queue("create " + new_path, response(1));
    EXPECT_EQ(SCC_E_UNKNOWNERROR,
              m_scc.Rename(context, nullptr, old_path.c_str(), new_path.c_str()));
    const std::string aside = (fs::path(m_dir) / "~nrw0").string();
    EXPECT_EQ("mine", testsys::read_file(aside));
    EXPECT_EQ("made by the helper\n", testsys::read_file(new_path));
    const auto lines = command_trace();
    EXPECT_NE(lines.end(),
              std::find(lines.begin(), lines.end(),
                        line("Rename", "file that stood at the new path is kept as : " + aside)));
}

// After a rename the new path holds the host's bytes, whatever the helper left
// there, and nothing stays aside; also for a path near the system's limit.
TEST_F(PluginTest, RenamedFileHoldsTheHostsBytes) {
    struct Case {
        const char* name;
        std::string host_bytes;
        std::size_t path_length;  // 0: a short path
        bool put_back;
    };
    const std::string helpers = "made by the helper\n";
    const Case cases[] = {
        {"helper leaves other bytes", "mine", 0, true},
        {"helper leaves the same bytes", helpers, 0, false},
        {"long path", "mine", 255, true},
    };
    LPVOID context = open_session();
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path folder = fs::path(m_dir) / ("c" + std::to_string(index++));
        const std::size_t short_length = (folder / "new.c").string().size();
        if (c.path_length > short_length)
            folder /= std::string(c.path_length - short_length - 1, 'd');
        fs::create_directories(folder);
        const std::string old_path = (folder / "old.c").string();
        const std::string new_path = (folder / "new.c").string();
        if (c.path_length != 0) {
            ASSERT_EQ(c.path_length, new_path.size());
        }
        testsys::write_file(new_path, c.host_bytes);
        queue_reply(ok_response());
        queue("create " + new_path, ok_response());
        queue_reply(ok_response());

        EXPECT_EQ(SCC_OK, m_scc.Rename(context, nullptr, old_path.c_str(), new_path.c_str()));
        EXPECT_EQ(c.host_bytes, testsys::read_file(new_path));
        EXPECT_EQ(std::vector<std::string>{"new.c"}, folder_entries(folder));
    }
}

// Names the client library would refuse are refused before the disk is touched:
// in the old path everywhere, in the new name where the system can hold one.
TEST_F(PluginTest, RefusedRenameLeavesTheNewPathAsItWas) {
    LPVOID context = open_session();
    const fs::path folder = fs::path(m_dir) / "refused";
    for (const bool in_new_name : {false, true}) {
        for (const std::string marker : {"<>", "<response_end>", "<request_end>"}) {
            SCOPED_TRACE(marker + (in_new_name ? " in the new name" : " in the old path"));
            fs::create_directories(folder);
            const std::string odd = (folder / ("a" + marker + "b.c")).string();
            const std::string plain = (folder / "plain.c").string();
            const std::string new_path = in_new_name ? odd : plain;
            testsys::write_file(new_path, "mine");
            if (!fs::exists(new_path)) continue;  // Windows cannot hold such a name
            fs::permissions(new_path, fs::perms::owner_write, fs::perm_options::remove);
            EXPECT_EQ(SCC_E_UNKNOWNERROR,
                      m_scc.Rename(context, nullptr, (in_new_name ? plain : odd).c_str(),
                                   new_path.c_str()));
            EXPECT_EQ(fs::perms::none, fs::status(new_path).permissions() & fs::perms::owner_write);
            EXPECT_EQ("mine", testsys::read_file(new_path));
            EXPECT_EQ("", new_requests());
            fs::permissions(new_path, fs::perms::owner_write, fs::perm_options::add);
            fs::remove_all(folder);
        }
    }
}

TEST_F(PluginTest, WithoutAnOpenProjectRenameTouchesNothing) {
    load_staged();
    m_context = initialize();
    const std::string new_path = (fs::path(m_dir) / "new.c").string();
    testsys::write_file(new_path, "mine");
    EXPECT_EQ(SCC_E_PROJNOTOPEN, m_scc.Rename(m_context, nullptr, "old.c", new_path.c_str()));
    EXPECT_EQ("mine", testsys::read_file(new_path));
    EXPECT_EQ("", requests());
    EXPECT_EQ(scoped("Rename", {}), command_trace());
}

}  // namespace
