#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "nrw_identity.h"
#include "nrwapis_tracer.h"
#include "platform/platform.h"

bool NRWAPIS_Tracer::first_time = true;
bool NRWAPIS_Tracer::trace_on = false;
bool NRWAPIS_Tracer::file_opened = false;
FILE* NRWAPIS_Tracer::m_fd = nullptr;
char* NRWAPIS_Tracer::trace_dir = nullptr;

namespace {

constexpr std::size_t kPathCapacity = 256;  // the path and its terminating zero

// Guards the file and the flags: the plug-in is called from several host threads,
// and a line must reach the file whole.
std::mutex& trace_lock() {
    static std::mutex lock;
    return lock;
}

// The flags are read without the lock on the hot path; atomic access keeps that sound.
bool load(const bool& flag) {
    return __atomic_load_n(&flag, __ATOMIC_ACQUIRE);
}
void store(bool& flag, bool value) {
    __atomic_store_n(&flag, value, __ATOMIC_RELEASE);
}

bool tracing() {
    return load(NRWAPIS_Tracer::trace_on) && load(NRWAPIS_Tracer::file_opened);
}

std::string line_prefix(const char* module_name, const char* class_name, const char* method) {
    std::string line;
    line.reserve(96);
    line += module_name;
    line += "::";
    line += class_name;
    line += "::";
    line += method;
    line += "::";
    return line;
}

// Every line, scope lines too, goes out whole and at once.
void write_line(const std::string& line) {
    std::lock_guard<std::mutex> guard(trace_lock());
    if (!tracing() || NRWAPIS_Tracer::m_fd == nullptr) return;
    nrwapis::platform::append_whole(NRWAPIS_Tracer::m_fd, line);
}

void write_scope_line(const char* module_name, const char* class_name, const char* method,
                      const char* what) {
    try {
        write_line(line_prefix(module_name, class_name, method) + what);
    } catch (...) {
    }
}

std::string trace_file_path(const char* folder) {
    int hour = 0, minute = 0, second = 0;
    nrwapis::platform::utc_time_of_day(hour, minute, second);
    char stamp[kPathCapacity];
    std::snprintf(stamp, sizeof(stamp), "d%02d%02d%02d", hour, minute, second);
    std::string path = folder;
    path += nrwapis::platform::path_separator();
    path += "nrwapis_log_";
    path += stamp;
    path += ".txt";
    return path;
}

// Adds the formatted text and the line's end. Never throws, so that the caller
// ends its argument list on every path; false when the format or memory fails.
bool append_formatted(std::string& line, const char* format, va_list args) noexcept {
    try {
        va_list measure;
        va_copy(measure, args);
        const int length = std::vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        if (length < 0) return false;
        const std::size_t prefix = line.size();
        line.resize(prefix + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&line[prefix], static_cast<std::size_t>(length) + 1, format, args);
        line.back() = '\n';
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

NRWAPIS_Tracer::NRWAPIS_Tracer(const char* module_name, const char* class_name,
                               const char* method_name)
    : m_module(module_name), m_class(class_name), m_method(method_name) {
    if (load(first_time)) {
        // The environment is consulted once per process, by whichever tracer is first.
        try {
            std::lock_guard<std::mutex> guard(trace_lock());
            if (first_time) {
                std::string folder;
                // An empty value would put the file at the root of the drive.
                if (nrwapis::platform::environment_value(nrw::kTraceVariable, folder) &&
                    !folder.empty()) {
                    trace_dir = new (std::nothrow) char[folder.size() + 1];
                    if (trace_dir != nullptr) {
                        std::memcpy(trace_dir, folder.c_str(), folder.size() + 1);
                        store(trace_on, true);
                        open_trace_file();
                    }
                }
                store(first_time, false);
            }
        } catch (...) {
            store(first_time, false);
        }
    }
    if (tracing()) write_scope_line(m_module, m_class, m_method, "Entering\n");
}

NRWAPIS_Tracer::~NRWAPIS_Tracer() {
    if (tracing()) write_scope_line(m_module, m_class, m_method, "Exiting\n");
}

NRWAPIS_Tracer& NRWAPIS_Tracer::operator=(const NRWAPIS_Tracer& other) {
    m_module = other.m_module;
    m_class = other.m_class;
    m_method = other.m_method;
    return *this;
}

void NRWAPIS_Tracer::writeTrace(const char* format, ...) {
    if (!tracing() || format == nullptr) return;
    std::string line;
    try {
        line = line_prefix(m_module, m_class, m_method);
    } catch (...) {
        return;
    }
    va_list args;
    va_start(args, format);
    const bool formatted = append_formatted(line, format, args);
    va_end(args);
    if (!formatted) return;
    try {
        write_line(line);
    } catch (...) {
    }
}

void NRWAPIS_Tracer::close_file() {
    std::lock_guard<std::mutex> guard(trace_lock());
    if (m_fd == nullptr) return;
    std::fclose(m_fd);
    m_fd = nullptr;
    store(file_opened, false);
    store(trace_on, false);
}

// Called with the lock held, from the first construction only.
void NRWAPIS_Tracer::open_trace_file() {
    if (!first_time || m_fd != nullptr) return;
    const std::string path = trace_file_path(trace_dir);
    if (path.size() >= kPathCapacity) {
        // Too long for the file name buffer: leave tracing off rather than cut it.
        store(trace_on, false);
        return;
    }
    m_fd = nrwapis::platform::open_for_appending(path);
    if (m_fd != nullptr)
        store(file_opened, true);
    else
        store(trace_on, false);
}
