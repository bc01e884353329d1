// Whole host sessions, written as data in replays/*.replay, played against the
// plug-in through its exports as a host loads it, with the stand-in helper
// keeping a small repository. Each line is one step:
//
//   state NAME I|O|M          the helper's repository: checked in, out, or changed
//   file NAME "TEXT"          a file of the project folder; readonly NAME
//   move OLD NEW              the host moves a file itself
//   thread worker|main        where the calls that follow are made
//   expect-file NAME "TEXT"   expect-absent NAME   expect-no-helper
//   CALL ARGS... -> RESULT [OUTPUT=VALUE ...]
//
// CALL is an export's name without "Scc". File arguments are names inside the
// project folder; KEY=VALUE arguments set options of the call. Every result is
// checked, every listed output, and that nothing is written past the size of a
// buffer the host passed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "message_box_watcher.h"
#include "plugin_fixture.h"

namespace {

using namespace plugintest;

constexpr unsigned char kGuard = 0xCC;
constexpr std::size_t kGuardSize = 16;

// A buffer of the size the host says, followed by guard bytes that must stay.
class HostBuffer {
  public:
    explicit HostBuffer(std::size_t size, const std::string& text = "")
        : m_size(size), m_bytes(size + kGuardSize, kGuard) {
        std::memcpy(m_bytes.data(), text.c_str(), std::min(text.size() + 1, size));
    }
    char* get() { return reinterpret_cast<char*>(m_bytes.data()); }
    std::string text() const {
        const auto* begin = reinterpret_cast<const char*>(m_bytes.data());
        return std::string(begin, strnlen(begin, m_size));
    }
    bool guard_intact() const {
        return std::all_of(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_size), m_bytes.end(),
                           [](unsigned char b) { return b == kGuard; });
    }

  private:
    std::size_t m_size;
    std::vector<unsigned char> m_bytes;
};

std::vector<std::string> tokens_of(const std::string& line) {
    std::vector<std::string> tokens;
    std::string token;
    bool quoted = false, any = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any) tokens.push_back(token);
            token.clear();
            any = false;
        } else {
            token += c;
            any = true;
        }
    }
    if (any) tokens.push_back(token);
    return tokens;
}

// Status words in hex as hosts print them; a negative one as a number.
std::string hex(long value) {
    if (value < 0) return std::to_string(value);
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << static_cast<unsigned long>(value);
    return out.str();
}

// Numbers compare by value in any base, everything else as text.
bool same_value(const std::string& expected, const std::string& actual) {
    if (expected == actual) return true;
    char* end_a = nullptr;
    char* end_b = nullptr;
    const long long a = std::strtoll(expected.c_str(), &end_a, 0);
    const long long b = std::strtoll(actual.c_str(), &end_b, 0);
    return !expected.empty() && !actual.empty() && *end_a == '\0' && *end_b == '\0' && a == b;
}

bool same_list(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string x, y;
    while (true) {
        const bool more_a = static_cast<bool>(std::getline(a, x, ','));
        const bool more_b = static_cast<bool>(std::getline(b, y, ','));
        if (more_a != more_b) return false;
        if (!more_a) return true;
        if (!same_value(x, y)) return false;
    }
}

// Runs calls on a thread of its own, one at a time, as a host's worker does.
class Worker {
  public:
    Worker() : m_thread([this] { loop(); }) {}
    ~Worker() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void run(const std::function<void()>& task) {
        std::unique_lock<std::mutex> guard(m_lock);
        m_task = task;
        m_wake.notify_all();
        m_wake.wait(guard, [this] { return !m_task; });
    }

  private:
    void loop() {
        std::unique_lock<std::mutex> guard(m_lock);
        while (true) {
            m_wake.wait(guard, [this] { return m_stop || m_task; });
            if (m_stop) return;
            guard.unlock();
            m_task();
            guard.lock();
            m_task = nullptr;
            m_wake.notify_all();
        }
    }
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::function<void()> m_task;
    bool m_stop = false;
    std::thread m_thread;
};

struct Step {
    int line = 0;
    std::string name;
    std::vector<std::string> files;              // positional arguments
    std::map<std::string, std::string> options;  // KEY=VALUE arguments
    std::string result;
    std::map<std::string, std::string> outputs;
};

Step parse_step(const std::vector<std::string>& tokens, int line) {
    Step step;
    step.line = line;
    step.name = tokens[0];
    bool after_arrow = false;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        const std::size_t equals = token.find('=');
        if (token == "->") {
            after_arrow = true;
        } else if (after_arrow && step.result.empty()) {
            step.result = token;
        } else if (equals != std::string::npos) {
            (after_arrow ? step.outputs : step.options)[token.substr(0, equals)] =
                token.substr(equals + 1);
        } else {
            step.files.push_back(token);
        }
    }
    return step;
}

using Outputs = std::map<std::string, std::string>;

class ReplayTest : public PluginTest, public ::testing::WithParamInterface<std::string> {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        m_work = (fs::path(m_dir) / "work").string();
        fs::create_directories(m_work);
        // The helper keeps its own small repository instead of answering from a script.
        testsys::unset_env("NRWH_SCRIPT_DIR");
        testsys::set_env("NRWH_STATE_FILE", m_dir + "/state");
        load_staged();
    }
    void TearDown() override {
        if (m_ctx != nullptr) m_scc.Uninitialize(m_ctx);
        PluginTest::TearDown();
    }

    std::string path(const std::string& name) const { return (fs::path(m_work) / name).string(); }
    std::vector<std::string> paths(const Step& step) const {
        std::vector<std::string> all;
        for (const auto& name : step.files) all.push_back(path(name));
        return all;
    }
    static std::vector<LPCSTR> pointers(const std::vector<std::string>& texts) {
        std::vector<LPCSTR> all;
        for (const auto& text : texts) all.push_back(text.c_str());
        return all;
    }
    static std::string option(const Step& step, const std::string& key,
                              const std::string& otherwise) {
        const auto found = step.options.find(key);
        return found == step.options.end() ? otherwise : found->second;
    }
    static LONG number(const Step& step, const std::string& key, LONG otherwise) {
        return static_cast<LONG>(
            std::strtol(option(step, key, std::to_string(otherwise)).c_str(), nullptr, 0));
    }
    static LONG number_at(const Step& step, std::size_t index) {
        return static_cast<LONG>(std::strtol(step.files.at(index).c_str(), nullptr, 0));
    }
    void expect_guard(const HostBuffer& buffer, const char* what) {
        EXPECT_TRUE(buffer.guard_intact()) << what << ": written past the host's buffer";
    }

    long call(const Step& step, Outputs& out);
    long call_file_set(const Step& step);
    long initialize(const Step& step, Outputs& out);
    long get_proj_path(const Step& step, Outputs& out);
    long add(const Step& step, Outputs& out);
    void run_step(const std::vector<std::string>& tokens, int line);
    void play(const std::string& file);

    std::string m_work;
    LPVOID m_ctx = nullptr;
    LPVOID m_last_ctx = nullptr;  // kept after it ends, for hosts that hand it in again
    std::unique_ptr<Worker> m_worker;
};

long ReplayTest::initialize(const Step& step, Outputs& out) {
    const std::size_t size = static_cast<std::size_t>(number(step, "namesize", 32));
    HostBuffer name(size), aux(size);
    LONG caps = 0, checkout_len = 0, comment_len = 0;
    // An old host hands in the context it had last; the plug-in must make a new one.
    LPVOID context = option(step, "context", "null") == "last" ? m_last_ctx : nullptr;
    const long result = m_scc.Initialize(&context, nullptr, option(step, "caller", "").c_str(),
                                         name.get(), &caps, aux.get(), &checkout_len, &comment_len);
    if (result == SCC_OK) m_ctx = m_last_ctx = context;
    out = {{"name", name.text()},
           {"aux", aux.text()},
           {"caps", hex(caps)},
           {"colen", std::to_string(checkout_len)},
           {"clen", std::to_string(comment_len)}};
    expect_guard(name, "name");
    expect_guard(aux, "aux path label");
    return result;
}

long ReplayTest::get_proj_path(const Step& step, Outputs& out) {
    HostBuffer user(32, option(step, "user", "")), project(301, option(step, "proj", ""));
    HostBuffer local(301, option(step, "local", "") == "work" ? m_work : option(step, "local", ""));
    HostBuffer aux(301, option(step, "aux", ""));
    BOOL is_new = static_cast<BOOL>(number(step, "new", 0));
    const long result =
        m_scc.GetProjPath(m_ctx, nullptr, user.get(), project.get(), local.get(), aux.get(),
                          static_cast<BOOL>(number(step, "allowchange", 0)), &is_new);
    const std::string local_text = local.text() == m_work ? "work" : local.text();
    out = {{"user", user.text()},
           {"proj", project.text()},
           {"local", local_text},
           {"aux", aux.text()},
           {"new", std::to_string(is_new)}};
    for (const HostBuffer* buffer : {&user, &project, &local, &aux}) expect_guard(*buffer, "path");
    return result;
}

long ReplayTest::call_file_set(const Step& step) {
    const auto names = paths(step);
    auto list = pointers(names);
    const auto n = static_cast<LONG>(list.size());
    const std::string& c = step.name;
    char comment[] = "replayed";
    if (c == "Checkout") return m_scc.Checkout(m_ctx, nullptr, n, list.data(), comment, 0, nullptr);
    if (c == "Checkin") return m_scc.Checkin(m_ctx, nullptr, n, list.data(), comment, 0, nullptr);
    if (c == "Uncheckout") return m_scc.Uncheckout(m_ctx, nullptr, n, list.data(), 0, nullptr);
    if (c == "Get") return m_scc.Get(m_ctx, nullptr, n, list.data(), 0, nullptr);
    if (c == "Remove") return m_scc.Remove(m_ctx, nullptr, n, list.data(), comment, 0, nullptr);
    if (c == "History") return m_scc.History(m_ctx, nullptr, n, list.data(), 0, nullptr);
    if (c == "RunScc") return m_scc.RunScc(m_ctx, nullptr, n, list.data());
    ADD_FAILURE() << "line " << step.line << ": no call " << c;
    return -1000;
}

long ReplayTest::add(const Step& step, Outputs& out) {
    const auto names = paths(step);
    auto list = pointers(names);
    std::vector<LONG> options(list.size(), 0);
    char comment[] = "replayed";
    // The user presses OK on the box that lists files the helper refused.
    MessageBoxWatcher boxes("NorrowNavigator");
    const long result = m_scc.Add(m_ctx, nullptr, static_cast<LONG>(list.size()), list.data(),
                                  comment, options.data(), nullptr);
    out["boxes"] = std::to_string(boxes.finish().size());
    return result;
}

long ReplayTest::call(const Step& step, Outputs& out) {
    const std::string& c = step.name;
    if (c == "Initialize") return initialize(step, out);
    if (c == "Uninitialize") {
        const long result = m_scc.Uninitialize(m_ctx);
        m_ctx = nullptr;
        return result;
    }
    if (c == "GetVersion") return m_scc.GetVersion();
    if (c == "GetExtendedCapabilities") {
        BOOL supported = 7;
        const long result = m_scc.GetExtendedCapabilities(m_ctx, number_at(step, 0), &supported);
        out["supported"] = std::to_string(supported);
        return result;
    }
    if (c == "GetProjPath") return get_proj_path(step, out);
    if (c == "OpenProject") {
        char user[32] = "", project[301] = "", aux[301] = "";
        return m_scc.OpenProject(m_ctx, nullptr, user, project, m_work.c_str(), aux, "",
                                 ignore_text, number(step, "flags", 0));
    }
    if (c == "CloseProject") return m_scc.CloseProject(m_ctx);
    if (c == "QueryInfo" || c == "PopulateList") {
        const auto names = paths(step);
        auto list = pointers(names);
        std::vector<LONG> status(list.size() + 1, 77);
        int populated = 0;
        const long result =
            c == "QueryInfo"
                ? m_scc.QueryInfo(m_ctx, static_cast<LONG>(list.size()), list.data(), status.data())
                : m_scc.PopulateList(m_ctx, static_cast<SCCCOMMAND>(number(step, "command", 0)),
                                     static_cast<LONG>(list.size()), list.data(), count_populate,
                                     &populated, status.data(), 0);
        std::string shown;
        for (std::size_t i = 0; i < list.size(); ++i) shown += (i ? "," : "") + hex(status[i]);
        out["status"] = shown;
        out["populated"] = std::to_string(populated);
        EXPECT_EQ(77, status.back()) << "line " << step.line << ": written past the status array";
        return result;
    }
    if (c == "Add") return add(step, out);
    if (c == "Diff")
        return m_scc.Diff(m_ctx, nullptr, path(step.files.at(0)).c_str(), number(step, "flags", 0),
                          nullptr);
    if (c == "Rename")
        return m_scc.Rename(m_ctx, nullptr, path(step.files.at(0)).c_str(),
                            path(step.files.at(1)).c_str());
    if (c == "IsMultiCheckoutEnabled") {
        BOOL multi = 7;
        const long result = m_scc.IsMultiCheckoutEnabled(m_ctx, &multi);
        out["multi"] = std::to_string(multi);
        return result;
    }
    if (c == "WillCreateSccFile") {
        // The host's array may be longer than the count it passes.
        const auto names = paths(step);
        auto list = pointers(names);
        std::vector<BOOL> created(static_cast<std::size_t>(number(step, "array", 0)) + list.size(),
                                  7);
        const long result = m_scc.WillCreateSccFile(m_ctx, static_cast<LONG>(list.size()),
                                                    list.data(), created.data());
        std::string shown;
        for (std::size_t i = 0; i < created.size(); ++i)
            shown += (i ? "," : "") + std::to_string(created[i]);
        out["created"] = shown;
        return result;
    }
    if (c == "GetUserOption") {
        LONG value = 7;
        const long result = m_scc.GetUserOption(m_ctx, number_at(step, 0), &value);
        out["value"] = std::to_string(value);
        return result;
    }
    if (c == "GetEvents") {
        HostBuffer name(301, "stale");
        LONG status = 7, remaining = 7;
        const long result = m_scc.GetEvents(m_ctx, name.get(), &status, &remaining);
        out = {{"name", name.text()},
               {"status", std::to_string(status)},
               {"remaining", std::to_string(remaining)}};
        return result;
    }
    return call_file_set(step);
}

void ReplayTest::run_step(const std::vector<std::string>& tokens, int line) {
    SCOPED_TRACE("line " + std::to_string(line) + ": " + tokens[0]);
    const std::string& verb = tokens[0];
    if (verb == "state") {
        std::ofstream(m_dir + "/state", std::ios::app)
            << tokens.at(2) << ' ' << path(tokens.at(1)) << '\n';
    } else if (verb == "file") {
        testsys::write_file(path(tokens.at(1)), tokens.size() > 2 ? tokens[2] : "");
    } else if (verb == "readonly") {
        fs::permissions(path(tokens.at(1)), fs::perms::owner_write, fs::perm_options::remove);
    } else if (verb == "move") {
        fs::rename(path(tokens.at(1)), path(tokens.at(2)));
    } else if (verb == "thread") {
        if (tokens.at(1) == "worker" && !m_worker) m_worker = std::make_unique<Worker>();
        if (tokens.at(1) == "main") m_worker.reset();
    } else if (verb == "expect-file") {
        EXPECT_EQ(tokens.size() > 2 ? tokens[2] : "", testsys::read_file(path(tokens.at(1))));
        EXPECT_TRUE(fs::is_regular_file(path(tokens.at(1))));
    } else if (verb == "expect-absent") {
        EXPECT_FALSE(fs::exists(path(tokens.at(1))));
    } else if (verb == "expect-no-helper") {
        for (const int pid : helper_pids())
            EXPECT_TRUE(testsys::wait_until([&] { return !testsys::process_exists(pid); }))
                << "helper " << pid << " is still running";
    } else {
        const Step step = parse_step(tokens, line);
        Outputs out;
        long result = 0;
        auto make_call = [&] { result = call(step, out); };
        if (m_worker)
            m_worker->run(make_call);
        else
            make_call();
        EXPECT_TRUE(same_value(step.result, std::to_string(result)))
            << "result " << result << ", expected " << step.result;
        for (const auto& [key, expected] : step.outputs) {
            const auto found = out.find(key);
            ASSERT_NE(out.end(), found) << "no output " << key;
            EXPECT_TRUE(same_list(expected, found->second))
                << key << " is \"" << found->second << "\", expected \"" << expected << "\"";
        }
    }
}

void ReplayTest::play(const std::string& file) {
    std::ifstream in(file);
    ASSERT_TRUE(in) << "cannot read " << file;
    int line = 0;
    for (std::string text; std::getline(in, text);) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::size_t hash = text.find(" #");
        if (hash != std::string::npos) text.erase(hash);
        const auto tokens = tokens_of(text);
        if (tokens.empty() || tokens[0][0] == '#') continue;
        run_step(tokens, line);
    }
}

TEST_P(ReplayTest, Session) {
    play((fs::path(testsys::own_executable()).parent_path() / "replays" / (GetParam() + ".replay"))
             .string());
}

std::vector<std::string> replay_names() {
    std::vector<std::string> names;
    std::istringstream list(NRW_REPLAYS);
    for (std::string name; std::getline(list, name, ',');) names.push_back(name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Hosts, ReplayTest, ::testing::ValuesIn(replay_names()),
                         [](const ::testing::TestParamInfo<std::string>& replay) {
                             std::string name = replay.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
