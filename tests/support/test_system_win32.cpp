#include <windows.h>

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

void sleep_ms(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

std::uintptr_t make_inheritable_canary() {
    // Handle values are small numbers that the child's own handles reuse; pushing
    // the canary far above them keeps a chance hit from passing for a leak.
    for (int i = 0; i < 512; ++i) CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    return reinterpret_cast<std::uintptr_t>(CreateEventA(&attributes, TRUE, FALSE, nullptr));
}

void kill_process(int pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

}  // namespace testsys

namespace testsys {

std::string own_executable() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return std::string(path, length);
}

std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args) {
    std::string line = "\"" + program + "\"";
    for (const auto& arg : args) line += " \"" + arg + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return 0;
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

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace testsys {

namespace {

// The text as the window holds it, without sending it a message: its thread may
// be the one that waits for the watcher.
std::string text_of(HWND window) {
    wchar_t wide[512] = {};
    const int length = InternalGetWindowText(window, wide, 512);
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(wide[i]);
    return text;
}

BOOL CALLBACK collect_static_text(HWND child, LPARAM data) {
    char class_name[16] = {};
    GetClassNameA(child, class_name, sizeof(class_name));
    const std::string text = text_of(child);
    auto* longest = reinterpret_cast<std::string*>(data);
    if (lstrcmpiA(class_name, "Static") == 0 && text.size() > longest->size()) *longest = text;
    return TRUE;
}

}  // namespace

struct MessageBoxWatcher::State {
    std::string caption;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<ShownBox> boxes;
    std::set<HWND> seen;
    std::thread watcher;

    static BOOL CALLBACK visit(HWND window, LPARAM data) {
        auto* state = reinterpret_cast<State*>(data);
        char class_name[16] = {};
        DWORD owner_process = 0;
        GetWindowThreadProcessId(window, &owner_process);
        GetClassNameA(window, class_name, sizeof(class_name));
        if (owner_process != GetCurrentProcessId() || std::string(class_name) != "#32770" ||
            state->caption != text_of(window) || !IsWindowVisible(window))
            return TRUE;
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->seen.insert(window).second) {
            std::string text;
            EnumChildWindows(window, collect_static_text, reinterpret_cast<LPARAM>(&text));
            state->boxes.push_back(
                {reinterpret_cast<std::uintptr_t>(GetWindow(window, GW_OWNER)), text});
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    void run() {
        while (!stop) {
            EnumWindows(visit, reinterpret_cast<LPARAM>(this));
            Sleep(10);
        }
    }
};

MessageBoxWatcher::MessageBoxWatcher(const std::string& caption) : m_state(new State) {
    m_state->caption = caption;
    m_state->watcher = std::thread([state = m_state.get()] { state->run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    finish();
}

std::vector<ShownBox> MessageBoxWatcher::finish() {
    m_state->stop = true;
    if (m_state->watcher.joinable()) m_state->watcher.join();
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->boxes;
}

}  // namespace testsys
