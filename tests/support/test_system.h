// Operating-system services the tests need, one back end per system.
#pragma once

#include <cstdint>
#include <string>

namespace testsys {

void set_env(const std::string& name, const std::string& value);
void unset_env(const std::string& name);
std::string make_temp_dir();
void remove_tree(const std::string& path);
bool process_exists(int pid);
void sleep_ms(int milliseconds);
// An inheritable handle (or descriptor) that no child should be given; its value.
std::uintptr_t make_inheritable_canary();
// Ends a process at once (used to play the user who closes the helper).
void kill_process(int pid);

}  // namespace testsys

#include <vector>

namespace testsys {

// The running test program's own path, to start copies of it.
std::string own_executable();
// Starts a program; returns an opaque process number, or 0 on failure.
std::intptr_t start_program(const std::string& program, const std::vector<std::string>& args);
// Waits for a program from start_program; its exit code, or -1.
int wait_program(std::intptr_t process);

}  // namespace testsys

#include <memory>

namespace testsys {

// A message box the code under test showed, as the user saw it.
struct ShownBox {
    std::uintptr_t owner;
    std::string text;
};

// Plays the user who presses OK on every message box of this process with the
// given caption. Without a window system the box text goes to standard error,
// which is read instead.
class MessageBoxWatcher {
  public:
    explicit MessageBoxWatcher(const std::string& caption);
    ~MessageBoxWatcher();
    // Stops watching; the boxes shown so far, in order.
    std::vector<ShownBox> finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace testsys
