// Win32 back end: anonymous pipes and CreateProcessA with an explicit handle list.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winternl.h>

#include <memory>

#include "../command_line.h"
#include "nrw_identity.h"
#include "platform.h"

namespace nrwapis::platform {

namespace {

HANDLE win(const Handle& handle) {
    return reinterpret_cast<HANDLE>(handle.get());
}
Handle own(HANDLE raw) {
    return Handle(reinterpret_cast<Handle::Raw>(raw));
}

constexpr DWORD kModulePathCapacity = 4096;
constexpr DWORD kTerminateWaitMs = 5000;

// Holds the attribute list that limits what the helper inherits to its two pipe ends.
class InheritList {
  public:
    explicit InheritList(HANDLE* handles, std::size_t count) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_storage.reset(new (std::nothrow) char[size]);
        if (!m_storage) {
            m_error = ERROR_NOT_ENOUGH_MEMORY;
            return;
        }
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.get());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            m_error = GetLastError();
            return;
        }
        m_list = list;
        if (!UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                       count * sizeof(HANDLE), nullptr, nullptr)) {
            m_error = GetLastError();
            DeleteProcThreadAttributeList(m_list);
            m_list = nullptr;
        }
    }
    ~InheritList() {
        if (m_list) DeleteProcThreadAttributeList(m_list);
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return m_list; }
    // Why get() is null.
    DWORD error() const { return m_error; }

  private:
    std::unique_ptr<char[]> m_storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
    DWORD m_error = 0;
};

bool failed(ErrorCode& error) {
    error = GetLastError();
    return false;
}

}  // namespace

void close_raw(Handle::Raw raw) {
    CloseHandle(reinterpret_cast<HANDLE>(raw));
}

bool create_pipe(Handle& read_end, Handle& write_end, ErrorCode& error) {
    // Not inheritable from birth: another thread of the host that starts a
    // program with inheritance on would otherwise hand it our pipe ends, and a
    // helper that died would then never give us the end of its output.
    HANDLE read_raw = nullptr;
    HANDLE write_raw = nullptr;
    if (!CreatePipe(&read_raw, &write_raw, nullptr, 0)) return failed(error);
    read_end = own(read_raw);
    write_end = own(write_raw);
    return true;
}

bool make_non_inheritable(const Handle& handle, ErrorCode& error) {
    return SetHandleInformation(win(handle), HANDLE_FLAG_INHERIT, 0) != 0 || failed(error);
}

bool write_all(const Handle& handle, const char* data, std::size_t size, ErrorCode& error) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(win(handle), data, static_cast<DWORD>(size), &written, nullptr))
            return failed(error);
        data += written;
        size -= written;
    }
    return true;
}

long read_some(const Handle& handle, char* buffer, std::size_t capacity, ErrorCode& error) {
    DWORD got = 0;
    if (ReadFile(win(handle), buffer, static_cast<DWORD>(capacity), &got, nullptr))
        return static_cast<long>(got);
    const DWORD reason = GetLastError();
    if (reason == ERROR_MORE_DATA) return static_cast<long>(got);
    if (reason == ERROR_BROKEN_PIPE) return 0;
    error = reason;
    return -1;
}

std::size_t bytes_available(const Handle& handle) {
    // One query of the pipe's state costs half of a PeekNamedPipe under Wine,
    // where every exchange pays for it.
    IO_STATUS_BLOCK status{};
    FILE_PIPE_LOCAL_INFORMATION info{};
    if (NtQueryInformationFile(win(handle), &status, &info, sizeof(info),
                               FilePipeLocalInformation) >= 0)
        return info.ReadDataAvailable;
    DWORD available = 0;
    if (!PeekNamedPipe(win(handle), nullptr, 0, nullptr, &available, nullptr)) return 0;
    return available;
}

namespace {

// The module that holds this code, known by an address inside it: a host may
// hold two modules of the library's name, and asking by name may give the other.
HMODULE own_module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&own_module), &module);
    return module;
}

}  // namespace

std::string helper_executable() {
    std::unique_ptr<char[]> path(new (std::nothrow) char[kModulePathCapacity]);
    if (!path) return std::string();
    const HMODULE module = own_module();
    if (module == nullptr) return std::string();
    const DWORD length = GetModuleFileNameA(module, path.get(), kModulePathCapacity);
    if (length == 0 || length >= kModulePathCapacity) return std::string();
    const std::string folder =
        install_folder_from_module_path(std::string(path.get(), length), GetACP());
    return folder.empty() ? std::string() : folder + nrw::kHelperFile;
}

bool spawn_process(const std::string& executable, const std::vector<std::string>& arguments,
                   const Handle& stdin_read, const Handle& stdout_write, ProcessInfo& info,
                   ErrorCode& error) {
    HANDLE inherited[2] = {win(stdin_read), win(stdout_write)};
    InheritList inherit(inherited, 2);
    if (!inherit.get()) {
        error = inherit.error();
        return false;
    }

    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inherited[0];
    startup.StartupInfo.hStdOutput = inherited[1];
    startup.StartupInfo.hStdError = inherited[1];
    startup.lpAttributeList = inherit.get();

    std::string line = quoted_command_line(executable, arguments);
    PROCESS_INFORMATION created{};
    // The helper's two ends are inheritable for the start alone. Windows has no
    // way to close the window completely: a program another thread starts with
    // inheritance on during this CreateProcess may still get them.
    for (const HANDLE end : inherited)
        SetHandleInformation(end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    const bool started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                       nullptr, nullptr, &startup.StartupInfo, &created) != 0;
    const DWORD start_error = GetLastError();
    for (const HANDLE end : inherited) SetHandleInformation(end, HANDLE_FLAG_INHERIT, 0);
    if (!started) {
        error = start_error;
        return false;
    }
    info.process = own(created.hProcess);
    info.thread = own(created.hThread);
    info.process_id = static_cast<int>(created.dwProcessId);
    info.thread_id = static_cast<int>(created.dwThreadId);
    return true;
}

HelperProbe probe_helper(const ProcessInfo& info, const Handle& response_read) {
    // A zero-time wait, not the exit code: a helper that exits with 259 has ended
    // all the same.
    if (!info.process.valid() || WaitForSingleObject(win(info.process), 0) != WAIT_TIMEOUT)
        return {true, false};
    return {false, bytes_available(response_read) > 0};
}

void terminate(ProcessInfo& info) {
    if (!info.process.valid()) return;
    TerminateProcess(win(info.process), 0);
    WaitForSingleObject(win(info.process), kTerminateWaitMs);
}

bool environment_value(const char* name, std::string& value) {
    // The process block, which the helper inherits too, not the C runtime's copy.
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return false;
    std::string buffer(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, &buffer[0], size);
    if (length == 0 || length >= size) return false;
    buffer.resize(length);
    value = buffer;
    return true;
}

void utc_time_of_day(int& hour, int& minute, int& second) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    hour = now.wHour;
    minute = now.wMinute;
    second = now.wSecond;
}

char path_separator() {
    return '\\';
}

namespace {

// The token's user, or the owner it gives what it creates (an elevated
// administrator's files belong to the Administrators group).
bool owned_by_this_user(PSID owner) {
    HANDLE token = nullptr;
    if (owner == nullptr || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool own = false;
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        alignas(TOKEN_USER) unsigned char buffer[256];
        DWORD size = 0;
        if (!GetTokenInformation(token, kind, buffer, sizeof(buffer), &size)) continue;
        // Both structures start with the SID's address.
        own = own || EqualSid(*reinterpret_cast<PSID*>(buffer), owner);
    }
    CloseHandle(token);
    return own;
}

// A plain disk file with this one name, owned by this user: never what a link
// leads to, a second name of someone else's file, or a device.
bool own_plain_file(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1)
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool own = owned_by_this_user(owner);
    LocalFree(descriptor);
    return own;
}

}  // namespace

std::FILE* open_for_appending(const std::string& path) {
    // Append-only access (no FILE_WRITE_DATA): Windows places each write at the
    // end of the file as one piece, also against other processes. Read access
    // is there for the lock below, which needs read or write access. A final
    // link is opened as itself, and then refused.
    HANDLE handle =
        CreateFileA(path.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | READ_CONTROL | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!own_plain_file(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "a");
    if (file == nullptr) _close(descriptor);
    return file;
}

namespace {

// Wine places an append at the file size it has just read, so two processes
// can write at the same offset and one line overwrites the other. A lock on
// one byte far past any trace makes the processes take turns; Windows needs
// none, and a lock that someone holds for too long is given up on, so tracing
// never hangs the host.
class AppendTurn {
  public:
    explicit AppendTurn(HANDLE file) : m_file(file) {
        const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
        for (;;) {
            OVERLAPPED at = far_offset();
            m_held = LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                                0, &at) != 0;
            if (m_held || GetTickCount64() >= deadline) break;
            Sleep(1);
        }
    }
    ~AppendTurn() {
        OVERLAPPED at = far_offset();
        if (m_held) UnlockFileEx(m_file, 0, 1, 0, &at);
    }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;

  private:
    static constexpr ULONGLONG kPatienceMs = 1000;
    static OVERLAPPED far_offset() {
        OVERLAPPED at{};
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    HANDLE m_file;
    bool m_held = false;
};

}  // namespace

bool append_whole(std::FILE* file, const std::string& line) {
    // The line ends of text mode, made here so that the line stays one write.
    std::string text;
    text.reserve(line.size() + 8);
    for (const char c : line) {
        if (c == '\n') text += '\r';
        text += c;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    const AppendTurn turn(handle);
    DWORD written = 0;
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace nrwapis::platform
