#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

#include "plugin_loader.h"

namespace host {

std::string system_error_text(unsigned long code) {
    return "error " + std::to_string(code) + ": " + std::strerror(static_cast<int>(code));
}

unsigned ansi_code_page() {
    return 0;
}

std::string own_program_path() {
    for (std::size_t capacity = 256;; capacity *= 2) {
        std::string path(capacity, '\0');
        const ssize_t length = ::readlink("/proc/self/exe", &path[0], capacity);
        if (length <= 0) return std::string();
        if (static_cast<std::size_t>(length) < capacity)
            return path.substr(0, static_cast<std::size_t>(length));
    }
}

void* open_library(const std::string& path, LoadStyle, std::string& error) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = ::dlerror();
    return library;
}

void* find_symbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

bool default_provider(std::string&, std::string& error) {
    error = "this system keeps no registry of providers";
    return false;
}

}  // namespace host
