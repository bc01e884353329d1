// Stand-in for the navigator helper program. It speaks the request/response
// protocol on its standard streams and is steered by environment variables:
//   NRWH_LOG_DIR      append each raw request to requests.log and each answer,
//                     with a line feed, to answers.log; write the argv, command
//                     line and process id of each start there, and <pid>.end
//                     when the input closes
//   NRWH_SCRIPT_DIR   answer from queued files (taken in name order, then deleted);
//                     each starts with a directive line:
//                       reply | pieces N MS | exit CODE | hang | echo | window |
//                       hide (the window) | create PATH (a file, then reply) |
//                       move FROM<tab>TO (the file on disk, then reply) |
//                       linger MS (answer, stop reading, exit MS later) |
//                       await PATH (make PATH.waiting, answer once PATH exists) |
//                       create-await PATH<tab>MARK, move-await FROM<tab>TO<tab>MARK
//                       (the file made or moved, then as await MARK)
//   NRWH_MODE=echo    answer every request with its file set as the message
//   NRWH_MODE=status  the same, but a status query gets the status 1
//   NRWH_PIECES=N     write each answer in N pieces
//   NRWH_EXIT_AFTER=N exit (with NRWH_EXIT_CODE, default 0) after N answers
//   NRWH_WINDOW=1     show a visible top-level window (Windows)
//   NRWH_CANARY=H     record whether inherited handle value H is usable here
//   NRWH_STATE_FILE   where demo mode keeps its file states
// With none of these it runs a small stateful demo repository.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo.h"
#include "helper_system.h"
#include "protocol.h"
#include "protocol_text.h"

namespace fs = std::filesystem;

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void append_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << bytes;
}

// One line per answer once all of it is written (and, for a lingering helper, its
// input closed), so that tests wait for that instead of for a while.
void note_answered() {
    const std::string log_dir = env("NRWH_LOG_DIR");
    if (!log_dir.empty()) append_file(log_dir + "/answered.log", "answered\n");
}

void log_start(const std::string& log_dir, int argc, char** argv) {
    if (log_dir.empty()) return;
    const std::string pid = std::to_string(helper::process_id());
    std::ostringstream args;
    args << "cmdline " << helper::raw_command_line(argc, argv) << '\n';
    for (int i = 0; i < argc; ++i) args << "arg " << argv[i] << '\n';
    append_file(log_dir + "/" + pid + ".argv", args.str());
    const std::string canary = env("NRWH_CANARY");
    if (!canary.empty()) {
        const auto value = static_cast<std::uintptr_t>(std::strtoull(canary.c_str(), nullptr, 0));
        append_file(log_dir + "/" + pid + ".canary",
                    helper::holds_canary(value) ? "inherited\n" : "not inherited\n");
    }
    append_file(log_dir + "/pids.log", pid + "\n");
}

// Takes one request off the input; false at end of input.
bool next_request(std::string& pending, std::string& request) {
    static const std::string kEnd = std::string(nrwapis::protocol::kRequestEnd) + "\n";
    char buffer[4096];
    for (;;) {
        const std::size_t end = pending.find(kEnd);
        if (end != std::string::npos) {
            request = pending.substr(0, end + kEnd.size());
            pending.erase(0, end + kEnd.size());
            return true;
        }
        const long got = helper::read_input(buffer, sizeof(buffer));
        if (got <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

bool take_script(const std::string& dir, std::string& script) {
    std::vector<fs::path> queued;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file()) queued.push_back(entry.path());
    if (queued.empty()) return false;
    const fs::path first = *std::min_element(queued.begin(), queued.end());
    std::ifstream in(first, std::ios::binary);
    script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    fs::remove(first, error);
    return true;
}

std::string echo_answer(const helper::Request& request) {
    std::string names;
    helper::section(request.raw, nrwapis::protocol::kFileSet, names);
    return helper::response(0, helper::section_text(nrwapis::protocol::kMessage, names));
}

void answer_in_pieces(const std::string& text, int pieces, int pause_ms) {
    pieces = std::max(1, pieces);
    const std::size_t step = (text.size() + static_cast<std::size_t>(pieces) - 1) / pieces;
    for (std::size_t at = 0; at < text.size(); at += step) {
        helper::write_output(text.data() + at, std::min(step, text.size() - at));
        if (at + step < text.size()) helper::sleep_ms(pause_ms);
    }
}

void run_script(const std::string& script, const helper::Request& request) {
    const std::size_t line_end = script.find('\n');
    const std::string directive = script.substr(0, line_end);
    const std::string body = line_end == std::string::npos ? "" : script.substr(line_end + 1);
    std::istringstream words(directive);
    std::string verb;
    words >> verb;
    if (verb == "exit") {
        int code = 0;
        words >> code;
        helper::exit_now(code);
    }
    if (verb == "hang") {
        for (;;) helper::sleep_ms(1000);
    }
    if (verb == "echo") {
        const std::string text = echo_answer(request);
        helper::write_output(text.data(), text.size());
        return;
    }
    if (verb == "pieces") {
        int pieces = 1, pause_ms = 0;
        words >> pieces >> pause_ms;
        answer_in_pieces(body, pieces, pause_ms);
        return;
    }
    if (verb == "linger") {
        int pause_ms = 0;
        words >> pause_ms;
        helper::write_output(body.data(), body.size());
        helper::close_input();
        note_answered();
        helper::sleep_ms(pause_ms);
        helper::exit_now(0);
    }
    if (verb == "window") helper::show_window("Navigator helper");
    if (verb == "hide") helper::hide_window();
    if (verb == "create") {
        std::string path;
        std::getline(words >> std::ws, path);
        append_file(path, "made by the helper\n");
    }
    std::string rest;
    std::getline(words >> std::ws, rest);
    std::vector<std::string> fields;
    for (std::size_t from = 0;;) {
        const std::size_t tab = rest.find('\t', from);
        fields.push_back(rest.substr(from, tab - from));
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
    if (verb == "create-await" && fields.size() == 2)
        append_file(fields[0], "made by the helper\n");
    if (verb == "move" && fields.size() == 2) helper::move_file(fields[0], fields[1]);
    if (verb == "move-await" && fields.size() == 3) helper::move_file(fields[0], fields[1]);
    std::error_code ignored;
    if (verb == "await" || verb == "create-await" || verb == "move-await") {
        // A test holds the answer back at a known step, and knows it is held.
        const std::string& mark = fields.back();
        append_file(mark + ".waiting", "waiting\n");
        while (!fs::exists(mark, ignored)) helper::sleep_ms(5);
    }
    helper::write_output(body.data(), body.size());
}

std::string state_file() {
    const std::string configured = env("NRWH_STATE_FILE");
    return configured.empty() ? helper::temp_folder() + "/nrwnavigator-demo.state" : configured;
}

void answer(const helper::Request& request, const std::string& log_dir) {
    const std::string script_dir = env("NRWH_SCRIPT_DIR");
    std::string script;
    if (!script_dir.empty() && take_script(script_dir, script)) return run_script(script, request);
    const std::string mode = env("NRWH_MODE");
    const std::string text =
        mode == "status" && request.op == nrwapis::protocol::op::kQuery
            ? helper::response(0, helper::section_text(nrwapis::protocol::kQueryResult, "1"))
        : mode == "echo" || mode == "status" || !script_dir.empty()
            ? echo_answer(request)
            : helper::demo_answer(request, state_file());
    if (!log_dir.empty()) append_file(log_dir + "/answers.log", text + "\n");
    const int pieces = std::atoi(env("NRWH_PIECES").c_str());
    if (pieces > 1)
        answer_in_pieces(text, pieces, 0);
    else
        helper::write_output(text.data(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string log_dir = env("NRWH_LOG_DIR");
    log_start(log_dir, argc, argv);
    if (env("NRWH_WINDOW") == "1") helper::show_window("Navigator helper");
    const long exit_after = std::atol(env("NRWH_EXIT_AFTER").c_str());
    const int exit_code = std::atoi(env("NRWH_EXIT_CODE").c_str());

    std::string pending;
    std::string raw;
    for (long answered = 0; next_request(pending, raw);) {
        if (!log_dir.empty()) append_file(log_dir + "/requests.log", raw);
        answer(helper::parse_request(raw), log_dir);
        note_answered();
        if (exit_after > 0 && ++answered >= exit_after) helper::exit_now(exit_code);
    }
    // Tells a helper that saw its input close apart from one that was ended; the
    // pause plays a helper that tidies up before it leaves.
    helper::sleep_ms(100);
    if (!log_dir.empty())
        append_file(log_dir + "/" + std::to_string(helper::process_id()) + ".end",
                    "input closed\n");
    return 0;
}
