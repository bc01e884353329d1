#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "test_system.h"

namespace testsys {

void set_env(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}
void unset_env(const std::string& name) {
    SetEnvironmentVariableA(name.c_str(), nullptr);
}

std::string make_temp_dir() {
    const auto base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const auto candidate = base / ("nrwtest-" + std::to_string(GetCurrentProcessId()) + "-" +
                                       std::to_string(GetTickCount() + attempt));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) return candidate.string();
    }
    return std::string();
}

void remove_tree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

bool process_exists(int pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return false;
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

FileHold::FileHold(const std::string& path) : m_path(path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    m_holds = file != INVALID_HANDLE_VALUE;
    m_handle = reinterpret_cast<std::intptr_t>(file);
}

void FileHold::release() {
    if (m_holds) CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_holds = false;
}

// Sharing modes hold files here: nothing to set up.
void hold_folder(const std::string&) {}

unsigned ansi_code_page() {
    return GetACP();
}

bool make_folder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool make_fifo(const std::string&) {
    return false;
}

// Taking ownership for another account needs a privilege the tests do not ask for.
bool give_to_another_user(const std::string&) {
    return false;
}

bool has_device_names() {
    return true;
}

void sleep_ms(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool is_inheritable(std::intptr_t handle) {
    DWORD flags = 0;
    return GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags) &&
           (flags & HANDLE_FLAG_INHERIT) != 0;
}

std::uintptr_t make_inheritable_canary() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &attributes, 0)) return 0;
    SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
    DWORD written = 0;
    WriteFile(write_end, "canary", 6, &written, nullptr);
    return reinterpret_cast<std::uintptr_t>(read_end);
}

void kill_process(int pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

std::string own_executable() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return std::string(path, length);
}

std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args,
                            const std::string& output_file) {
    std::string line = "\"" + program + "\"";
    for (const auto& arg : args) line += " \"" + arg + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!output_file.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        output = CreateFileA(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, !output_file.empty(),
                                        0, nullptr, nullptr, &startup, &info);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) return 0;
    CloseHandle(info.hThread);
    return reinterpret_cast<std::intptr_t>(info.hProcess);
}

int wait_program(std::intptr_t process) {
    HANDLE handle = reinterpret_cast<HANDLE>(process);
    DWORD code = 0;
    const bool ok =
        WaitForSingleObject(handle, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(handle, &code);
    CloseHandle(handle);
    return ok ? static_cast<int>(code) : -1;
}

}  // namespace testsys
