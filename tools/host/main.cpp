// A command-line IDE host. It loads the plug-in from an installation folder by
// full path, as an IDE does, drives a short session and prints every call with
// its result; the client library is also driven directly, and each request and
// answer that crossed the pipe is shown.
//
// usage: nrwhost INSTALL_FOLDER
// The helper writes its log where NRWH_LOG_DIR points; the trace goes where
// CRVN_NRWAPIS_TRACE_DIR points.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "nrwapis.h"
#include "plugin_loader.h"

namespace {

struct ClientLibrary {
    decltype(&nrw_api_initialize) initialize = nullptr;
    decltype(&nrw_api_uninitialize) uninitialize = nullptr;
    decltype(&nrw_api_add) add = nullptr;
    decltype(&nrw_api_checkout) checkout = nullptr;
    decltype(&nrw_api_query) query = nullptr;
    decltype(&nrw_api_free_op_msg) free_op_msg = nullptr;
};

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Prints what the helper logged since the last call.
class PipeLog {
  public:
    void show_new() {
        const char* dir = std::getenv("NRWH_LOG_DIR");
        if (dir == nullptr) return;
        show(std::string(dir) + "/requests.log", m_requests, "  request: ");
        show(std::string(dir) + "/answers.log", m_answers, "  answer:  ");
    }

  private:
    static void show(const std::string& path, std::size_t& seen, const char* label) {
        const std::string text = read_all(path);
        if (text.size() <= seen) return;
        std::printf("%s%s", label, text.substr(seen).c_str());
        seen = text.size();
    }
    std::size_t m_requests = 0, m_answers = 0;
};

template <class Function>
bool bind(void* library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(host::find_symbol(library, name));
    if (slot == nullptr) std::printf("missing export %s\n", name);
    return slot != nullptr;
}

int drive_client_library(const std::string& path, PipeLog& log) {
    std::printf("== client library %s\n", path.c_str());
    std::string error;
    void* library = host::open_library(path, host::LoadStyle::plain, error);
    ClientLibrary api;
    if (library == nullptr || !bind(library, "nrw_api_initialize", api.initialize) ||
        !bind(library, "nrw_api_uninitialize", api.uninitialize) ||
        !bind(library, "nrw_api_add", api.add) ||
        !bind(library, "nrw_api_checkout", api.checkout) ||
        !bind(library, "nrw_api_query", api.query) ||
        !bind(library, "nrw_api_free_op_msg", api.free_op_msg)) {
        std::printf("cannot load: %s\n", error.c_str());
        return 1;
    }
    NRWAPIS_Session* session = nullptr;
    std::printf("nrw_api_initialize -> %d\n", api.initialize(&session));
    if (session == nullptr) return 1;
    const char* files[] = {"C:\\demo\\main.c", "C:\\demo\\util.c"};
    // Add both files, check them out, then try a second checkout, which must fail.
    const struct {
        const char* what;
        decltype(&nrw_api_add) call;
    } steps[] = {{"nrw_api_add", api.add},
                 {"nrw_api_checkout", api.checkout},
                 {"nrw_api_checkout again", api.checkout}};
    for (const auto& step : steps) {
        char* message = nullptr;
        int statuses[2] = {0, 0};
        const int status = step.call(session, nullptr, files, 2, 1, 0, "demo", statuses, &message);
        std::printf("%s (mode 1, 2 files) -> %d, statuses %d %d\n", step.what, status, statuses[0],
                    statuses[1]);
        log.show_new();
        if (message != nullptr) std::printf("  message: %s", message);
        api.free_op_msg(message);
    }
    long result = -1;
    const int status = api.query(session, files[0], 0, &result);
    std::printf("nrw_api_query %s -> %d, result %ld\n", files[0], status, result);
    log.show_new();
    api.uninitialize(&session);
    std::printf("nrw_api_uninitialize: helper ended\n");
    return 0;
}

LONG SCC_CALL print_text(LPCSTR text, DWORD kind) {
    std::printf("  [host output %lu] %s\n", static_cast<unsigned long>(kind), text);
    return 0;
}

int drive_plugin(const std::string& path, PipeLog& log) {
    std::printf("== plug-in %s\n", path.c_str());
    host::SccExports scc;
    std::string error;
    std::vector<std::string> missing;
    if (!host::load_provider(path, host::LoadStyle::plain, scc, error, missing)) {
        std::printf("cannot load: %s (%zu missing)\n", error.c_str(), missing.size());
        return 1;
    }
    std::printf("all 39 exports found\n");
    std::printf("SccGetVersion -> 0x%08lX\n", static_cast<unsigned long>(scc.GetVersion()));
    LPVOID context = nullptr;
    char name[32] = {}, aux[32] = {};
    LONG caps = 0, checkout_len = 0, comment_len = 0;
    SCCRTN r = scc.Initialize(&context, nullptr, "Demo IDE", name, &caps, aux, &checkout_len,
                              &comment_len);
    std::printf("SccInitialize -> %ld: name \"%s\", caps 0x%08lX, comment lengths %ld/%ld\n",
                static_cast<long>(r), name, static_cast<unsigned long>(caps),
                static_cast<long>(checkout_len), static_cast<long>(comment_len));
    if (r != SCC_OK) return 1;
    char user[] = "demo", project[] = "demo project", aux_path[] = "";
    r = scc.OpenProject(context, nullptr, user, project, "C:\\demo", aux_path, "", print_text, 0);
    std::printf("SccOpenProject -> %ld\n", static_cast<long>(r));
    BOOL is_new = 0;
    r = scc.GetProjPath(context, nullptr, user, project, aux_path, aux_path, 0, &is_new);
    std::printf("SccGetProjPath -> %ld\n", static_cast<long>(r));
    std::printf(
        "SccGetCommandOptions -> %ld\n",
        static_cast<long>(scc.GetCommandOptions(context, nullptr, SCC_COMMAND_CHECKOUT, nullptr)));
    std::printf("SccSetOption -> %ld\n", static_cast<long>(scc.SetOption(context, 1, 0)));
    std::printf("SccPopulateList -> %ld\n",
                static_cast<long>(scc.PopulateList(context, SCC_COMMAND_GET, 0, nullptr, nullptr,
                                                   nullptr, nullptr, 0)));
    std::printf("SccCloseProject -> %ld\n", static_cast<long>(scc.CloseProject(context)));
    std::printf("SccUninitialize -> %ld\n", static_cast<long>(scc.Uninitialize(context)));
    log.show_new();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nrwhost INSTALL_FOLDER\n");
        return 2;
    }
    const std::string libraries = std::string(argv[1]) + "/nrwapis/";
    PipeLog log;
    int status = drive_client_library(libraries + NRW_CLIENT_FILE, log);
    status |= drive_plugin(libraries + NRW_PLUGIN_FILE, log);
    const char* trace_dir = std::getenv("CRVN_NRWAPIS_TRACE_DIR");
    if (trace_dir != nullptr) std::printf("== trace written to %s\n", trace_dir);
    return status;
}
