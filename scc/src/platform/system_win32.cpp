// Win32 services of the plug-in.
#include <windows.h>
// After windows.h, which it builds on.
#include <delayimp.h>

#include <cstring>

#include "nrw_identity.h"
#include "path_text.h"
#include "system.h"

// The delay-load descriptor of the client library, named after its import
// library (by the build, which makes that library).
extern "C" const ImgDelayDescr client_library_descriptor __asm__(NRWAPIS_DELAY_DESCRIPTOR);

namespace nrwscc::platform {

namespace {

HMODULE g_clientLibrary = nullptr;

HMODULE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&this_module), &module);
    return module;
}

// The client library beside the plug-in, by full path only: the default search
// order could pick up a copy planted in the host's folder or on PATH.
HMODULE load_beside_plugin() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(this_module(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string folder =
        nrwapis::path_text::folder_of(std::string(path, length), GetACP(), "\\");
    if (folder.empty()) return nullptr;
    return LoadLibraryA((folder + nrw::kClientLibraryFile).c_str());
}

template <class T>
const T* at_rva(HMODULE base, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(base) + rva);
}

// Every function bound late must be there, or its first call would raise an
// exception that no C++ handler in the plug-in or the host can catch.
bool exports_everything_imported(HMODULE library) {
    const HMODULE plugin = this_module();
    const ImgDelayDescr& descriptor = client_library_descriptor;
    if ((descriptor.grAttrs & dlattrRva) == 0 || descriptor.rvaINT == 0) return false;
    for (auto* thunk = at_rva<IMAGE_THUNK_DATA>(plugin, descriptor.rvaINT);
         thunk->u1.AddressOfData != 0; ++thunk) {
        const bool by_ordinal = IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal);
        const char* name =
            by_ordinal
                ? reinterpret_cast<const char*>(IMAGE_ORDINAL(thunk->u1.Ordinal))
                : at_rva<IMAGE_IMPORT_BY_NAME>(plugin, static_cast<DWORD>(thunk->u1.AddressOfData))
                      ->Name;
        if (GetProcAddress(library, name) == nullptr) return false;
    }
    return true;
}

// Host threads that make their first calls at once each bind the library, and
// the delay-load helper frees the handle of every thread but the first: each
// answer carries a reference of its own, so the library is never unloaded
// under the others.
FARPROC WINAPI client_library_for_delay_load(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary ||
        lstrcmpiA(info->szDll, nrw::kClientLibraryFile) != 0 || g_clientLibrary == nullptr)
        return nullptr;
    HMODULE referenced = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(g_clientLibrary), &referenced))
        return nullptr;
    return reinterpret_cast<FARPROC>(referenced);
}

struct WindowSearch {
    WindowVisitor visit;
    std::uint32_t* process_id;
};

BOOL CALLBACK visit_window(HWND window, LPARAM data) {
    const auto* search = reinterpret_cast<const WindowSearch*>(data);
    return search->visit(window, search->process_id) ? TRUE : FALSE;
}

}  // namespace

bool bind_client_library() {
    // Bound once, the library stays loaded for the life of the process.
    if (g_clientLibrary != nullptr) return true;
    const HMODULE library = load_beside_plugin();
    if (library == nullptr) return false;
    if (!exports_everything_imported(library)) {
        FreeLibrary(library);
        return false;
    }
    g_clientLibrary = library;
    return true;
}

void enum_windows(WindowVisitor visit, std::uint32_t* process_id) {
    WindowSearch search{visit, process_id};
    EnumWindows(visit_window, reinterpret_cast<LPARAM>(&search));
}

std::uint32_t window_process_id(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner;
}

bool is_window_visible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

std::uint32_t current_process_id() {
    return GetCurrentProcessId();
}

void allow_set_foreground(std::uint32_t process_id) {
    AllowSetForegroundWindow(process_id);
}

void set_foreground(HWND window) {
    SetForegroundWindow(window);
}

void set_window_pos(HWND window, HWND insert_after, std::uint32_t flags) {
    SetWindowPos(window, insert_after, 0, 0, 0, 0, flags);
}

void show_message_box(HWND owner, const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(owner, text, caption, 0);
}

}  // namespace nrwscc::platform

PfnDliHook __pfnDliNotifyHook2 = nrwscc::platform::client_library_for_delay_load;
