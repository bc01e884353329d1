#include <windows.h>

#include "plugin_loader.h"

namespace host {

std::string system_error_text(unsigned long code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = "error " + std::to_string(code);
    if (length > 0 && text != nullptr) {
        std::string said(text, length);
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' '))
            said.pop_back();
        if (!said.empty()) message += ": " + said;
    }
    if (text != nullptr) LocalFree(text);
    return message;
}

std::string own_program_path() {
    // Read again with room to spare until the whole path fits: no fixed limit.
    for (DWORD capacity = MAX_PATH;; capacity *= 2) {
        std::string path(capacity, '\0');
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], capacity);
        if (length == 0) return std::string();
        if (length < capacity) return path.substr(0, length);
        if (capacity >= 32768) return std::string();
    }
}

void* open_library(const std::string& path, LoadStyle style, std::string& error) {
    HMODULE library = style == LoadStyle::plain
                          ? LoadLibraryA(path.c_str())
                          : LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) error = system_error_text(GetLastError());
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

namespace {

// The registry view that hosts of this program's bitness read.
constexpr REGSAM kView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

bool read_machine_string(const std::string& key, const char* name, std::string& value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | kView, &opened) !=
        ERROR_SUCCESS)
        return false;
    char buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof(buffer) - 1, type = 0;
    const bool found = RegQueryValueExA(opened, name, nullptr, &type,
                                        reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(opened);
    if (found) value.assign(buffer);
    return found;
}

// The providers listed for hosts of this program's bitness, by display name.
std::string listed_providers() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\SourceCodeControlProvider\\InstalledSCCProviders", 0,
                      KEY_READ | kView, &opened) != ERROR_SUCCESS)
        return std::string();
    std::string names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names += (names.empty() ? "" : ", ") + std::string(name, length);
    }
    RegCloseKey(opened);
    return names;
}

}  // namespace

bool default_provider(std::string& path, std::string& error) {
    const std::string view = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    std::string key;
    if (!read_machine_string("SOFTWARE\\SourceCodeControlProvider", "ProviderRegKey", key)) {
        const std::string listed = listed_providers();
        error = listed.empty()
                    ? "nothing is registered in the " + view + " registry view, which " + view +
                          " programs read (see nrwregister install --default)"
                    : "no default provider: " + listed + " registered in the " + view +
                          " registry view, but not as the default provider (give --plugin, or "
                          "see nrwregister install --default)";
        return false;
    }
    if (!read_machine_string(key, "SCCServerPath", path)) {
        error = "the default provider HKLM\\" + key + " names no plug-in";
        return false;
    }
    return true;
}

}  // namespace host
