// A command-line host for any Source Code Control plug-in: it loads the plug-in
// by full path, as an IDE does, and runs one command on files through the
// standard exports. See kUsage.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "demo.h"
#include "plugin_loader.h"

namespace {

const char kUsage[] =
    "usage: nrwhost [--plugin DLL] [--caller NAME] [--project DIR] COMMAND [ARGS...]\n"
    "       nrwhost demo INSTALL_FOLDER PROJECT_FOLDER\n"
    "\n"
    "Commands:\n"
    "  info                    the provider's name, API version and capabilities\n"
    "  status FILE...          one line per file: flags, then the path\n"
    "                            C controlled, O checked out by me, M modified,\n"
    "                            ? not controlled, ! invalid or not found\n"
    "  checkout FILE...        uncheckout FILE...      checkin [-m TEXT] FILE...\n"
    "  add FILE...             remove FILE...          get FILE...\n"
    "  diff FILE               history FILE...         properties FILE\n"
    "  rename OLD NEW          run [FILE...]           (bring up the version control program)\n"
    "  demo                    the scripted tour of the client library and the plug-in\n"
    "\n"
    "Options:\n"
    "  --plugin DLL   the plug-in to load (default: the machine's default provider)\n"
    "  --caller NAME  the host name the plug-in is given (default: nrwhost)\n"
    "  --project DIR  the project folder (default: the current folder)\n"
    "\n"
    "Lines the plug-in writes for the user are printed as they come. Exit status: 0 done,\n"
    "1 cancelled, 2 error (the result's standard name is printed).\n";

enum Exit { kDone = 0, kCancelled = 1, kError = 2 };

struct Options {
    std::string plugin;
    std::string caller = "nrwhost";
    std::string project;
    std::string command;
    std::vector<std::string> args;
};

const char* result_name(SCCRTN result) {
    switch (result) {
        case SCC_OK:
            return "SCC_OK";
        case SCC_I_ADV_SUPPORT:
            return "SCC_I_ADV_SUPPORT";
        case SCC_I_OPERATIONCANCELED:
            return "SCC_I_OPERATIONCANCELED";
        case SCC_E_INITIALIZEFAILED:
            return "SCC_E_INITIALIZEFAILED";
        case SCC_E_UNKNOWNPROJECT:
            return "SCC_E_UNKNOWNPROJECT";
        case SCC_E_NOTCHECKEDOUT:
            return "SCC_E_NOTCHECKEDOUT";
        case SCC_E_ALREADYCHECKEDOUT:
            return "SCC_E_ALREADYCHECKEDOUT";
        case SCC_E_FILEISLOCKED:
            return "SCC_E_FILEISLOCKED";
        case SCC_E_ACCESSFAILURE:
            return "SCC_E_ACCESSFAILURE";
        case SCC_E_FILENOTCONTROLLED:
            return "SCC_E_FILENOTCONTROLLED";
        case SCC_E_OPNOTSUPPORTED:
            return "SCC_E_OPNOTSUPPORTED";
        case SCC_E_NONSPECIFICERROR:
            return "SCC_E_NONSPECIFICERROR";
        case SCC_E_OPNOTPERFORMED:
            return "SCC_E_OPNOTPERFORMED";
        case SCC_E_INVALIDFILEPATH:
            return "SCC_E_INVALIDFILEPATH";
        case SCC_E_PROJNOTOPEN:
            return "SCC_E_PROJNOTOPEN";
        case SCC_E_FILENOTEXIST:
            return "SCC_E_FILENOTEXIST";
        case SCC_E_CONNECTIONFAILURE:
            return "SCC_E_CONNECTIONFAILURE";
        case SCC_E_UNKNOWNERROR:
            return "SCC_E_UNKNOWNERROR";
        default:
            return "an unlisted result";
    }
}

LONG SCC_CALL print_text(LPCSTR text, DWORD) {
    std::printf("%s\n", text);
    return 0;
}

bool parse(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return false;
        if (name == "--plugin")
            options.plugin = argv[i + 1];
        else if (name == "--caller")
            options.caller = argv[i + 1];
        else if (name == "--project")
            options.project = argv[i + 1];
        else
            return false;
    }
    if (i >= argc) return false;
    options.command = argv[i];
    options.args.assign(argv + i + 1, argv + argc);
    return true;
}

std::string status_flags(LONG status) {
    if (status == SCC_STATUS_INVALID) return "!";
    if ((status & SCC_STATUS_CONTROLLED) == 0) return "?";
    std::string flags = "C";
    if (status & SCC_STATUS_CHECKEDOUT) flags += 'O';
    if (status & SCC_STATUS_MODIFIED) flags += 'M';
    return flags;
}

std::string capability_names(LONG caps) {
    static const struct {
        LONG bit;
        const char* name;
    } kCaps[] = {{SCC_CAP_REMOVE, "remove"},
                 {SCC_CAP_RENAME, "rename"},
                 {SCC_CAP_DIFF, "diff"},
                 {SCC_CAP_HISTORY, "history"},
                 {SCC_CAP_PROPERTIES, "properties"},
                 {SCC_CAP_RUNSCC, "run"},
                 {SCC_CAP_GETCOMMANDOPTIONS, "command options"},
                 {SCC_CAP_QUERYINFO, "status"},
                 {SCC_CAP_GETEVENTS, "events"},
                 {SCC_CAP_GETPROJPATH, "project path"},
                 {SCC_CAP_ADDFROMSCC, "add from source control"},
                 {SCC_CAP_COMMENTCHECKOUT, "checkout comment"},
                 {SCC_CAP_COMMENTCHECKIN, "checkin comment"},
                 {SCC_CAP_COMMENTADD, "add comment"},
                 {SCC_CAP_COMMENTREMOVE, "remove comment"},
                 {SCC_CAP_TEXTOUT, "text output"},
                 {SCC_CAP_DIFFALWAYS, "diff always"},
                 {SCC_CAP_COMMENTPROJECT, "project comment"},
                 {SCC_CAP_REENTRANT, "reentrant"}};
    std::string names;
    for (const auto& cap : kCaps)
        if (caps & cap.bit) names += (names.empty() ? "" : ", ") + std::string(cap.name);
    return names;
}

class Session {
  public:
    Session(host::SccExports& scc, const Options& options) : m_scc(scc), m_options(options) {}
    ~Session() {
        if (m_context == nullptr) return;
        m_scc.CloseProject(m_context);
        m_scc.Uninitialize(m_context);
    }

    SCCRTN start() {
        char aux[SCC_AUXLABEL_LEN + 1] = {};
        SCCRTN result = m_scc.Initialize(&m_context, nullptr, m_options.caller.c_str(), m_name,
                                         &m_caps, aux, &m_checkout_len, &m_comment_len);
        if (result != SCC_OK) return result;
        char user[SCC_USER_LEN + 1] = "nrwhost";
        char project[SCC_PRJPATH_LEN + 1] = "nrwhost";
        char aux_path[SCC_PRJPATH_LEN + 1] = "";
        return m_scc.OpenProject(m_context, nullptr, user, project, m_options.project.c_str(),
                                 aux_path, "", print_text, 0);
    }

    // A command: its name, how many arguments it takes, and what it does with
    // its files (and a check-in's comment).
    struct Command {
        const char* name;
        std::size_t least;
        std::size_t most;
        SCCRTN (*run)(Session& session, LONG count, LPCSTR* files, const char* comment);
    };
    // The command of that name that takes that many arguments, or none.
    static const Command* find(const std::string& name, std::size_t arguments);

    SCCRTN run(const Command& command, std::vector<std::string> args);

  private:
    std::vector<LPCSTR> list(const std::vector<std::string>& files) const {
        std::vector<LPCSTR> pointers;
        for (const auto& file : files) pointers.push_back(file.c_str());
        return pointers;
    }
    SCCRTN info() const {
        std::printf(
            "name: %s\nversion: %ld.%ld\ncapabilities: 0x%08lX (%s)\n"
            "comment lengths: checkout %ld, other %ld\n",
            m_name, static_cast<long>(m_scc.GetVersion() >> 16),
            static_cast<long>(m_scc.GetVersion() & 0xFFFF), static_cast<unsigned long>(m_caps),
            capability_names(m_caps).c_str(), static_cast<long>(m_checkout_len),
            static_cast<long>(m_comment_len));
        return SCC_OK;
    }
    SCCRTN status(const std::vector<std::string>& files) {
        auto names = list(files);
        std::vector<LONG> status(files.size(), 0);
        const SCCRTN result = m_scc.QueryInfo(m_context, static_cast<LONG>(names.size()),
                                              names.data(), status.data());
        if (result != SCC_OK) return result;
        for (std::size_t i = 0; i < files.size(); ++i)
            std::printf("%-3s %s\n", status_flags(status[i]).c_str(), files[i].c_str());
        return SCC_OK;
    }

    host::SccExports& m_scc;
    const Options& m_options;
    LPVOID m_context = nullptr;
    char m_name[SCC_NAME_LEN + 1] = {};
    LONG m_caps = 0, m_checkout_len = 0, m_comment_len = 0;
};

const Session::Command* Session::find(const std::string& name, std::size_t arguments) {
    constexpr std::size_t kAny = SIZE_MAX;
    static const Command kCommands[] = {
        {"info", 0, kAny, [](Session& s, LONG, LPCSTR*, const char*) { return s.info(); }},
        {"run", 0, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.RunScc(s.m_context, nullptr, n, files);
         }},
        {"status", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.status(std::vector<std::string>(files, files + n));
         }},
        {"checkout", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.Checkout(s.m_context, nullptr, n, files, "", 0, nullptr);
         }},
        {"uncheckout", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.Uncheckout(s.m_context, nullptr, n, files, 0, nullptr);
         }},
        {"checkin", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char* comment) {
             return s.m_scc.Checkin(s.m_context, nullptr, n, files, comment, 0, nullptr);
         }},
        {"add", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             std::vector<LONG> flags(static_cast<std::size_t>(n), 0);
             return s.m_scc.Add(s.m_context, nullptr, n, files, "", flags.data(), nullptr);
         }},
        {"remove", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.Remove(s.m_context, nullptr, n, files, "", 0, nullptr);
         }},
        {"get", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.Get(s.m_context, nullptr, n, files, 0, nullptr);
         }},
        {"history", 1, kAny,
         [](Session& s, LONG n, LPCSTR* files, const char*) {
             return s.m_scc.History(s.m_context, nullptr, n, files, 0, nullptr);
         }},
        {"diff", 1, 1,
         [](Session& s, LONG, LPCSTR* files, const char*) {
             return s.m_scc.Diff(s.m_context, nullptr, files[0], 0, nullptr);
         }},
        {"properties", 1, 1,
         [](Session& s, LONG, LPCSTR* files, const char*) {
             return s.m_scc.Properties(s.m_context, nullptr, files[0]);
         }},
        {"rename", 2, 2,
         [](Session& s, LONG, LPCSTR* files, const char*) {
             return s.m_scc.Rename(s.m_context, nullptr, files[0], files[1]);
         }},
    };
    for (const Command& command : kCommands)
        if (name == command.name)
            return arguments >= command.least && arguments <= command.most ? &command : nullptr;
    return nullptr;
}

SCCRTN Session::run(const Command& command, std::vector<std::string> args) {
    std::string comment;
    if (std::strcmp(command.name, "checkin") == 0 && args.size() >= 2 && args[0] == "-m") {
        comment = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    auto names = list(args);
    return command.run(*this, static_cast<LONG>(names.size()), names.data(), comment.c_str());
}

int fail(const Options& options, const std::string& what) {
    std::fprintf(stderr, "nrwhost %s: %s\n", options.command.c_str(), what.c_str());
    return kError;
}

}  // namespace

int main(int argc, char** argv) {
    // Unbuffered, so that what the plug-in prints itself stays in order.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s", kUsage);
        return kDone;
    }
    if (argc == 4 && std::strcmp(argv[1], "demo") == 0) return run_demo(argv[2], argv[3]);
    const Session::Command* command = nullptr;
    if (!parse(argc, argv, options) ||
        (command = Session::find(options.command, options.args.size())) == nullptr) {
        std::fprintf(stderr, "%s", kUsage);
        return kError;
    }
    std::string error;
    if (options.plugin.empty() && !host::default_provider(options.plugin, error))
        return fail(options, "no plug-in given, and " + error);
    if (options.project.empty()) options.project = std::filesystem::current_path().string();
    host::SccExports scc;
    std::vector<std::string> missing;
    if (!host::load_provider(options.plugin, host::LoadStyle::plain, scc, error, missing))
        return fail(options, "cannot load " + options.plugin + ": " + error);
    Session session(scc, options);
    SCCRTN result = session.start();
    if (result == SCC_OK) result = session.run(*command, options.args);
    if (result == SCC_OK) return kDone;
    if (result == SCC_I_OPERATIONCANCELED) {
        std::fprintf(stderr, "nrwhost %s: cancelled\n", options.command.c_str());
        return kCancelled;
    }
    return fail(options, std::string(result_name(result)) + " (" + std::to_string(result) + ")");
}
