#include <windows.h>

#include "plugin_loader.h"

namespace host {

void* open_library(const std::string& path, LoadStyle style, std::string& error) {
    HMODULE library = style == LoadStyle::plain
                          ? LoadLibraryA(path.c_str())
                          : LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* find_symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace host

#include <cstdio>
#include <string>
#include <thread>

namespace host {

namespace {

std::string text_of(HWND window) {
    wchar_t wide[512] = {};
    const int length = InternalGetWindowText(window, wide, 512);
    return std::string(wide, wide + length);
}

BOOL CALLBACK longest_static_text(HWND child, LPARAM data) {
    char class_name[16] = {};
    GetClassNameA(child, class_name, sizeof(class_name));
    auto* longest = reinterpret_cast<std::string*>(data);
    const std::string text = text_of(child);
    if (lstrcmpiA(class_name, "Static") == 0 && text.size() > longest->size()) *longest = text;
    return TRUE;
}

BOOL CALLBACK answer_box(HWND window, LPARAM data) {
    const auto* caption = reinterpret_cast<const std::string*>(data);
    char class_name[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, class_name, sizeof(class_name));
    if (process != GetCurrentProcessId() || std::string(class_name) != "#32770" ||
        text_of(window) != *caption || !IsWindowVisible(window))
        return TRUE;
    std::string text;
    EnumChildWindows(window, longest_static_text, reinterpret_cast<LPARAM>(&text));
    std::printf("  [message box \"%s\"] %s -> OK\n", caption->c_str(), text.c_str());
    std::fflush(stdout);
    // Answered by the window's own thread; the box is gone before the next look.
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

void answer_message_boxes(const char* caption) {
    std::thread([wanted = std::string(caption)] {
        for (;;) {
            EnumWindows(answer_box, reinterpret_cast<LPARAM>(&wanted));
            Sleep(20);
        }
    }).detach();
}

}  // namespace host
