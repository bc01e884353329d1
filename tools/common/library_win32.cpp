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
