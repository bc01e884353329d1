// The scripted tour of the host: the client library driven directly, then the
// plug-in loaded from an installation folder by full path, as an IDE does, through
// a whole session; every call is printed with its result, and each request and
// answer that crossed the pipe is shown.
// The helper writes its log where NRWH_LOG_DIR points; the trace goes where
// CRVN_NRWAPIS_TRACE_DIR points.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo.h"
#include "message_boxes.h"
#include "nrw_identity.h"
#include "nrwapis.h"
#include "path_text.h"
#include "plugin_loader.h"
#include "protocol_text.h"

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
    // Each request since the last call, followed by the answer it got.
    void show_new() {
        const char* dir = std::getenv("NRWH_LOG_DIR");
        if (dir == nullptr) return;
        const auto requests =
            take_new(std::string(dir) + "/requests.log",
                     std::string(nrwapis::protocol::kRequestEnd) + "\n", m_requests);
        const auto answers =
            take_new(std::string(dir) + "/answers.log",
                     std::string(nrwapis::protocol::kResponseEnd) + "\n", m_answers);
        for (std::size_t i = 0; i < std::max(requests.size(), answers.size()); ++i) {
            if (i < requests.size()) std::printf("  request: %s", requests[i].c_str());
            if (i < answers.size()) std::printf("  answer:  %s", answers[i].c_str());
        }
    }

  private:
    static std::vector<std::string> take_new(const std::string& path, const std::string& end,
                                             std::size_t& seen) {
        const std::string text = read_all(path);
        std::vector<std::string> items;
        for (std::size_t at = text.find(end, seen); at != std::string::npos;
             at = text.find(end, seen)) {
            items.push_back(text.substr(seen, at + end.size() - seen));
            seen = at + end.size();
        }
        return items;
    }
    std::size_t m_requests = 0, m_answers = 0;
};

// A file of the project folder, in the folder's own style.
std::string join(const std::string& folder, const char* name) {
    const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
    return folder + separator + name;
}

std::string base_name(const std::string& path) {
    const std::size_t slash = nrwapis::path_text::last_separator(path, host::ansi_code_page());
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <class Function>
bool bind(void* library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(host::find_symbol(library, name));
    if (slot == nullptr) std::printf("missing export %s\n", name);
    return slot != nullptr;
}

int drive_client_library(const std::string& path, const std::string& project, PipeLog& log) {
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
    const std::string main_c = join(project, "main.c"), util_c = join(project, "util.c");
    const char* files[] = {main_c.c_str(), util_c.c_str()};
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

std::string describe_status(LONG status) {
    if (status == SCC_STATUS_INVALID) return "invalid";
    if (status == SCC_STATUS_NOTCONTROLLED) return "not controlled";
    std::string text;
    if (status & SCC_STATUS_CONTROLLED) text += "controlled";
    if (status & SCC_STATUS_CHECKEDOUT) text += ", checked out";
    if (status & SCC_STATUS_OUTBYUSER) text += " by me";
    if (status & SCC_STATUS_MODIFIED) text += ", modified";
    return text;
}

void print_result(const char* call, SCCRTN result) {
    std::printf("%s -> %ld\n", call, static_cast<long>(result));
}

// One IDE session over a small project folder: every command the plug-in serves,
// with the files' states shown before and after.
class PluginSession {
  public:
    PluginSession(host::SccExports& scc, LPVOID context, std::string folder, PipeLog& log)
        : m_scc(scc), m_context(context), m_folder(std::move(folder)), m_log(log) {}

    std::string path(const char* name) const { return join(m_folder, name); }

    void show_status(const std::vector<std::string>& files) {
        std::vector<LPCSTR> list;
        for (const auto& file : files) list.push_back(file.c_str());
        std::vector<LONG> status(files.size(), 0);
        print_result("SccQueryInfo", m_scc.QueryInfo(m_context, static_cast<LONG>(list.size()),
                                                     list.data(), status.data()));
        for (std::size_t i = 0; i < files.size(); ++i)
            std::printf("  %-12s 0x%04lX  %s\n", base_name(files[i]).c_str(),
                        static_cast<unsigned long>(status[i]), describe_status(status[i]).c_str());
        m_log.show_new();
    }

    template <class Command>
    void run(const char* call, const std::vector<std::string>& files, Command command) {
        std::vector<LPCSTR> list;
        for (const auto& file : files) list.push_back(file.c_str());
        const SCCRTN result =
            command(m_scc, m_context, static_cast<LONG>(list.size()), list.data());
        std::printf("%s (", call);
        for (std::size_t i = 0; i < files.size(); ++i)
            std::printf("%s%s", i ? ", " : "", files[i].c_str());
        std::printf(") -> %ld\n", static_cast<long>(result));
        m_log.show_new();
    }

  private:
    host::SccExports& m_scc;
    LPVOID m_context;
    std::string m_folder;
    PipeLog& m_log;
};

void run_commands(PluginSession& session) {
    const std::string main_c = session.path("main.c"), util_c = session.path("util.c"),
                      notes = session.path("notes.txt"), helpers = session.path("helpers.c");
    std::printf("-- the files as the IDE opens the project\n");
    session.show_status({main_c, util_c, notes});
    using S = host::SccExports;
    session.run("SccCheckin", {main_c}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Checkin(c, nullptr, n, f, "demo change", 0, nullptr);
    });
    session.run("SccUncheckout", {util_c}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Uncheckout(c, nullptr, n, f, 0, nullptr);
    });
    session.run("SccCheckout", {main_c}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Checkout(c, nullptr, n, f, "", 0, nullptr);
    });
    session.run("SccAdd", {notes, main_c}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Add(c, nullptr, n, f, "", nullptr, nullptr);
    });
    session.run("SccGet", {main_c, util_c}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Get(c, nullptr, n, f, 0, nullptr);
    });
    session.run("SccRemove", {notes}, [](S& s, LPVOID c, LONG n, LPCSTR* f) {
        return s.Remove(c, nullptr, n, f, "", 0, nullptr);
    });
    // An IDE renames the file on disk, then tells the plug-in.
    std::error_code error;
    std::filesystem::rename(util_c, helpers, error);
    session.run("SccRename", {util_c, helpers},
                [](S& s, LPVOID c, LONG, LPCSTR* f) { return s.Rename(c, nullptr, f[0], f[1]); });
    session.run("SccDiff (quick)", {main_c}, [](S& s, LPVOID c, LONG, LPCSTR* f) {
        return s.Diff(c, nullptr, f[0], 0x10, nullptr);
    });
    session.run("SccProperties", {main_c},
                [](S& s, LPVOID c, LONG, LPCSTR* f) { return s.Properties(c, nullptr, f[0]); });
    std::printf("-- the files afterwards\n");
    session.show_status({main_c, util_c, helpers, notes});
}

int drive_plugin(const std::string& path, const std::string& project, PipeLog& log) {
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
    host::answer_message_boxes(nrw::kMessageCaptionText);
    LPVOID context = nullptr;
    char name[32] = {}, aux[32] = {};
    LONG caps = 0, checkout_len = 0, comment_len = 0;
    SCCRTN r = scc.Initialize(&context, nullptr, "Demo IDE", name, &caps, aux, &checkout_len,
                              &comment_len);
    std::printf("SccInitialize -> %ld: name \"%s\", caps 0x%08lX, comment lengths %ld/%ld\n",
                static_cast<long>(r), name, static_cast<unsigned long>(caps),
                static_cast<long>(checkout_len), static_cast<long>(comment_len));
    if (r != SCC_OK) return 1;
    char user[] = "demo", project_name[] = "demo project", aux_path[] = "";
    r = scc.OpenProject(context, nullptr, user, project_name, project.c_str(), aux_path, "",
                        print_text, 0);
    print_result("SccOpenProject", r);
    PluginSession session(scc, context, project, log);
    run_commands(session);
    print_result("SccCloseProject", scc.CloseProject(context));
    print_result("SccUninitialize", scc.Uninitialize(context));
    log.show_new();
    return 0;
}

}  // namespace

int run_demo(const std::string& install_folder, const std::string& project) {
    const std::string libraries = install_folder + "/nrwapis/";
    PipeLog log;
    int status = drive_client_library(libraries + nrw::kClientLibraryFile, project, log);
    status |= drive_plugin(libraries + nrw::kPluginFile, project, log);
    const char* trace_dir = std::getenv(nrw::kTraceVariable);
    if (trace_dir != nullptr) std::printf("== trace written to %s\n", trace_dir);
    return status;
}
