#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_system.h"

extern char** environ;

namespace testsys {

void set_env(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}
void unset_env(const std::string& name) {
    ::unsetenv(name.c_str());
}

namespace {

std::string hold_mark(const std::string& path) {
    const char* folder = std::getenv("NRWSCC_HELD_DIR");
    std::string mark = path;
    for (char& c : mark)
        if (c == '/') c = '|';
    return folder == nullptr ? std::string() : std::string(folder) + "/" + mark;
}

}  // namespace

FileHold::FileHold(const std::string& path) : m_path(hold_mark(path)) {
    m_holds = !m_path.empty() && std::ofstream(m_path).good();
}

void FileHold::release() {
    if (m_holds) ::unlink(m_path.c_str());
    m_holds = false;
}

unsigned ansi_code_page() {
    return 0;
}

bool make_folder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0;
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void hold_folder(const std::string& folder) {
    std::filesystem::create_directories(folder);
    set_env("NRWSCC_HELD_DIR", folder);
}

std::string make_temp_dir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/nrwtest-XXXXXX";
    return ::mkdtemp(&pattern[0]) ? pattern : std::string();
}

void remove_tree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

bool process_exists(int pid) {
    // An ended child that nobody has collected yet counts as gone.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t name_end = line.rfind(')');
    return name_end == std::string::npos || name_end + 2 >= line.size() ||
           line[name_end + 2] != 'Z';
}

bool make_fifo(const std::string& path) {
    return mkfifo(path.c_str(), 0600) == 0;
}

bool give_to_another_user(const std::string& path) {
    constexpr uid_t kNobody = 65534;
    return ::geteuid() == 0 && ::chown(path.c_str(), kNobody, kNobody) == 0;
}

bool has_device_names() {
    return false;
}

void sleep_ms(int milliseconds) {
    ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

bool is_inheritable(std::intptr_t handle) {
    const int flags = ::fcntl(static_cast<int>(handle), F_GETFD);
    return flags >= 0 && (flags & FD_CLOEXEC) == 0;
}

std::uintptr_t make_inheritable_canary() {
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);  // only the read end may travel
    if (::write(fds[1], "canary", 6) != 6) return 0;
    return static_cast<std::uintptr_t>(fds[0]);
}

void kill_process(int pid) {
    ::kill(pid, SIGKILL);
}

std::string own_executable() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args,
                            const std::string& output_file) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output_file.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed != 0 ? 0 : pid;
}

int wait_program(std::intptr_t process) {
    int status = 0;
    if (::waitpid(static_cast<pid_t>(process), &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsys
