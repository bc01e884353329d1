// Operating-system services of the plug-in: binding the client library, top-level
// windows, files and the one message box. One back end per system, each in its own
// file; the provider's rules stay portable.
#pragma once

#include <cstdint>

#include "scc_api.h"

namespace nrwscc::platform {

// Loads the client library from the plug-in's own folder and checks that it has
// everything the plug-in calls. False means no call may reach it.
bool bind_client_library();

// Calls `visit` for each top-level window in Z order, topmost first, until it
// returns false. Without a window system there are none.
using WindowVisitor = bool (*)(HWND window, std::uint32_t* process_id);
void enum_windows(WindowVisitor visit, std::uint32_t* process_id);
std::uint32_t window_process_id(HWND window);
bool is_window_visible(HWND window);
std::uint32_t current_process_id();
void allow_set_foreground(std::uint32_t process_id);
void set_foreground(HWND window);
void set_window_pos(HWND window, HWND insert_after, std::uint32_t flags);

// File services report failures with the system's error numbers.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kAlreadyExists = 183;

// The error of asking for the file's attributes; 0 when they could be read.
std::uint32_t attributes_error(const char* path);
// Clears read-only and every other attribute.
bool set_normal_attributes(const char* path, std::uint32_t& error);
// Moves a file to a name that must not exist yet; a folder is never moved.
bool move_file_no_replace(const char* from, const char* to, std::uint32_t& error);
// Moves a file over another one, or to a free name.
bool replace_file(const char* from, const char* to, std::uint32_t& error);
bool delete_file(const char* path, std::uint32_t& error);
bool is_folder(const char* path);

// What a path names. `other` is anything no file operation may touch: a pipe,
// a device, or a name the system keeps for a device (CON, NUL, COM1 ...).
enum class PathKind { nothing, file, folder, other };
PathKind path_kind(const char* path);
// Whether two paths name one file, as a case-only rename does where names
// ignore case.
bool same_file(const char* first, const char* second);
// Copies a file, attributes included, to a name that must not exist yet.
bool copy_file_no_replace(const char* from, const char* to, std::uint32_t& error);
// The file's attributes (the read-only bit among them), to be put back later.
bool read_attributes(const char* path, std::uint32_t& attributes);
bool write_attributes(const char* path, std::uint32_t attributes);

// A modal box with one OK button, owned by `owner` (none when null).
void show_message_box(HWND owner, const wchar_t* text, const wchar_t* caption);

}  // namespace nrwscc::platform
