// Win32 file services of the plug-in.
#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "files.h"
#include "path_text.h"

namespace nrwscc::platform {

namespace {

// A handle that closes itself.
class File {
  public:
    explicit File(HANDLE handle) : m_handle(handle) {}
    ~File() {
        if (valid()) CloseHandle(m_handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    HANDLE release() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }

  private:
    HANDLE m_handle;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint32_t last_error() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS ? kAlreadyExists : error;
}

// Whether an opened handle is a file on a disk, not a folder, pipe or device.
bool is_disk_file(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Opens a plain file for reading, once, checked as opened.
HANDLE open_plain_file(const char* path, BY_HANDLE_FILE_INFORMATION& info, std::uint32_t& error) {
    File file(CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        error = last_error();
        return INVALID_HANDLE_VALUE;
    }
    if (!is_disk_file(file.get(), info)) {
        error = kNotAPlainFile;
        return INVALID_HANDLE_VALUE;
    }
    return file.release();
}

ULONGLONG size_of(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool set_basic_info(HANDLE file, const FILETIME* created, const FILETIME* written,
                    DWORD attributes) {
    FILE_BASIC_INFO basic{};
    if (created != nullptr) basic.CreationTime.LowPart = created->dwLowDateTime;
    if (created != nullptr)
        basic.CreationTime.HighPart = static_cast<LONG>(created->dwHighDateTime);
    if (written != nullptr) basic.LastWriteTime.LowPart = written->dwLowDateTime;
    if (written != nullptr)
        basic.LastWriteTime.HighPart = static_cast<LONG>(written->dwHighDateTime);
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

// Sets the attributes of a plain file that has no other name; a link (a reparse
// point, opened as itself) or a file with other hard links is left as it is.
bool change_own_attributes(const char* path, DWORD attributes, std::uint32_t& error) {
    const File file(CreateFileA(
        path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid()) {
        error = last_error();
        return false;
    }
    if (!is_disk_file(file.get(), info)) {
        error = kNotAPlainFile;
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1)
        return true;
    if (set_basic_info(file.get(), nullptr, nullptr, attributes)) return true;
    error = last_error();
    return false;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// \\.\ names a device and \\?\ hands the rest to the system unchecked.
bool has_device_prefix(const char* path) {
    return is_separator(path[0]) && is_separator(path[1]) && (path[2] == '.' || path[2] == '?') &&
           is_separator(path[3]);
}

// What Windows compares with its device names: the last part of the path,
// without a drive, its extension, and trailing blanks and colons, in capitals.
std::string device_stem(const char* path) {
    const std::string whole = path;
    const std::size_t slash = nrwapis::path_text::last_separator(whole, GetACP());
    std::string stem = slash == std::string::npos ? whole : whole.substr(slash + 1);
    if (stem.size() >= 2 && stem[1] == ':') stem.erase(0, 2);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == ':')) stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return stem;
}

// CON, PRN, AUX, NUL, the console's CONIN$ and CONOUT$, CLOCK$, and COM and
// LPT with a digit (0 to 9, and the superscripts 1 to 3 of the ANSI code page)
// name devices in every folder.
bool is_device_name(const char* path) {
    const std::string stem = device_stem(path);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (stem == device) return true;
    if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0))
        return false;
    const unsigned char digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// The system's own answer, where it has one.
bool system_calls_it_a_device(const char* path) {
    using IsDosDeviceName = ULONG(WINAPI*)(PCWSTR);
    static const auto is_dos_device_name =
        reinterpret_cast<IsDosDeviceName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlIsDosDeviceName_U")));
    if (is_dos_device_name == nullptr) return false;
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length);
    return is_dos_device_name(wide.c_str()) != 0;
}

bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    const File file(CreateFileA(path, 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), &info) != 0;
}

bool copy_bytes(HANDLE from, HANDLE to, ULONGLONG& copied) {
    std::string buffer(65536, '\0');
    copied = 0;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from, &buffer[0], static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0) return true;
        if (!WriteFile(to, buffer.data(), got, &put, nullptr) || put != got) return false;
        copied += got;
    }
}

// Reads up to `size` bytes, fewer only at the end of the file.
bool read_full(HANDLE file, char* buffer, DWORD size, DWORD& have) {
    have = 0;
    while (have < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + have, size - have, &got, nullptr)) return false;
        if (got == 0) break;
        have += got;
    }
    return true;
}

}  // namespace

// A file another program holds open without sharing refuses to be opened,
// moved or deleted (sharing violation), a locked range refuses to be read (lock
// violation), and a file being deleted, or being scanned by some virus
// scanners, answers access denied until that program lets go.
bool is_transient(std::uint32_t error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_DELETE_PENDING;
}

void pause_ms(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

unsigned ansi_code_page() {
    return GetACP();
}

std::uint32_t attributes_error(const char* path) {
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

bool set_normal_attributes(const char* path, std::uint32_t& error) {
    return change_own_attributes(path, FILE_ATTRIBUTE_NORMAL, error);
}

bool move_file_no_replace(const char* from, const char* to, std::uint32_t& error) {
    if (is_folder(from)) {
        error = kAccessDenied;
        return false;
    }
    if (MoveFileExA(from, to, 0)) return true;
    error = last_error();
    return false;
}

bool replace_file(const char* from, const char* to, std::uint32_t& error) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    error = GetLastError();
    return false;
}

bool is_folder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool delete_file(const char* path, std::uint32_t& error) {
    if (DeleteFileA(path)) return true;
    error = GetLastError();
    return false;
}

PathKind path_kind(const char* path) {
    if (has_device_prefix(path) || is_device_name(path) || system_calls_it_a_device(path))
        return PathKind::other;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::nothing
                                                                              : PathKind::other;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::folder;
    return attributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT) ? PathKind::other
                                                                               : PathKind::file;
}

bool same_file(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return file_identity(first, a) && file_identity(second, b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool copy_file_no_replace(const char* from, const char* to, std::uint32_t& error) {
    BY_HANDLE_FILE_INFORMATION info{};
    const File source(open_plain_file(from, info, error));
    if (!source.valid()) return false;
    const File target(CreateFileA(to, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.valid()) {
        error = last_error();
        return false;
    }
    ULONGLONG copied = 0;
    bool whole = copy_bytes(source.get(), target.get(), copied);
    if (!whole) error = GetLastError();
    // A file cut short while it was read is no copy of it.
    if (whole && copied != size_of(info)) {
        whole = false;
        error = kAccessDenied;
    }
    if (whole && !set_basic_info(target.get(), &info.ftCreationTime, &info.ftLastWriteTime,
                                 info.dwFileAttributes)) {
        whole = false;
        error = GetLastError();
    }
    if (!whole) {
        // Deleted once closed: nothing is left at `to`.
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(target.get(), FileDispositionInfo, &dispose, sizeof(dispose));
    }
    return whole;
}

// A file that cannot be opened because it is not there, or is no plain file,
// is one that differs; any other failure leaves the question open.
Comparison compare_contents(const char* first, const char* second, std::uint32_t& error) {
    const auto unopened = [&error] {
        return error == kFileNotFound || error == kPathNotFound || error == kNotAPlainFile
                   ? Comparison::different
                   : Comparison::unreadable;
    };
    BY_HANDLE_FILE_INFORMATION a_info{}, b_info{};
    const File a(open_plain_file(first, a_info, error));
    if (!a.valid()) return unopened();
    const File b(open_plain_file(second, b_info, error));
    if (!b.valid()) return unopened();
    if (size_of(a_info) != size_of(b_info)) return Comparison::different;
    std::string a_buffer(65536, '\0'), b_buffer(65536, '\0');
    const DWORD size = static_cast<DWORD>(a_buffer.size());
    for (;;) {
        DWORD a_got = 0, b_got = 0;
        if (!read_full(a.get(), &a_buffer[0], size, a_got) ||
            !read_full(b.get(), &b_buffer[0], size, b_got)) {
            error = GetLastError();
            return Comparison::unreadable;
        }
        if (a_got != b_got) return Comparison::different;
        if (a_got == 0) return Comparison::same;
        if (std::memcmp(a_buffer.data(), b_buffer.data(), a_got) != 0) return Comparison::different;
    }
}

bool stamp_of(const char* path, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file_identity(path, info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = size_of(info);
    stamp.written = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool read_attributes(const char* path, std::uint32_t& attributes) {
    attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES;
}

bool write_attributes(const char* path, std::uint32_t attributes) {
    std::uint32_t error = 0;
    return change_own_attributes(path, attributes, error);
}

}  // namespace nrwscc::platform
