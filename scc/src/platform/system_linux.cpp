// Linux services of the plug-in. There is no window system: searches find
// nothing, window calls do nothing and the message box text goes to standard
// error.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "system.h"

namespace nrwscc::platform {

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

void show_message_box(HWND, const wchar_t* text, const wchar_t* caption) {
    std::string line;
    for (const wchar_t* part : {caption, L": ", text, L"\n"})
        for (; *part != L'\0'; ++part) line += static_cast<char>(*part);
    std::fputs(line.c_str(), stderr);
}

}  // namespace nrwscc::platform
