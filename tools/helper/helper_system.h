// What the stand-in helper needs from the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace helper {

long read_input(char* buffer, std::size_t capacity);    // 0 at end of file, -1 on error
bool write_output(const char* data, std::size_t size);  // one write call
void sleep_ms(int milliseconds);
void close_input();
int process_id();
// The command line as the system handed it over (Windows keeps the quotes).
std::string raw_command_line(int argc, char** argv);
// Shows a visible top-level window that lives as long as the process.
void show_window(const std::string& title);
// Hides the window shown before, if any.
void hide_window();
// Whether the handle (or descriptor) value reads as the parent's canary pipe,
// which holds bytes starting with "canary": the object, not the number, tells.
bool holds_canary(std::uintptr_t value);
std::string temp_folder();
// The code page narrow paths are spelt in (path_text.h), and a move of a file by
// such a path: std::filesystem would read the path as UTF-8 on Windows.
unsigned ansi_code_page();
bool move_file(const std::string& from, const std::string& to);  // replacing
bool file_exists(const std::string& path);
[[noreturn]] void exit_now(int code);

}  // namespace helper
