#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "soak_system.h"

namespace soak {

void set_env(const char* name, const char* value) {
    ::setenv(name, value, 1);
}

void kill_now(int pid) {
    ::kill(pid, SIGKILL);
}

long open_handles() {
    long count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return count - 1;  // the listing's own descriptor
}

long child_processes() {
    const std::string self = std::to_string(::getpid());
    long count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (name) state ppid ...: the name may hold blanks, so read after ')'.
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        std::string state, parent;
        fields >> state >> parent;
        if (parent == self) ++count;
    }
    return count;
}

std::size_t resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void sleep_us(long microseconds) {
    ::usleep(static_cast<useconds_t>(microseconds));
}

}  // namespace soak
