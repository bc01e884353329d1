#include <windows.h>

#include "plugin_loader.h"
#include "provider_keys.h"
#include "registry.h"

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

unsigned ansi_code_page() {
    return GetACP();
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

bool default_provider(std::string& path, std::string& error) {
    using namespace nrwreg;
    const std::string view = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    const auto key = reg::read_string(kSccKey, kDefault, reg::kOwnView);
    if (!key) {
        std::string listed;
        for (const auto& entry : reg::read_strings(kInstalledKey, reg::kOwnView))
            listed += (listed.empty() ? "" : ", ") + entry.first;
        error = listed.empty()
                    ? "nothing is registered in the " + view + " registry view, which " + view +
                          " programs read (see nrwregister install --default)"
                    : "no default provider: " + listed + " registered in the " + view +
                          " registry view, but not as the default provider (give --plugin, or "
                          "see nrwregister install --default)";
        return false;
    }
    const auto plugin = reg::read_string(*key, kServerPath, reg::kOwnView);
    if (!plugin) {
        error = "the default provider HKLM\\" + *key + " names no plug-in";
        return false;
    }
    path = *plugin;
    return true;
}

}  // namespace host
