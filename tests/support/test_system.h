// Operating-system services the tests need, one back end per system.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testsys {

void set_env(const std::string& name, const std::string& value);
void unset_env(const std::string& name);
std::string make_temp_dir();
void remove_tree(const std::string& path);
bool process_exists(int pid);
void sleep_ms(int milliseconds);

// Waits for what another process or thread brings about, with a deadline far
// beyond what it takes on a busy machine; whether it came.
template <class Condition>
bool wait_until(Condition condition, int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        sleep_ms(10);
    }
    return true;
}
// Whether a child started with inheritance on would get the handle (descriptor).
bool is_inheritable(std::intptr_t handle);
// An inheritable handle (or descriptor) that no child should be given: a pipe
// holding the bytes "canary", which a child can recognise by content. Its value.
std::uintptr_t make_inheritable_canary();
// Ends a process at once (used to play the user who closes the helper).
void kill_process(int pid);
// A named pipe (FIFO) at the path, where the system has them in its folders.
bool make_fifo(const std::string& path);
// Hands the file to another account; false where this process cannot.
bool give_to_another_user(const std::string& path);
// Whether names such as NUL and CON name devices in every folder.
bool has_device_names();

// Holds a file as a virus scanner or sync client does: open, shared with no
// one, until released. Where the system has no sharing modes it holds it
// through the plug-in's file services' test seam (NRWSCC_HELD_DIR, which
// `hold_folder` sets up).
class FileHold {
  public:
    explicit FileHold(const std::string& path);
    ~FileHold() { release(); }
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    bool holds() const { return m_holds; }
    void release();

  private:
    std::string m_path;
    std::intptr_t m_handle = -1;
    bool m_holds = false;
};
// Where holds are kept where the system has no sharing modes.
void hold_folder(const std::string& folder);

// Narrow names as the system's ANSI functions read them (std::filesystem reads
// narrow names as UTF-8 on Windows, which a double-byte code page is not).
unsigned ansi_code_page();  // 0 where every byte is a character
bool make_folder(const std::string& path);
std::vector<std::string> folder_names(const std::string& folder);  // sorted

// The running test program's own path, to start copies of it.
std::string own_executable();
// Starts a program; returns an opaque process number, or 0 on failure. With an
// output file, what it prints on either stream goes there.
std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args,
                            const std::string& output_file = "");
// Waits for a program from start_program; its exit code, or -1.
int wait_program(std::intptr_t process);

}  // namespace testsys
