// Rename: the helper renames the file under source control and refreshes the
// new path, while the disk stays as the host has it.
//
// Hosts call in either of two orders. Some move the file first and call after:
// the file at the new path is then the host's copy with the user's latest
// changes. The helper restores the old file, the host's copy is moved aside
// under a short name, and after the helper's rename the host's bytes win over
// whatever the helper left at the new path; they go back where they stood when
// the helper does not rename. Other hosts call first and move the file after
// the call: nothing stands at the new path yet. Then nothing is restored; the
// host's file is copied aside, and after the helper's answer its bytes stand at
// the old path and nothing at the new one, ready for the host's move. Nothing
// at either path is refused before anything is sent, and so is anything at the
// new path that is not a plain file.
#include <mutex>
#include <string>

#include "nrwapis.h"
#include "platform/system.h"
#include "protocol_text.h"
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
constexpr const char* kLeftAtNewPath =
    "file the helper left at the new path is removed, the host moves the file there : %s";

// The part after the last backslash; the whole path when there is none.
std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A free name in the same folder that is no longer than the file's own name,
// so that a path at the system's limit can still be moved aside.
std::string aside_candidate(const std::string& path, int attempt) {
    static const char kOneCharacter[] = "~0123456789abcdefghijklmnopqrstuvwxyz";
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t name_length = path.size() - name_start;
    std::string name = "~nrw" + std::to_string(attempt);
    if (name.size() > name_length) name = "~" + std::to_string(attempt);
    if (name.size() > name_length && attempt < static_cast<int>(sizeof(kOneCharacter)) - 1)
        name = std::string(1, kOneCharacter[attempt]);
    return path.substr(0, name_start) + name;
}

using KeepAside = bool (*)(const char* from, const char* to, std::uint32_t& error);

// Moves or copies the file to a free name beside it; `aside` receives that name.
bool keep_aside(KeepAside keep, const std::string& path, std::string& aside, std::uint32_t& error) {
    for (int attempt = 0; attempt < kAsideAttempts; ++attempt) {
        aside = aside_candidate(path, attempt);
        if (keep(path.c_str(), aside.c_str(), error)) return true;
        if (error != platform::kAlreadyExists) return false;
    }
    return false;
}

bool is_plain_file(const std::string& path) {
    return platform::path_kind(path.c_str()) == platform::PathKind::file;
}

bool delete_any_file(const std::string& path) {
    std::uint32_t error = 0;
    platform::set_normal_attributes(path.c_str(), error);
    return platform::delete_file(path.c_str(), error);
}

void trace_removal_failure(Scope& scope, std::uint32_t error) {
    if (error == platform::kAccessDenied)
        scope.writeText("file could not be deleted, access denied");
    else if (error == platform::kFileNotFound)
        scope.writeText("file  could not be deleted, file not found");
    scope.writeText("file could not be deleted");
}

// The helper did not rename: the user's file goes back where it stood, with the
// attributes it had, or, when that path has been taken since, stays aside
// where the trace says.
void put_back(Scope& scope, const std::string& aside, const std::string& path,
              std::uint32_t attributes) {
    std::uint32_t error = 0;
    if (platform::move_file_no_replace(aside.c_str(), path.c_str(), error))
        platform::write_attributes(path.c_str(), attributes);
    else
        scope.writeTrace(kKeptAside, aside.c_str());
}

// `path` must hold the host's bytes, which wait in `aside`: whatever differs
// there, or is missing, gives way to them.
void settle_host_bytes(Scope& scope, const std::string& aside, const std::string& path) {
    if (platform::same_contents(aside.c_str(), path.c_str())) {
        if (!delete_any_file(aside)) scope.writeTrace(kKeptAside, aside.c_str());
        return;
    }
    std::uint32_t error = 0;
    platform::set_normal_attributes(path.c_str(), error);
    if (platform::replace_file(aside.c_str(), path.c_str(), error))
        scope.writeTrace(kHostCopyBack, path.c_str());
    else
        scope.writeTrace(kKeptAside, aside.c_str());
}

// The host moves the file after the call: its bytes stand at the old path and
// nothing the helper made stands at the new one. Where the two paths name one
// file (a case-only rename), that file keeps the host's bytes.
void settle_for_host_move(Scope& scope, const std::string& aside, const std::string& old_path,
                          const std::string& new_path, bool one_file) {
    if (!one_file && is_plain_file(new_path)) {
        if (delete_any_file(new_path))
            scope.writeTrace(kLeftAtNewPath, new_path.c_str());
        else
            scope.writeText("file could not be deleted");
    }
    settle_host_bytes(scope, aside, one_file && !is_plain_file(old_path) ? new_path : old_path);
}

}  // namespace

SCCRTN NRWScc_Impl::Rename(HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName) {
    Scope scope("Rename");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    scope.writeTrace("lpFileName is : %s", lpFileName);
    scope.writeTrace("lpNewName is : %s", lpNewName);
    const std::string old_path = lpFileName;
    const std::string new_path = lpNewName;
    const std::string new_name = file_name_of(new_path);
    scope.writeTrace("fname is : %s", new_name.c_str());
    resolveParentWindow(hWnd);

    // Everything that can be refused is refused before the helper or the disk is
    // touched: no name, names the client library would refuse to send, and a
    // device in any form at either path.
    if (old_path.empty() || new_name.empty() || !nrwapis::protocol::is_safe_name(old_path) ||
        !nrwapis::protocol::is_safe_name(new_name) ||
        platform::path_kind(lpFileName) == platform::PathKind::other)
        return SCC_E_UNKNOWNERROR;
    // The host may call from several threads: one rename at a time looks at the
    // disk, sets the user's file aside, asks the helper and puts it back, so no
    // rename takes another's file for the host's.
    static std::mutex renaming;
    const std::lock_guard<std::mutex> one_at_a_time(renaming);
    const platform::PathKind at_new = platform::path_kind(lpNewName);
    if (at_new == platform::PathKind::folder || at_new == platform::PathKind::other) {
        trace_removal_failure(scope, platform::kAccessDenied);
        return SCC_E_UNKNOWNERROR;
    }
    const bool one_file =
        at_new == platform::PathKind::file && platform::same_file(lpFileName, lpNewName);
    if (at_new == platform::PathKind::file && !one_file)
        return renameMovedFile(scope, hWnd, old_path, new_path, new_name);
    if (!is_plain_file(old_path)) {
        scope.writeText("Setattribute  failed");
        return SCC_E_UNKNOWNERROR;
    }
    return renameFileBeforeItMoves(scope, hWnd, old_path, new_path, new_name, one_file);
}

// The host has moved the file to the new path already.
SCCRTN NRWScc_Impl::renameMovedFile(Scope& scope, HWND hWnd, const std::string& old_path,
                                    const std::string& new_path, const std::string& new_name) {
    NRWAPIS_Session* session = current_session();
    LPCSTR old_files[] = {old_path.c_str()};
    if (nrw_api_restore(session, hWnd, old_files, 1, 2, kRestoreOptions, nullptr, nullptr) != 0)
        return SCC_E_UNKNOWNERROR;
    std::uint32_t error = 0;
    std::uint32_t attributes = 0;
    if (!platform::read_attributes(new_path.c_str(), attributes) ||
        !platform::set_normal_attributes(new_path.c_str(), error)) {
        scope.writeText("Setattribute  failed");
        return SCC_E_UNKNOWNERROR;
    }
    std::string aside;
    if (!keep_aside(platform::move_file_no_replace, new_path, aside, error)) {
        trace_removal_failure(scope, error);
        return SCC_E_UNKNOWNERROR;
    }
    const int renamed = sendRename(hWnd, old_path, new_name);
    if (renamed == 0)
        settle_host_bytes(scope, aside, new_path);
    else
        put_back(scope, aside, new_path, attributes);
    return finishRename(scope, hWnd, renamed, new_path);
}

// The host moves the file after this call, or the two paths name one file.
SCCRTN NRWScc_Impl::renameFileBeforeItMoves(Scope& scope, HWND hWnd, const std::string& old_path,
                                            const std::string& new_path,
                                            const std::string& new_name, bool one_file) {
    std::uint32_t error = 0;
    std::string aside;
    if (!keep_aside(platform::copy_file_no_replace, old_path, aside, error)) {
        scope.writeText("file could not be copied aside");
        return SCC_E_UNKNOWNERROR;
    }
    const int renamed = sendRename(hWnd, old_path, new_name);
    settle_for_host_move(scope, aside, old_path, new_path, one_file);
    return finishRename(scope, hWnd, renamed, new_path);
}

int NRWScc_Impl::sendRename(HWND hWnd, const std::string& old_path, const std::string& new_name) {
    LPCSTR old_files[] = {old_path.c_str()};
    LPCSTR new_names[] = {new_name.c_str()};
    return nrw_api_rename(current_session(), hWnd, old_files, 1, new_names, 2, 0, nullptr, nullptr,
                          nullptr);
}

SCCRTN NRWScc_Impl::finishRename(Scope& scope, HWND hWnd, int renamed,
                                 const std::string& new_path) {
    if (renamed == 2) return SCC_I_OPERATIONCANCELED;
    raiseHostWindow(hWnd);
    if (renamed != 0) {
        scope.writeText("nrw_api_rename failed");
        return SCC_E_UNKNOWNERROR;
    }
    if (nrw_api_refresh(current_session(), hWnd, new_path.c_str(), 2, kRefreshOptions) != 0) {
        scope.writeText("nrw_api_refresh failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}
