// The registration tool and the command-line host as a user runs them, against
// the real registry of the Wine prefix and the stand-in helper.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "helper_fixture.h"
#include "pe_builder.h"
#include "scc_export_names.h"

namespace {

namespace fs = std::filesystem;
using testsys::response;

constexpr REGSAM kView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
const std::string kScc = "SOFTWARE\\SourceCodeControlProvider";
const std::string kInstalled = kScc + "\\InstalledSCCProviders";
const std::string kOurs = "SOFTWARE\\Corvane\\NorrowNavigator";

// Every key and value below a key, as "path" and "path=name" with the value's
// type, a colon and its bytes.
void snapshot_into(const std::string& key, std::map<std::string, std::string>& into) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | kView, &opened) != 0) return;
    into[key] = "";
    char name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof(name), data_size = sizeof(data), type = 0;
        if (RegEnumValueA(opened, i, name, &name_size, nullptr, &type, data, &data_size) != 0)
            break;
        into[key + "=" + name] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), data_size);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof(name);
        if (RegEnumKeyExA(opened, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) != 0)
            break;
        subkeys.push_back(key + "\\" + name);
    }
    RegCloseKey(opened);
    for (const auto& subkey : subkeys) snapshot_into(subkey, into);
}

std::map<std::string, std::string> snapshot() {
    std::map<std::string, std::string> values;
    snapshot_into(kScc, values);
    snapshot_into("SOFTWARE\\Corvane", values);
    return values;
}

void set_value(const std::string& key, const std::string& name, DWORD type,
               const std::string& bytes, REGSAM view = kView) {
    HKEY opened = nullptr;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | view,
                                 nullptr, &opened, nullptr));
    RegSetValueExA(opened, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(opened);
}

void set_string(const std::string& key, const std::string& name, const std::string& value,
                REGSAM view = kView) {
    set_value(key, name, REG_SZ, std::string(value.c_str(), value.size() + 1), view);
}

std::string get_string(const std::string& key, const std::string& name) {
    const auto values = snapshot();
    const auto found = values.find(key + "=" + name);
    if (found == values.end()) return "(none)";
    return std::string(found->second.c_str() + found->second.find(':') + 1);
}

void delete_tree(const std::string& key) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

class ToolTest : public testsys::HelperEnvironmentTest {
  protected:
    void SetUp() override {
        HelperEnvironmentTest::SetUp();
        run(register_tool(), {"uninstall"});
        delete_tree("SOFTWARE\\OtherVendor");
    }
    void TearDown() override {
        run(register_tool(), {"uninstall"});
        HelperEnvironmentTest::TearDown();
    }

    static fs::path stage() {
        return fs::path(testsys::own_executable()).parent_path().parent_path() / "stage";
    }
    static std::string register_tool() {
        return (stage() / "nrwapis" / "nrwregister.exe").string();
    }
    static std::string host_tool() {
        return (stage().parent_path() / "tools" / "nrwhost.exe").string();
    }

    int run(const std::string& program, const std::vector<std::string>& args) {
        const std::string output_file = m_dir + "\\output.txt";
        const int status =
            testsys::wait_program(testsys::start_program(program, args, output_file));
        m_output = testsys::read_file(output_file);
        m_output.erase(std::remove(m_output.begin(), m_output.end(), '\r'), m_output.end());
        return status;
    }

    // On 64-bit Windows: a sound 32-bit installation registered in the 32-bit
    // view, as the installer leaves it. Its plug-in is headers and export names
    // only, which is all a 64-bit health check reads of it.
    void register_32bit_installation() {
        const fs::path folder = fs::path(m_dir) / "navigator32" / "nrwapis";
        fs::create_directories(folder);
        fs::copy_file(stage() / "nrwnavigator.exe", folder.parent_path() / "nrwnavigator.exe",
                      fs::copy_options::overwrite_existing);
        const std::vector<std::string> names(std::begin(nrwreg::kSccExportNames),
                                             std::end(nrwreg::kSccExportNames));
        testsys::write_file(
            (folder / "libnrwscc.dll").string(),
            testsys::library(pe::kMachineI386, names, {{"SccApiVersion", "0x00010003"}}));
        testsys::write_file((folder / "libnrwapis.dll").string(),
                            testsys::library(pe::kMachineI386, {"nrw_api_initialize"}));
        set_string(kOurs, "SCCServerName", "Corvane Norrow Navigator", KEY_WOW64_32KEY);
        set_string(kOurs, "SCCServerPath", (folder / "libnrwscc.dll").string(), KEY_WOW64_32KEY);
        set_string(kInstalled, "Corvane Norrow Navigator", kOurs, KEY_WOW64_32KEY);
        set_string(kScc, "ProviderRegKey", kOurs, KEY_WOW64_32KEY);
    }

    // Runs the health check: healthy with the note when there is no finding,
    // else a problem with it; then back to no registration.
    void expect_check_finds(const char* finding, const char* note = nullptr) {
        const int status = run(register_tool(), {"check"});
        if (finding == nullptr) {
            EXPECT_EQ(0, status) << m_output;
            EXPECT_EQ(std::string::npos, m_output.find("PROBLEM")) << m_output;
            if (note != nullptr) {
                EXPECT_NE(std::string::npos, m_output.find(note)) << m_output;
            }
        } else {
            EXPECT_EQ(1, status) << m_output;
            EXPECT_NE(std::string::npos, m_output.find(finding)) << m_output;
        }
        testsys::set_env("CRVN_NRWAPIS_TRACE_DIR", "");
        run(register_tool(), {"uninstall"});
    }

    // What the tool decided this Windows is, as its health check says first.
    std::string windows_facts() {
        run(register_tool(), {"check"});
        const std::size_t start = m_output.find("this Windows: ");
        return start == std::string::npos
                   ? m_output
                   : m_output.substr(start, m_output.find('\n', start) - start);
    }

    std::string m_output;
};

TEST_F(ToolTest, InstallTwiceThenUninstallLeavesTheRegistryAsItWas) {
    const auto before = snapshot();
    ASSERT_EQ(0, run(register_tool(), {"install"})) << m_output;
    const auto installed = snapshot();
    EXPECT_EQ(0, run(register_tool(), {"install"})) << m_output;
    EXPECT_EQ(installed, snapshot());
    EXPECT_EQ("Corvane Norrow Navigator", get_string(kOurs, "SCCServerName"));
    EXPECT_EQ((stage() / "nrwapis" / "libnrwscc.dll").string(), get_string(kOurs, "SCCServerPath"));
    EXPECT_EQ(kOurs, get_string(kInstalled, "Corvane Norrow Navigator"));
    EXPECT_EQ(0, run(register_tool(), {"list"}));
    EXPECT_NE(std::string::npos, m_output.find("Corvane Norrow Navigator")) << m_output;
    EXPECT_NE(std::string::npos, m_output.find("(exists)")) << m_output;
    EXPECT_EQ(0, run(register_tool(), {"uninstall"})) << m_output;
    EXPECT_EQ(before, snapshot());
}

TEST_F(ToolTest, TheDefaultBeforeComesBackButOneSetSinceStays) {
    set_string(kInstalled, "Other Provider", "SOFTWARE\\OtherVendor\\Other");
    set_string("SOFTWARE\\OtherVendor\\Other", "SCCServerPath", "C:\\other.dll");
    set_string(kScc, "ProviderRegKey", "SOFTWARE\\OtherVendor\\Other");
    ASSERT_EQ(0, run(register_tool(), {"install", "--default"})) << m_output;
    EXPECT_EQ(kOurs, get_string(kScc, "ProviderRegKey"));
    EXPECT_EQ(0, run(register_tool(), {"install", "--default"})) << m_output;
    EXPECT_EQ(0, run(register_tool(), {"uninstall"}));
    EXPECT_EQ("SOFTWARE\\OtherVendor\\Other", get_string(kScc, "ProviderRegKey"));
    EXPECT_EQ("SOFTWARE\\OtherVendor\\Other", get_string(kInstalled, "Other Provider"));

    ASSERT_EQ(0, run(register_tool(), {"install", "--default"}));
    set_string(kScc, "ProviderRegKey", "SOFTWARE\\OtherVendor\\Third");
    EXPECT_EQ(0, run(register_tool(), {"uninstall"}));
    EXPECT_EQ("SOFTWARE\\OtherVendor\\Third", get_string(kScc, "ProviderRegKey"));
    EXPECT_EQ("(none)", get_string(kInstalled, "Corvane Norrow Navigator"));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kInstalled.c_str(), "Other Provider");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kScc.c_str(), "ProviderRegKey");
}

TEST_F(ToolTest, ABrokenInstallationIsNeverRegistered) {
    const auto before = snapshot();
    const fs::path root = fs::path(m_dir) / "broken";
    fs::create_directories(root / "nrwapis");
    const std::string tool = (root / "nrwapis" / "nrwregister.exe").string();
    fs::copy_file(register_tool(), tool);
    testsys::write_file((root / "nrwapis" / "libnrwscc.dll").string(), "not a library");
    EXPECT_EQ(2, run(tool, {"install", "--default"}));
    EXPECT_NE(std::string::npos, m_output.find("is not a usable plug-in")) << m_output;
    // A plug-in whose client library is missing is broken too.
    fs::copy_file(stage() / "nrwapis" / "libnrwscc.dll", root / "nrwapis" / "libnrwscc.dll",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(2, run(tool, {"install"}));
    EXPECT_NE(std::string::npos, m_output.find("libnrwapis.dll is missing")) << m_output;
    EXPECT_EQ(before, snapshot());
}

// A library under the plug-in's name that someone put there is judged by its
// files alone: neither install nor check runs any of its code.
TEST_F(ToolTest, NeitherInstallNorCheckLoadsThePlugIn) {
    const fs::path root = fs::path(m_dir) / "decoy";
    fs::create_directories(root / "nrwapis");
    fs::copy_file(stage() / "nrwnavigator.exe", root / "nrwnavigator.exe");
    for (const char* file : {"nrwregister.exe", "libnrwapis.dll"})
        fs::copy_file(stage() / "nrwapis" / file, root / "nrwapis" / file);
    const fs::path plugin = root / "nrwapis" / "libnrwscc.dll";
    fs::copy_file(NRW_DECOY_PLUGIN, plugin);
    const std::string tool = (root / "nrwapis" / "nrwregister.exe").string();
    const fs::path marker = plugin.string() + ".loaded";
    EXPECT_EQ(0, run(tool, {"install", "--here-only"})) << m_output;
    run(tool, {"check"});
    EXPECT_NE(std::string::npos, m_output.find("serves API version 1.3")) << m_output;
    EXPECT_NE(std::string::npos,
              m_output.find("the plug-in is unsigned: machines with application control may "
                            "refuse to load it"))
        << m_output;
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(0, run(tool, {"uninstall"})) << m_output;
    // The mark works: a load leaves it.
    const HMODULE loaded = LoadLibraryA(plugin.string().c_str());
    ASSERT_NE(nullptr, loaded);
    FreeLibrary(loaded);
    EXPECT_TRUE(fs::exists(marker));
}

// An unzipped copy is held to the installer's rule: a folder whose longest
// installed path would pass the ANSI path limit is refused, nothing written.
TEST_F(ToolTest, AnUnzippedCopyInATooLongFolderIsRefused) {
    const auto before = snapshot();
    std::string navigator = m_dir + "\\";
    navigator += std::string(233 - navigator.size(), 'n') + "\\";
    ASSERT_EQ(234u, navigator.size());
    fs::create_directories(navigator + "nrwapis");
    fs::copy_file(stage() / "nrwnavigator.exe", navigator + "nrwnavigator.exe");
    for (const char* file : {"nrwregister.exe", "libnrwapis.dll", "libnrwscc.dll"})
        fs::copy_file(stage() / "nrwapis" / file, navigator + "nrwapis\\" + file);
    EXPECT_EQ(2, run(navigator + "nrwapis\\nrwregister.exe", {"install"}));
    EXPECT_NE(std::string::npos, m_output.find("would be 262 characters long")) << m_output;
    EXPECT_EQ(before, snapshot());
}

// The health check's fix for a registration in the wrong view removes that view's
// registration and nothing else; on a Windows with one view, naming the view it
// lacks changes nothing.
TEST_F(ToolTest, UninstallInOneViewLeavesTheOtherAlone) {
    const bool two_views = windows_facts().find("64-bit Windows") != std::string::npos;
    const auto before = snapshot();
    ASSERT_EQ(0, run(register_tool(), {"install", "--default"})) << m_output;
    const auto installed = snapshot();
    const std::string own = sizeof(void*) == 8 ? "64" : "32";
    const std::string other = sizeof(void*) == 8 ? "32" : "64";
    EXPECT_EQ(two_views ? 0 : 1, run(register_tool(), {"uninstall", "--view", other})) << m_output;
    EXPECT_EQ(installed, snapshot());
    if (!two_views) {
        EXPECT_NE(std::string::npos,
                  m_output.find("this Windows has one registry view, the 32-bit one; nothing "
                                "was changed"))
            << m_output;
    }
    EXPECT_EQ(0, run(register_tool(), {"uninstall", "--view", own})) << m_output;
    EXPECT_EQ(before, snapshot());
    EXPECT_EQ(1, run(register_tool(), {"uninstall", "--view", "16"}));
}

// A plug-in with no navigator in the folder above could never start it: refused,
// unless the administrator insists.
TEST_F(ToolTest, InstallWithoutANavigatorNeedsForce) {
    const auto before = snapshot();
    const fs::path tools = fs::path(m_dir) / "no-navigator" / "nrwapis";
    fs::create_directories(tools);
    for (const char* file : {"nrwregister.exe", "libnrwscc.dll", "libnrwapis.dll"})
        fs::copy_file(stage() / "nrwapis" / file, tools / file);
    const std::string tool = (tools / "nrwregister.exe").string();
    EXPECT_EQ(2, run(tool, {"install", "--default"}));
    EXPECT_NE(std::string::npos, m_output.find("nrwnavigator.exe is missing")) << m_output;
    EXPECT_NE(std::string::npos, m_output.find("--force")) << m_output;
    EXPECT_EQ(before, snapshot());
    EXPECT_EQ(0, run(tool, {"install", "--force"})) << m_output;
    EXPECT_EQ(kOurs, get_string(kInstalled, "Corvane Norrow Navigator"));
    EXPECT_EQ(0, run(tool, {"uninstall"})) << m_output;
    EXPECT_EQ(before, snapshot());
}

// Another product's entry under our display name survives our install and uninstall.
TEST_F(ToolTest, AForeignEntryUnderOurNameComesBack) {
    const std::string name = "Corvane Norrow Navigator";
    const std::string foreign = "SOFTWARE\\OtherVendor\\Lookalike";
    set_string(kInstalled, name, foreign);
    const auto before = snapshot();
    ASSERT_EQ(0, run(register_tool(), {"install"})) << m_output;
    EXPECT_EQ(kOurs, get_string(kInstalled, name));
    ASSERT_EQ(0, run(register_tool(), {"install"})) << m_output;
    ASSERT_EQ(0, run(register_tool(), {"uninstall"})) << m_output;
    EXPECT_EQ(before, snapshot());
    // Taken over again after our install: not ours to delete.
    ASSERT_EQ(0, run(register_tool(), {"install"})) << m_output;
    set_string(kInstalled, name, foreign + "2");
    ASSERT_EQ(0, run(register_tool(), {"uninstall"})) << m_output;
    EXPECT_EQ(foreign + "2", get_string(kInstalled, name));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kInstalled.c_str(), name.c_str());
}

// Whatever type the foreign value under our display name has, it comes back
// with its type and bytes.
TEST_F(ToolTest, AForeignEntryOfAnyTypeComesBackAsItWas) {
    const std::string name = "Corvane Norrow Navigator";
    const struct {
        const char* what;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"expandable string", REG_EXPAND_SZ, std::string("%ProgramFiles%\\x\0", 16)},
        {"number", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"empty string", REG_SZ, std::string("\0", 1)},
        {"no bytes", REG_BINARY, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_value(kInstalled, name, c.type, c.bytes);
        const auto before = snapshot();
        ASSERT_EQ(0, run(register_tool(), {"install"})) << m_output;
        EXPECT_EQ(kOurs, get_string(kInstalled, name));
        ASSERT_EQ(0, run(register_tool(), {"uninstall"})) << m_output;
        EXPECT_EQ(before, snapshot());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kInstalled.c_str(), name.c_str());
    }
}

// The health check names each fault made on purpose, and passes a sound install.
TEST_F(ToolTest, HealthCheckFindsWhatKeepsIdesFromTheProvider) {
    const fs::path lone = fs::path(m_dir) / "lone";
    fs::create_directories(lone);
    fs::copy_file(stage() / "nrwapis" / "libnrwscc.dll", lone / "libnrwscc.dll");
    // The headers of a library of the other architecture, and nothing else.
    std::string foreign_image(0x200, '\0');
    foreign_image[0] = 'M', foreign_image[1] = 'Z', foreign_image[0x3C] = 0x40;
    foreign_image.replace(0x40, 4, std::string("PE\0\0", 4));
    const bool own_is_64 = sizeof(void*) == 8;
    foreign_image[0x44] = own_is_64 ? '\x4c' : '\x64';
    foreign_image[0x45] = own_is_64 ? '\x01' : '\x86';
    testsys::write_file((lone / "other.dll").string(), foreign_image);
    const struct {
        const char* name;
        std::function<void()> fault;
        const char* finding;
    } cases[] = {
        {"healthy", [] {}, nullptr},
        {"not registered", [&] { run(register_tool(), {"uninstall"}); }, "is not registered"},
        {"plug-in gone", [&] { set_string(kOurs, "SCCServerPath", (lone / "gone.dll").string()); },
         "does not exist"},
        {"other architecture",
         [&] { set_string(kOurs, "SCCServerPath", (lone / "other.dll").string()); },
         "IDEs cannot load it"},
        {"no client library",
         [&] { set_string(kOurs, "SCCServerPath", (lone / "libnrwscc.dll").string()); },
         "libnrwapis.dll is missing"},
        {"no navigator",
         [&] { set_string(kOurs, "SCCServerPath", (lone / "libnrwscc.dll").string()); },
         "the plug-in has no navigator"},
        {"not listed",
         [&] {
             RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kInstalled.c_str(), "Corvane Norrow Navigator");
         },
         "not listed under InstalledSCCProviders"},
        {"default gone", [&] { set_string(kScc, "ProviderRegKey", "SOFTWARE\\OtherVendor\\Gone"); },
         "which does not exist"},
        {"default's plug-in gone",
         [&] {
             set_string("SOFTWARE\\OtherVendor\\Stale", "SCCServerPath",
                        (lone / "gone.dll").string());
             set_string(kScc, "ProviderRegKey", "SOFTWARE\\OtherVendor\\Stale");
         },
         "gone.dll, which does not exist, so IDEs fail"},
        {"trace folder gone",
         [&] { testsys::set_env("CRVN_NRWAPIS_TRACE_DIR", m_dir + "\\no-such-folder"); },
         "not a writable folder"},
    };
    const bool two_views = sizeof(void*) == 8;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, run(register_tool(), {"install", "--default"})) << m_output;
        if (two_views) register_32bit_installation();
        c.fault();
        expect_check_finds(c.finding);
    }
    // One view registered, the other not: IDEs of the other architecture miss the
    // provider, unless its programs cannot run here at all.
    if (two_views) {
        SCOPED_TRACE("32-bit view left out");
        const bool runs_32bit = windows_facts().find("; 32-bit programs run") != std::string::npos;
        ASSERT_EQ(0, run(register_tool(), {"install", "--default"})) << m_output;
        if (runs_32bit)
            expect_check_finds(
                "32-bit view: the provider is not registered, so 32-bit IDEs do "
                "not list it, while the other view has it");
        else
            expect_check_finds(nullptr,
                               "32-bit view: not registered; this Windows runs no "
                               "32-bit programs");
    }
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kScc.c_str(), "ProviderRegKey");
    delete_tree("SOFTWARE\\OtherVendor\\Stale");
}

TEST_F(ToolTest, HostRunsCommandsThroughTheDefaultProviderAndReportsResults) {
    // With no plug-in given, the host tells what is missing.
    EXPECT_EQ(2, run(host_tool(), {"info"}));
    EXPECT_NE(std::string::npos,
              m_output.find("no plug-in given, and nothing is registered in the "))
        << m_output;
    ASSERT_EQ(0, run(register_tool(), {"install"}));
    EXPECT_EQ(2, run(host_tool(), {"info"}));
    EXPECT_NE(std::string::npos, m_output.find("Corvane Norrow Navigator registered in the "))
        << m_output;
    EXPECT_NE(std::string::npos, m_output.find("but not as the default provider")) << m_output;
    ASSERT_EQ(0, run(register_tool(), {"install", "--default"}));
    const std::string file = m_dir + "\\a.c";
    testsys::write_file(file, "text");
    queue_reply(testsys::ok_response("<query_res_start>3<query_res_end>"));
    EXPECT_EQ(0, run(host_tool(), {"status", file})) << m_output;
    EXPECT_EQ("CO  " + file + "\n", m_output);
    queue_reply(response(2));
    EXPECT_EQ(1, run(host_tool(), {"checkout", file})) << m_output;
    queue_reply(response(1));
    EXPECT_EQ(2, run(host_tool(), {"--plugin", (stage() / "nrwapis" / "libnrwscc.dll").string(),
                                   "checkin", "-m", "why", file}));
    EXPECT_NE(std::string::npos, m_output.find("SCC_E_UNKNOWNERROR (-30)")) << m_output;
    EXPECT_EQ(0, run(host_tool(), {"info"}));
    EXPECT_NE(std::string::npos, m_output.find("version: 1.3")) << m_output;
}

}  // namespace
