// Operating-system services of the client library: pipes, the helper process and
// a few facts about the running process. One back end per system, each in its own
// file; everything else in the library is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nrwapis::platform {

// Owns one OS handle (a Windows HANDLE or a Linux descriptor) and closes it once.
class Handle {
  public:
    using Raw = std::intptr_t;

    Handle() = default;
    explicit Handle(Raw raw) : m_raw(raw), m_set(true) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : m_raw(other.m_raw), m_set(other.m_set) {
        other.m_set = false;
    }
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool valid() const { return m_set; }
    Raw get() const { return m_raw; }
    void reset();

  private:
    Raw m_raw = 0;
    bool m_set = false;
};

// A started helper process. On Linux `process` is a process descriptor and
// `thread` stays empty.
struct ProcessInfo {
    Handle process;
    Handle thread;
    int process_id = 0;
    int thread_id = 0;
};

// The system's number for what went wrong (GetLastError, errno), given by every
// service below that can fail, where it happens; 0 for none.
using ErrorCode = std::uint32_t;

// Both ends are created so that no child process inherits them; spawn_process
// hands the helper its two for its start alone.
bool create_pipe(Handle& read_end, Handle& write_end, ErrorCode& error);
bool make_non_inheritable(const Handle& handle, ErrorCode& error);

bool write_all(const Handle& handle, const char* data, std::size_t size, ErrorCode& error);
// Blocks until bytes arrive: the count read, 0 at end of file, -1 on error.
long read_some(const Handle& handle, char* buffer, std::size_t capacity, ErrorCode& error);
// What can be read at once without blocking; 0 on error or at end of file.
std::size_t bytes_available(const Handle& handle);

// Full path of the helper program next to this library's installation, or an
// empty string when the library cannot find its own module.
std::string helper_executable();
// Starts `executable` with `arguments`, the given standard streams (standard error
// goes where standard output goes), the caller's environment and working folder.
// No other handle of the caller reaches the child.
bool spawn_process(const std::string& executable, const std::vector<std::string>& arguments,
                   const Handle& stdin_read, const Handle& stdout_write, ProcessInfo& info,
                   ErrorCode& error);
// What a request must know before it goes out, asked without waiting and in as
// few system calls as the system allows: whether the helper has ended (or can no
// longer answer), and whether bytes of an earlier answer wait unread.
struct HelperProbe {
    bool ended;
    bool bytes_waiting;
};
HelperProbe probe_helper(const ProcessInfo& info, const Handle& response_read);
// Ends the process and waits briefly for it to be gone.
void terminate(ProcessInfo& info);

void close_raw(Handle::Raw raw);

// The value of an environment variable of this process; false when it is not set.
bool environment_value(const char* name, std::string& value);
// The current UTC time of day.
void utc_time_of_day(int& hour, int& minute, int& second);
// The separator that joins a folder and a file name.
char path_separator();

// The trace file, opened for appending. Each line goes to it in one write of the
// whole line, so that processes sharing the file never split each other's lines
// however long they are; in text mode where the system has one.
std::FILE* open_for_appending(const std::string& path);
bool append_whole(std::FILE* file, const std::string& line);

}  // namespace nrwapis::platform
