// Linux services of the plug-in. There is no window system: searches find
// nothing, window calls do nothing and the message box text goes to standard
// error. File errors are given the Windows numbers the provider's rules use.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "system.h"

namespace nrwscc::platform {

namespace {

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
            return 0x1000u + static_cast<std::uint32_t>(code);
    }
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool bind_client_library() {
    // Bound by the dynamic loader before the plug-in could be loaded at all.
    return true;
}

void enum_windows(WindowVisitor, std::uint32_t*) {}

std::uint32_t window_process_id(HWND) {
    return 0;
}

bool is_window_visible(HWND) {
    return false;
}

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(getpid());
}

void allow_set_foreground(std::uint32_t) {}
void set_foreground(HWND) {}
void set_window_pos(HWND, HWND, std::uint32_t) {}

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
    if (stat(path, &info) != 0 || chmod(path, (info.st_mode & 07777) | S_IWUSR) != 0) {
        error = file_error(errno);
        return false;
    }
    return true;
}

bool move_file_no_replace(const char* from, const char* to, std::uint32_t& error) {
    if (is_folder(from)) {
        error = kAccessDenied;
        return false;
    }
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    error = file_error(errno);
    return false;
}

bool replace_file(const char* from, const char* to, std::uint32_t& error) {
    if (::rename(from, to) == 0) return true;
    error = file_error(errno);
    return false;
}

bool is_folder(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool delete_file(const char* path, std::uint32_t& error) {
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
    const int source = open(from, O_RDONLY | O_CLOEXEC);
    if (source < 0 || fstat(source, &info) != 0) {
        error = file_error(errno);
        if (source >= 0) close(source);
        return false;
    }
    const int target = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    bool copied = target >= 0;
    char buffer[65536];
    for (ssize_t got = 0; copied && (got = read(source, buffer, sizeof(buffer))) != 0;) {
        copied = got > 0;
        for (ssize_t at = 0; copied && at < got;) {
            const ssize_t put = write(target, buffer + at, static_cast<std::size_t>(got - at));
            copied = put > 0;
            at += put;
        }
    }
    if (!copied) error = file_error(errno);
    close(source);
    if (target >= 0 && (close(target) != 0 || !copied)) {
        if (copied) error = file_error(errno);
        unlink(to);
        return false;
    }
    return copied;
}

bool read_attributes(const char* path, std::uint32_t& attributes) {
    struct stat info {};
    if (stat(path, &info) != 0) return false;
    attributes = info.st_mode & 07777;
    return true;
}

bool write_attributes(const char* path, std::uint32_t attributes) {
    return chmod(path, static_cast<mode_t>(attributes)) == 0;
}

void show_message_box(HWND, const wchar_t* text, const wchar_t* caption) {
    std::string line;
    for (const wchar_t* part : {caption, L": ", text, L"\n"})
        for (; *part != L'\0'; ++part) line += static_cast<char>(*part);
    std::fputs(line.c_str(), stderr);
}

}  // namespace nrwscc::platform
