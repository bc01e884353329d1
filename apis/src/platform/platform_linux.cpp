// Linux back end: pipes (pipe2), fork-free spawning with posix_spawn, process
// descriptors (pidfd).
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform.h"

extern char** environ;

namespace nrwapis::platform {

namespace {

int fd_of(const Handle& handle) {
    return static_cast<int>(handle.get());
}

std::string parent_folder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int open_process_descriptor(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

void reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

bool failed(ErrorCode& error) {
    error = static_cast<ErrorCode>(errno);
    return false;
}

}  // namespace

void close_raw(Handle::Raw raw) {
    ::close(static_cast<int>(raw));
}

bool create_pipe(Handle& read_end, Handle& write_end, ErrorCode& error) {
    // Close-on-exec from birth: the helper gets its ends by explicit duplication,
    // and no other child of the host can inherit them by accident.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return failed(error);
    read_end = Handle(fds[0]);
    write_end = Handle(fds[1]);
    return true;
}

bool make_non_inheritable(const Handle& handle, ErrorCode& error) {
    const int flags = ::fcntl(fd_of(handle), F_GETFD);
    return (flags >= 0 && ::fcntl(fd_of(handle), F_SETFD, flags | FD_CLOEXEC) == 0) ||
           failed(error);
}

namespace {

// A helper that ends between our liveness check and the write would make the
// write raise SIGPIPE, which ends the host by default. The signal is held back on
// this thread for the write; one that the failed write raised is taken off again,
// and the write fails with EPIPE like any other failed write.
class SigpipeHeldBack {
  public:
    SigpipeHeldBack() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigpipeHeldBack() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SigpipeHeldBack(const SigpipeHeldBack&) = delete;
    SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

    // After a write failed with EPIPE. A SIGPIPE pending before could only have
    // stayed pending if the thread already held it back, and then it is not ours.
    void discard_raised_signal() {
        if (sigismember(&m_old, SIGPIPE) == 1) return;
        const timespec no_wait{0, 0};
        while (sigtimedwait(&m_pipe, nullptr, &no_wait) == SIGPIPE) {
        }
    }

  private:
    sigset_t m_pipe;
    sigset_t m_old;
};

}  // namespace

bool write_all(const Handle& handle, const char* data, std::size_t size, ErrorCode& error) {
    SigpipeHeldBack held_back;
    while (size > 0) {
        const ssize_t written = ::write(fd_of(handle), data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = static_cast<ErrorCode>(errno);
            if (errno == EPIPE) held_back.discard_raised_signal();
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

long read_some(const Handle& handle, char* buffer, std::size_t capacity, ErrorCode& error) {
    for (;;) {
        const ssize_t got = ::read(fd_of(handle), buffer, capacity);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) {
            error = static_cast<ErrorCode>(errno);
            return -1;
        }
    }
}

std::size_t bytes_available(const Handle& handle) {
    int available = 0;
    if (::ioctl(fd_of(handle), FIONREAD, &available) != 0 || available < 0) return 0;
    return static_cast<std::size_t>(available);
}

std::string helper_executable() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&helper_executable), &info) == 0 || !info.dli_fname)
        return std::string();
    char resolved[PATH_MAX];
    const std::string module = ::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    return parent_folder(parent_folder(module)) + "/nrwnavigator";
}

bool spawn_process(const std::string& executable, const std::vector<std::string>& arguments,
                   const Handle& stdin_read, const Handle& stdout_write, ProcessInfo& info,
                   ErrorCode& error) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd_of(stdin_read), 0);
    posix_spawn_file_actions_adddup2(&actions, fd_of(stdout_write), 1);
    posix_spawn_file_actions_adddup2(&actions, fd_of(stdout_write), 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    const int spawn_error =
        ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawn_error != 0) {
        error = static_cast<ErrorCode>(spawn_error);
        return false;
    }

    const int descriptor = open_process_descriptor(pid);
    if (descriptor < 0) {
        error = static_cast<ErrorCode>(errno);
        ::kill(pid, SIGKILL);
        reap(pid);
        return false;
    }
    info.process = Handle(descriptor);
    info.process_id = pid;
    return true;
}

HelperProbe probe_helper(const ProcessInfo& info, const Handle& response_read) {
    if (!info.process.valid()) return {true, false};
    // One poll answers both: the process descriptor turns readable when the helper
    // has ended, the pipe when bytes wait or when no writer is left. For a moment
    // after a kill the pipe is closed while the descriptor is not yet readable;
    // such a helper cannot answer either.
    pollfd entries[2] = {{fd_of(info.process), POLLIN, 0}, {fd_of(response_read), POLLIN, 0}};
    while (::poll(entries, 2, 0) < 0 && errno == EINTR) {
    }
    const bool exited = (entries[0].revents & POLLIN) != 0;
    if (exited) {
        // Collect it so it does not linger as a zombie.
        int status = 0;
        ::waitpid(info.process_id, &status, WNOHANG);
    }
    const bool closed = (entries[1].revents & (POLLHUP | POLLERR)) != 0;
    return {exited || closed, (entries[1].revents & POLLIN) != 0};
}

void terminate(ProcessInfo& info) {
    if (!info.process.valid()) return;
    // Signalling through the descriptor cannot hit a recycled process id.
    syscall(SYS_pidfd_send_signal, fd_of(info.process), SIGKILL, nullptr, 0);
    pollfd entry{fd_of(info.process), POLLIN, 0};
    ::poll(&entry, 1, 5000);
    int status = 0;
    ::waitpid(info.process_id, &status, WNOHANG);
}

bool environment_value(const char* name, std::string& value) {
    const char* found = std::getenv(name);
    if (found == nullptr) return false;
    value = found;
    return true;
}

void utc_time_of_day(int& hour, int& minute, int& second) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    hour = parts.tm_hour;
    minute = parts.tm_min;
    second = parts.tm_sec;
}

char path_separator() {
    return '/';
}

// Only a plain file of one name that this user owns takes the trace: never what
// a link leads to, a second name of someone's file, or a pipe whose reader would
// get every line (opened without waiting, so an unread FIFO cannot hang the host).
std::FILE* open_for_appending(const std::string& path) {
    const int descriptor = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (descriptor == -1) return nullptr;
    struct stat status {};
    const bool own_plain_file = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
                                status.st_nlink == 1 && status.st_uid == ::geteuid();
    const int flags = ::fcntl(descriptor, F_GETFL);
    std::FILE* file = nullptr;
    if (own_plain_file && flags != -1 && ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = ::fdopen(descriptor, "a");
    if (file == nullptr) {
        ::close(descriptor);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

bool append_whole(std::FILE* file, const std::string& line) {
    const ssize_t written = ::write(fileno(file), line.data(), line.size());
    return written == static_cast<ssize_t>(line.size());
}

}  // namespace nrwapis::platform
