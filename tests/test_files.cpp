// The plug-in's file services on the real file system: what rename copies,
// compares and changes is a plain file of the user's, opened once, and nothing
// that shares its attributes with another file is changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "helper_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace nrwscc::platform;

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = testsys::make_temp_dir();
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override { testsys::remove_tree(m_dir); }

    std::string path(const std::string& name) const { return (fs::path(m_dir) / name).string(); }

    // What is no plain file here: a pipe where the system has them in its
    // folders, and a device.
    std::vector<std::string> no_plain_files() const {
        std::vector<std::string> paths;
        if (testsys::make_fifo(path("pipe"))) paths.push_back(path("pipe"));
        if (testsys::has_device_names()) paths.push_back("NUL");
        return paths;
    }

    static bool read_only(const std::string& file) {
        return (fs::status(file).permissions() & fs::perms::owner_write) == fs::perms::none;
    }
    static void make_read_only(const std::string& file) {
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    }

    std::string m_dir;
};

// A pipe swapped in for the user's file once made a copy wait on it, and then
// put an empty "copy" back over the file.
TEST_F(FilesTest, APipeOrDeviceIsNeverCopiedNorCompared) {
    testsys::write_file(path("file"), "");
    for (const std::string& source : no_plain_files()) {
        SCOPED_TRACE(source);
        std::uint32_t error = 0;
        EXPECT_FALSE(copy_file_no_replace(source.c_str(), path("copy").c_str(), error));
        EXPECT_NE(0u, error);
        EXPECT_FALSE(fs::exists(path("copy")));
        EXPECT_FALSE(same_contents(source.c_str(), path("file").c_str()));
        EXPECT_FALSE(same_contents(path("file").c_str(), source.c_str()));
    }
}

TEST_F(FilesTest, ACopyHasTheBytesAndTheReadOnlyAttribute) {
    testsys::write_file(path("file"), std::string(200000, 'x') + "end");
    make_read_only(path("file"));
    std::uint32_t error = 0;
    ASSERT_TRUE(copy_file_no_replace(path("file").c_str(), path("copy").c_str(), error));
    EXPECT_TRUE(same_contents(path("file").c_str(), path("copy").c_str()));
    EXPECT_TRUE(read_only(path("copy")));
    testsys::write_file(path("other"), std::string(200000, 'x') + "End");
    EXPECT_FALSE(same_contents(path("copy").c_str(), path("other").c_str()));
    EXPECT_FALSE(copy_file_no_replace(path("file").c_str(), path("copy").c_str(), error));
    EXPECT_EQ(kAlreadyExists, error);
}

// A link, or a second name of a file, shares that file's attributes: clearing
// or writing them there would change a file the call does not work on.
TEST_F(FilesTest, AttributesChangeOnlyOnAFileWithNoOtherName) {
    const std::string user_file = path("ro-user.txt");
    testsys::write_file(user_file, "user");
    make_read_only(user_file);
    std::vector<std::string> other_names;
    std::error_code failed;
    fs::create_hard_link(user_file, path("hard-link"), failed);
    if (!failed) other_names.push_back(path("hard-link"));
    fs::create_symlink(user_file, path("symlink"), failed);
    if (!failed) other_names.push_back(path("symlink"));
    ASSERT_FALSE(other_names.empty());
    for (const std::string& name : other_names) {
        SCOPED_TRACE(name);
        std::uint32_t error = 0;
        EXPECT_TRUE(set_normal_attributes(name.c_str(), error));
        write_attributes(name.c_str(), 0);
        EXPECT_TRUE(read_only(user_file));
    }
    testsys::write_file(path("own.txt"), "own");
    make_read_only(path("own.txt"));
    std::uint32_t error = 0;
    EXPECT_TRUE(set_normal_attributes(path("own.txt").c_str(), error));
    EXPECT_FALSE(read_only(path("own.txt")));
}

}  // namespace
