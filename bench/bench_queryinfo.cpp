// SccQueryInfo of many files through the plug-in, loaded by path as a host
// loads it, next to as many raw round trips of a query with the same helper
// program. Prints the time per file of each and their ratio.
//
// usage: bench_queryinfo [FILES [REPEATS]]     (run with NRWH_MODE=status)
#include <cstdio>
#include <string>
#include <vector>

#include "nrw_identity.h"
#include "plugin_loader.h"
#include "raw_path.h"

namespace {

using namespace bench;

// A folder that does not exist: the files count as present and are all asked.
std::string file_path(int index) {
    const bool windows = platform::path_separator() == '\\';
    return (windows ? "C:\\nrw-bench-none\\f" : "/nrw-bench-none/f") + std::to_string(index) + ".c";
}

// (11: the options the plug-in's query asks with)
std::string query_request(const std::string& path) {
    return raw_request(protocol::op::kQuery, path, 11);
}

LONG SCC_CALL no_output(LPCSTR, DWORD) {
    return 0;
}

class PluginPath {
  public:
    PluginPath(const fs::path& plugin, int files) : m_status(files) {
        std::string error;
        std::vector<std::string> missing;
        if (!host::load_provider(plugin.string(), host::LoadStyle::plain, m_scc, error, missing))
            fail("cannot load " + plugin.string() + ": " + error);
        if (m_scc.Initialize(&m_context, nullptr, "Bench", nullptr, nullptr, nullptr, nullptr,
                             nullptr) != SCC_OK)
            fail("SccInitialize failed");
        char user[] = "bench", project[] = "bench", aux[] = "";
        m_scc.OpenProject(m_context, nullptr, user, project, "C:\\", aux, "", no_output, 0);
        for (int i = 0; i < files; ++i) m_paths.push_back(file_path(i));
        for (const auto& path : m_paths) m_list.push_back(path.c_str());
    }
    ~PluginPath() { m_scc.Uninitialize(m_context); }

    void call() {
        if (m_scc.QueryInfo(m_context, static_cast<LONG>(m_list.size()), m_list.data(),
                            m_status.data()) != SCC_OK ||
            m_status.back() != SCC_STATUS_CONTROLLED)
            fail("SccQueryInfo failed");
    }

  private:
    host::SccExports m_scc;
    LPVOID m_context = nullptr;
    std::vector<std::string> m_paths;
    std::vector<LPCSTR> m_list;
    std::vector<LONG> m_status;
};

// One raw query per file of the list, the same bytes the plug-in sends.
class RawQueries {
  public:
    RawQueries(const fs::path& helper, int files)
        : m_raw(helper, query_request(file_path(0))), m_files(files) {}
    void call() {
        for (int i = 0; i < m_files; ++i) m_raw.call();
    }

  private:
    RawPath m_raw;
    int m_files;
};

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string value;
    if (!platform::environment_value("NRWH_MODE", value) || value != "status")
        fail("run with NRWH_MODE=status");
    const fs::path stage = stage_folder(argv[0]);
    RawQueries raw(stage / nrw::kHelperFile, files);
    PluginPath plugin(stage / "nrwapis" / nrw::kPluginFile, files);
    std::vector<double> raw_us, plugin_us, ratios;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        raw_us.push_back(block_us(raw, 1) / files);
        plugin_us.push_back(block_us(plugin, 1) / files);
        ratios.push_back(plugin_us.back() / raw_us.back());
    }
    std::printf("%d files, %d repeats\n", files, repeats);
    std::printf("raw query round trip per file (median):  %8.2f us\n", median(raw_us));
    std::printf("SccQueryInfo per file (median):          %8.2f us\n", median(plugin_us));
    std::printf("ratio plug-in / raw (median):            %8.3f\n", median(ratios));
    return 0;
}
