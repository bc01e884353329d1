#include <windows.h>

#include <atomic>
#include <thread>

#include "helper_system.h"

namespace helper {

long read_input(char* buffer, std::size_t capacity) {
    DWORD got = 0;
    if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(capacity), &got,
                 nullptr))
        return static_cast<long>(got);
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool write_output(const char* data, std::size_t size) {
    DWORD written = 0;
    return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data, static_cast<DWORD>(size), &written,
                     nullptr) &&
           written == size;
}

void sleep_ms(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

void close_input() {
    CloseHandle(GetStdHandle(STD_INPUT_HANDLE));
}

int process_id() {
    return static_cast<int>(GetCurrentProcessId());
}

std::string raw_command_line(int, char**) {
    return GetCommandLineA();
}

namespace {

std::atomic<HWND> g_window{nullptr};

// Each activation of the window is noted in the log, so that a test can see that
// the window was brought forward even while it is hidden.
void note_activation() {
    char folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("NRWH_LOG_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const std::string path =
        std::string(folder) + "\\" + std::to_string(GetCurrentProcessId()) + ".activations";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, "activated\n", 10, &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE) note_activation();
    return DefWindowProcA(window, message, wparam, lparam);
}

void run_window(std::string title) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "NrwHelperWindow";
    RegisterClassA(&window_class);
    HWND window =
        CreateWindowExA(0, window_class.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10,
                        300, 200, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) return;
    // Shown without taking the foreground: it is the host's to hand over.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    g_window = window;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

void show_window(const std::string& title) {
    // A thread of its own pumps the window's messages while the main thread waits
    // for requests.
    std::thread(run_window, title).detach();
    Sleep(200);
}

void hide_window() {
    if (g_window != nullptr) ShowWindow(g_window, SW_HIDE);
}

bool holds_canary(std::uintptr_t value) {
    char bytes[6] = {};
    DWORD got = 0, available = 0;
    return PeekNamedPipe(reinterpret_cast<HANDLE>(value), bytes, sizeof(bytes), &got, &available,
                         nullptr) &&
           got == sizeof(bytes) && std::string(bytes, got) == "canary";
}

std::string temp_folder() {
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(path), path);
    if (length == 0 || length > MAX_PATH) return ".";
    std::string folder(path, length);
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

void exit_now(int code) {
    ExitProcess(static_cast<UINT>(code));
}

unsigned ansi_code_page() {
    return GetACP();
}

bool move_file(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool file_exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace helper
