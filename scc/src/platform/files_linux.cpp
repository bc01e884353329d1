// Linux file services of the plug-in. File errors are given the Windows numbers
// the provider's rules use.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files.h"
#include "path_text.h"

namespace nrwscc::platform {

namespace {

// An errno without a Windows number of its own.
std::uint32_t unmapped_error(int code) {
    return 0x1000u + static_cast<std::uint32_t>(code);
}

std::uint32_t file_error(int code) {
    switch (code) {
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
            return kPathNotFound;
        case EEXIST:
            return kAlreadyExists;
        case EACCES:
        case EPERM:
        case EISDIR:
            return kAccessDenied;
        default:
            return unmapped_error(code);
    }
}

// Linux has no sharing modes. So that the provider's waits can be tested here
// as under Windows, a test holds a file as another program would: while the
// folder NRWSCC_HELD_DIR holds a mark named after the path (its slashes as
// '|'), every step that would read, move, replace or delete that file fails
// with EBUSY. Its attributes can still be changed, as under Windows.
bool held(const char* path) {
    const char* folder = std::getenv("NRWSCC_HELD_DIR");
    if (folder == nullptr || *folder == '\0') return false;
    std::string mark = path;
    for (char& c : mark)
        if (c == '/') c = '|';
    struct stat info {};
    return stat((std::string(folder) + "/" + mark).c_str(), &info) == 0;
}

bool refuse_if_held(const char* path, std::uint32_t& error) {
    if (!held(path)) return false;
    error = unmapped_error(EBUSY);
    return true;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A descriptor that closes itself.
class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

// Opens a plain file for reading, once: without waiting on a pipe, and checked
// as opened. -1 with `error` set for anything else.
int open_plain_file_even_if_held(const char* path, struct stat& info, std::uint32_t& error,
                                 int flags) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0) {
        error = errno == ELOOP ? kNotAPlainFile : file_error(errno);
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = kNotAPlainFile;
        close(fd);
        return -1;
    }
    return fd;
}

bool write_whole(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// Copies everything from one descriptor to the other; the bytes copied.
bool copy_bytes(int from, int to, off_t& copied) {
    std::string buffer(65536, '\0');
    copied = 0;
    for (;;) {
        const ssize_t got = read(from, &buffer[0], buffer.size());
        if (got == 0) return true;
        if (got < 0 || !write_whole(to, buffer.data(), static_cast<std::size_t>(got))) return false;
        copied += got;
    }
}

// Reads up to `size` bytes, fewer only at the end of the file.
ssize_t read_full(int fd, char* buffer, std::size_t size) {
    std::size_t have = 0;
    while (have < size) {
        const ssize_t got = read(fd, buffer + have, size - have);
        if (got < 0) return -1;
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(have);
}

int open_plain_file(const char* path, struct stat& info, std::uint32_t& error) {
    if (refuse_if_held(path, error)) return -1;
    return open_plain_file_even_if_held(path, info, error, 0);
}

// Changes the mode of a plain file that has no other name, never through a link.
bool change_own_mode(const char* path, mode_t mode, std::uint32_t& error) {
    struct stat info {};
    const Descriptor file(open_plain_file_even_if_held(path, info, error, O_NOFOLLOW));
    if (file.get() < 0) {
        // A link is left as it is; anything else could not be opened.
        struct stat link {};
        return lstat(path, &link) == 0 && S_ISLNK(link.st_mode);
    }
    if (info.st_nlink > 1) return true;
    if (fchmod(file.get(), mode) == 0) return true;
    error = file_error(errno);
    return false;
}

}  // namespace

unsigned ansi_code_page() {
    return nrwapis::path_text::kSingleByte;
}

bool is_transient(std::uint32_t error) {
    return error == unmapped_error(EBUSY) || error == unmapped_error(ETXTBSY);
}

void pause_ms(std::uint32_t milliseconds) {
    timespec pause{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

std::uint32_t attributes_error(const char* path) {
    struct stat info {};
    if (stat(path, &info) == 0) return 0;
    const int code = errno;
    // A missing file in a missing folder is a path that cannot be found.
    if (code == ENOENT && stat(folder_of(path).c_str(), &info) != 0) return kPathNotFound;
    return file_error(code);
}

bool set_normal_attributes(const char* path, std::uint32_t& error) {
    struct stat info {};
    if (lstat(path, &info) != 0) {
        error = file_error(errno);
        return false;
    }
    return change_own_mode(path, (info.st_mode & 07777) | S_IWUSR, error);
}

bool move_file_no_replace(const char* from, const char* to, std::uint32_t& error) {
    if (is_folder(from)) {
        error = kAccessDenied;
        return false;
    }
    if (refuse_if_held(from, error)) return false;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    error = file_error(errno);
    return false;
}

bool replace_file(const char* from, const char* to, std::uint32_t& error) {
    if (refuse_if_held(from, error) || refuse_if_held(to, error)) return false;
    if (::rename(from, to) == 0) return true;
    error = file_error(errno);
    return false;
}

bool is_folder(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool delete_file(const char* path, std::uint32_t& error) {
    if (refuse_if_held(path, error)) return false;
    if (unlink(path) == 0) return true;
    error = file_error(errno);
    return false;
}

PathKind path_kind(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? PathKind::nothing : PathKind::other;
    if (S_ISREG(info.st_mode)) return PathKind::file;
    return S_ISDIR(info.st_mode) ? PathKind::folder : PathKind::other;
}

bool same_file(const char* first, const char* second) {
    struct stat a {
    }, b{};
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool copy_file_no_replace(const char* from, const char* to, std::uint32_t& error) {
    struct stat info {};
    const Descriptor source(open_plain_file(from, info, error));
    if (source.get() < 0) return false;
    const int target = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (target < 0) {
        error = file_error(errno);
        return false;
    }
    off_t copied = 0;
    bool whole = copy_bytes(source.get(), target, copied);
    if (!whole) error = file_error(errno);
    // A file cut short while it was read is no copy of it.
    if (whole && copied != info.st_size) {
        whole = false;
        error = kAccessDenied;
    }
    if (close(target) != 0 && whole) {
        whole = false;
        error = file_error(errno);
    }
    if (!whole) unlink(to);
    return whole;
}

Comparison compare_contents(const char* first, const char* second, std::uint32_t& error) {
    const auto unopened = [&error] {
        return error == kFileNotFound || error == kPathNotFound || error == kNotAPlainFile
                   ? Comparison::different
                   : Comparison::unreadable;
    };
    struct stat a_info {
    }, b_info{};
    const Descriptor a(open_plain_file(first, a_info, error));
    if (a.get() < 0) return unopened();
    const Descriptor b(open_plain_file(second, b_info, error));
    if (b.get() < 0) return unopened();
    if (a_info.st_size != b_info.st_size) return Comparison::different;
    std::string a_buffer(65536, '\0'), b_buffer(65536, '\0');
    for (;;) {
        const ssize_t a_got = read_full(a.get(), &a_buffer[0], a_buffer.size());
        const ssize_t b_got = read_full(b.get(), &b_buffer[0], b_buffer.size());
        if (a_got < 0 || b_got < 0) {
            error = file_error(errno);
            return Comparison::unreadable;
        }
        if (a_got != b_got) return Comparison::different;
        if (a_got == 0) return Comparison::same;
        if (std::memcmp(a_buffer.data(), b_buffer.data(), static_cast<std::size_t>(a_got)) != 0)
            return Comparison::different;
    }
}

bool stamp_of(const char* path, FileStamp& stamp) {
    struct stat info {};
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp.volume = static_cast<std::uint64_t>(info.st_dev);
    stamp.index = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.written = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                    static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
    return true;
}

bool read_attributes(const char* path, std::uint32_t& attributes) {
    struct stat info {};
    if (stat(path, &info) != 0) return false;
    attributes = info.st_mode & 07777;
    return true;
}

bool write_attributes(const char* path, std::uint32_t attributes) {
    std::uint32_t error = 0;
    return change_own_mode(path, static_cast<mode_t>(attributes), error);
}

}  // namespace nrwscc::platform
