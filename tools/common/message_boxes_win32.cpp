#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "message_boxes.h"

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

struct BoxSearch {
    std::string caption;
    std::vector<ShownBox> found;
};

BOOL CALLBACK collect_box(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    char class_name[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, class_name, sizeof(class_name));
    if (process != GetCurrentProcessId() || std::string(class_name) != "#32770" ||
        text_of(window) != search->caption || !IsWindowVisible(window))
        return TRUE;
    std::string text;
    EnumChildWindows(window, longest_static_text, reinterpret_cast<LPARAM>(&text));
    search->found.push_back({reinterpret_cast<std::uintptr_t>(window),
                             reinterpret_cast<std::uintptr_t>(GetWindow(window, GW_OWNER)), text});
    return TRUE;
}

}  // namespace

std::vector<ShownBox> message_boxes(const std::string& caption) {
    BoxSearch search{caption, {}};
    EnumWindows(collect_box, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void press_ok(const ShownBox& box) {
    // Posted: the box's thread may be the one waiting for the caller.
    PostMessageA(reinterpret_cast<HWND>(box.window), WM_COMMAND, IDOK, 0);
}

void answer_message_boxes(const char* caption) {
    std::thread([wanted = std::string(caption)] {
        std::uintptr_t answered = 0;
        for (;;) {
            for (const ShownBox& box : message_boxes(wanted)) {
                if (box.window == answered) continue;
                std::printf("  [message box \"%s\"] %s -> OK\n", wanted.c_str(), box.text.c_str());
                answered = box.window;
                press_ok(box);
            }
            Sleep(20);
        }
    }).detach();
}

}  // namespace host
