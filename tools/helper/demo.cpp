#include "demo.h"

#include "helper_system.h"
#include "path_text.h"

#include <filesystem>
#include <fstream>
#include <map>

namespace helper {

namespace {

namespace fs = std::filesystem;
namespace protocol = nrwapis::protocol;

// A changed file is checked in and differs from the repository's copy ('M' in
// the state file): the status query says so.
enum class FileState { uncontrolled, checked_in, checked_out, changed };

using Repository = std::map<std::string, FileState>;

Repository load(const std::string& path) {
    Repository repository;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 3) continue;
        repository[line.substr(2)] = line[0] == 'O'   ? FileState::checked_out
                                     : line[0] == 'M' ? FileState::changed
                                                      : FileState::checked_in;
    }
    return repository;
}

void save(const Repository& repository, const std::string& path) {
    std::ofstream out(path, std::ios::trunc);
    for (const auto& [name, state] : repository) {
        if (state == FileState::uncontrolled) continue;
        out << (state == FileState::checked_out ? 'O'
                : state == FileState::changed   ? 'M'
                                                : 'I')
            << ' ' << name << '\n';
    }
}

struct Transition {
    FileState from;
    FileState to;
    const char* done;
};

// The state a file must be in for an operation, and the one it leaves behind.
bool transition_for(int op, Transition& transition) {
    switch (op) {
        case protocol::op::kAdd:
            transition = {FileState::uncontrolled, FileState::checked_in, "added"};
            return true;
        case protocol::op::kCheckin:
            transition = {FileState::checked_out, FileState::checked_in, "checked in"};
            return true;
        case protocol::op::kCheckout:
            transition = {FileState::checked_in, FileState::checked_out, "checked out"};
            return true;
        case protocol::op::kCancelCheckout:
            transition = {FileState::checked_out, FileState::checked_in, "checkout undone"};
            return true;
        case protocol::op::kRemove:
            transition = {FileState::checked_in, FileState::uncontrolled, "removed"};
            return true;
        default:
            return false;
    }
}

FileState state_of(const Repository& repository, const std::string& name) {
    const auto found = repository.find(name);
    return found == repository.end() ? FileState::uncontrolled : found->second;
}

std::string query_answer(const Repository& repository, const Request& request) {
    const FileState state =
        request.files.empty() ? FileState::uncontrolled : state_of(repository, request.files[0]);
    const int bits = state == FileState::uncontrolled ? 0
                     : state == FileState::checked_in ? 1
                     : state == FileState::changed    ? 9
                                                      : 3;
    return response(0, section_text(protocol::kQueryResult, std::to_string(bits)));
}

// The working copy follows the repository: a restore puts a missing file back, a
// rename moves the file and its state to the new name beside it.
std::string restore(const Request& request) {
    for (const std::string& name : request.files) {
        if (!file_exists(name)) std::ofstream(name) << "restored from the repository\n";
    }
    return response(0, "");
}

std::string rename(Repository& repository, const Request& request, const std::string& state_file) {
    std::string new_name;
    if (request.files.size() != 1 || !section(request.raw, protocol::kRenameNameSet, new_name))
        return response(1, "");
    const std::string& old_path = request.files[0];
    // Paths are split as characters of the code page, never by byte.
    const unsigned code_page = ansi_code_page();
    const std::string folder = nrwapis::path_text::folder_of(old_path, code_page);
    // Where the new name is a whole path (a plug-in on a system whose paths have
    // no backslash sends it so), it is taken as it is.
    const bool whole_path =
        nrwapis::path_text::last_separator(new_name, code_page) != std::string::npos;
    const std::string new_path = folder.empty() || whole_path ? new_name : folder + new_name;
    if (!move_file(old_path, new_path)) return response(1, "");
    repository[new_path] = state_of(repository, old_path);
    repository.erase(old_path);
    save(repository, state_file);
    return response(0, "");
}

}  // namespace

std::string demo_answer(const Request& request, const std::string& state_file) {
    Repository repository = load(state_file);
    if (request.op == protocol::op::kQuery) return query_answer(repository, request);
    if (request.op == protocol::op::kRestore) return restore(request);
    if (request.op == protocol::op::kRename) return rename(repository, request, state_file);
    Transition transition{};
    if (!transition_for(request.op, transition)) return response(0, "");

    std::string statuses;
    std::string message;
    bool all_done = true;
    for (const std::string& name : request.files) {
        FileState state = state_of(repository, name);
        if (state == FileState::changed) state = FileState::checked_in;
        const bool possible = state == transition.from;
        if (possible) repository[name] = transition.to;
        all_done = all_done && possible;
        statuses += possible ? "0 " : "1 ";
        message +=
            name + (possible ? std::string(": ") + transition.done : ": not possible") + "\n";
    }
    save(repository, state_file);
    std::string sections;
    if (!all_done) sections += section_text(protocol::kFileStatuses, statuses);
    if (request.mode == 1) sections += section_text(protocol::kMessage, message);
    return response(all_done ? 0 : 1, sections);
}

}  // namespace helper
