// Rename: the helper restores the old file, whatever stands at the new path is
// cleared away, the helper renames, and the new path is refreshed. The file that
// stood at the new path is moved aside rather than deleted, and comes back if
// the helper does not rename.
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

// The part after the last backslash; the whole path when there is none.
std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves the file to a free name beside it; `aside` receives that name.
bool move_aside(const std::string& path, std::string& aside, std::uint32_t& error) {
    for (int attempt = 0; attempt < kAsideAttempts; ++attempt) {
        aside = path + ".nrw-aside" + (attempt == 0 ? "" : "-" + std::to_string(attempt));
        if (platform::move_file_no_replace(path.c_str(), aside.c_str(), error)) return true;
        if (error != platform::kAlreadyExists) return false;
    }
    return false;
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

void discard(Scope& scope, const std::string& aside) {
    std::uint32_t error = 0;
    if (!platform::delete_file(aside.c_str(), error)) scope.writeTrace(kKeptAside, aside.c_str());
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
        discard(scope, aside);
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
