// Rename: the helper restores the old file, whatever stands at the new path is
// cleared away, the helper renames, and the new path is refreshed.
//
// A host may call before or after it moved the file itself. Before, nothing
// stands at the new path yet: that is refused before anything is sent, so the
// user's file at the old path is never restored over. After, the file at the
// new path is the host's copy with the user's latest changes: it is moved aside
// under a short name rather than deleted, comes back if the helper does not
// rename, and wins over whatever the helper's rename left at the new path.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "nrwapis.h"
#include "platform/system.h"
#include "provider.h"
#include "provider_state.h"
#include "trace_scope.h"

using namespace nrwscc;

namespace {

constexpr long kRestoreOptions = 4;
constexpr long kRefreshOptions = 11;
constexpr int kAsideAttempts = 100;
constexpr const char* kKeptAside = "file that stood at the new path is kept as : %s";
constexpr const char* kHostCopyBack = "the host's copy of the file is put back at : %s";

// The part after the last backslash; the whole path when there is none.
std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Texts the client library refuses to send; checked first, so that a refused
// rename changes nothing on disk.
bool is_sendable(const std::string& name) {
    for (const char* marker : {"<>", "<request_end>", "<response_end>"})
        if (name.find(marker) != std::string::npos) return false;
    return true;
}

// A free name in the same folder that is no longer than the file's own name
// where that name allows it, so that a path near the system's limit can still
// be moved aside.
std::string aside_candidate(const std::string& path, int attempt) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t name_length = path.size() - name_start;
    std::string name = "~nrw" + std::to_string(attempt);
    if (name.size() > name_length) name = "~" + std::to_string(attempt);
    return path.substr(0, name_start) + name;
}

// Moves the file to a free name beside it; `aside` receives that name.
bool move_aside(const std::string& path, std::string& aside, std::uint32_t& error) {
    for (int attempt = 0; attempt < kAsideAttempts; ++attempt) {
        aside = aside_candidate(path, attempt);
        if (platform::move_file_no_replace(path.c_str(), aside.c_str(), error)) return true;
        if (error != platform::kAlreadyExists) return false;
    }
    return false;
}

bool same_contents(const std::string& first, const std::string& second) {
    std::ifstream a(first, std::ios::binary), b(second, std::ios::binary);
    if (!a || !b) return false;
    return std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>());
}

void trace_removal_failure(Scope& scope, std::uint32_t error) {
    if (error == platform::kAccessDenied)
        scope.writeText("file could not be deleted, access denied");
    else if (error == platform::kFileNotFound)
        scope.writeText("file  could not be deleted, file not found");
    scope.writeText("file could not be deleted");
}

// The helper did not rename: the user's file goes back where it stood, or, when
// that path has been taken since, stays aside where the trace says.
void put_back(Scope& scope, const std::string& aside, const std::string& path) {
    std::uint32_t error = 0;
    if (!platform::move_file_no_replace(aside.c_str(), path.c_str(), error))
        scope.writeTrace(kKeptAside, aside.c_str());
}

// The helper renamed: the new path must hold the host's bytes. Whatever the
// helper left there that differs gives way to them.
void settle_after_rename(Scope& scope, const std::string& aside, const std::string& path) {
    std::uint32_t error = 0;
    if (same_contents(aside, path)) {
        if (!platform::delete_file(aside.c_str(), error))
            scope.writeTrace(kKeptAside, aside.c_str());
        return;
    }
    platform::set_normal_attributes(path.c_str(), error);
    if (platform::replace_file(aside.c_str(), path.c_str(), error))
        scope.writeTrace(kHostCopyBack, path.c_str());
    else
        scope.writeTrace(kKeptAside, aside.c_str());
}

}  // namespace

SCCRTN NRWScc_Impl::Rename(HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName) {
    Scope scope("Rename");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    scope.writeTrace("lpFileName is : %s", lpFileName);
    scope.writeTrace("lpNewName is : %s", lpNewName);
    const std::string new_path = lpNewName;
    const std::string new_name = file_name_of(new_path);
    scope.writeTrace("fname is : %s", new_name.c_str());
    resolveParentWindow(hWnd);

    // Everything that can be refused is refused before the helper or the disk is touched.
    if (!is_sendable(lpFileName) || !is_sendable(new_name)) return SCC_E_UNKNOWNERROR;
    if (platform::attributes_error(lpNewName) != 0) {
        scope.writeText("Setattribute  failed");
        return SCC_E_UNKNOWNERROR;
    }
    if (platform::is_folder(lpNewName)) {
        trace_removal_failure(scope, platform::kAccessDenied);
        return SCC_E_UNKNOWNERROR;
    }

    NRWAPIS_Session* session = current_session();
    LPCSTR old_files[] = {lpFileName};
    if (nrw_api_restore(session, hWnd, old_files, 1, 2, kRestoreOptions, nullptr, nullptr) != 0)
        return SCC_E_UNKNOWNERROR;
    std::uint32_t error = 0;
    if (!platform::set_normal_attributes(lpNewName, error)) {
        scope.writeText("Setattribute  failed");
        return SCC_E_UNKNOWNERROR;
    }
    std::string aside;
    if (!move_aside(new_path, aside, error)) {
        trace_removal_failure(scope, error);
        return SCC_E_UNKNOWNERROR;
    }

    LPCSTR new_names[] = {new_name.c_str()};
    const int renamed =
        nrw_api_rename(session, hWnd, old_files, 1, new_names, 2, 0, nullptr, nullptr, nullptr);
    if (renamed == 0)
        settle_after_rename(scope, aside, new_path);
    else
        put_back(scope, aside, new_path);
    if (renamed == 2) return SCC_I_OPERATIONCANCELED;
    raiseHostWindow(hWnd);
    if (renamed != 0) {
        scope.writeText("nrw_api_rename failed");
        return SCC_E_UNKNOWNERROR;
    }
    if (nrw_api_refresh(session, hWnd, lpNewName, 2, kRefreshOptions) != 0) {
        scope.writeText("nrw_api_refresh failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}
