// The client library is bound through a delay-load import. A host that loads
// this plug-in by full path from elsewhere does not search the plug-in's folder,
// so the client library is loaded from beside the plug-in by full path.
#include <windows.h>
// After windows.h, which it builds on.
#include <delayimp.h>

#include <cstring>

namespace {

constexpr const char kClientLibrary[] = "libnrwapis.dll";

HMODULE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&this_module), &module);
    return module;
}

FARPROC WINAPI load_client_library_beside_plugin(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || lstrcmpiA(info->szDll, kClientLibrary) != 0)
        return nullptr;
    char path[MAX_PATH + sizeof(kClientLibrary)];
    const DWORD length = GetModuleFileNameA(this_module(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    char* name = std::strrchr(path, '\\');
    name = name != nullptr ? name + 1 : path;
    std::memcpy(name, kClientLibrary, sizeof(kClientLibrary));
    return reinterpret_cast<FARPROC>(LoadLibraryA(path));
}

}  // namespace

PfnDliHook __pfnDliNotifyHook2 = load_client_library_beside_plugin;
