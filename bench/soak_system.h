// What the soak needs from the operating system, one back end per system.
#pragma once

#include <cstddef>
#include <string>

namespace soak {

void set_env(const char* name, const char* value);
// Ends a process at once and does not wait for it, as a user or a crash would.
void kill_now(int pid);
// Descriptors (POSIX) or handles (Windows) this process holds.
long open_handles();
// Live (or not yet collected) child processes of this process.
long child_processes();
std::size_t resident_bytes();
void sleep_us(long microseconds);

}  // namespace soak
