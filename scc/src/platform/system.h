// Operating-system services of the plug-in: binding the client library, top-level
// windows and the one message box (files.h: the files). One back end per system, each in its own
// file; the provider's rules stay portable.
#pragma once

#include <cstdint>

#include "files.h"
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

// A modal box with one OK button, owned by `owner` (none when null).
void show_message_box(HWND owner, const wchar_t* text, const wchar_t* caption);

}  // namespace nrwscc::platform
