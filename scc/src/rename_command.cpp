// Rename: the helper renames the file under source control and refreshes the
// new path, while the disk stays as the host has it.
//
// Hosts call in either of two orders. Some move the file first and call after:
// the file at the new path is then the host's copy with the user's latest
// changes. It is moved aside under a short name before anything is sent, the
// helper restores the old file and renames, and after the helper's rename the
// host's bytes win over whatever the helper left at the new path; they go back
// where they stood when the helper does not rename. Other hosts call first and
// move the file after the call: nothing stands at the new path yet. Then
// nothing is restored; the host's file is copied aside, and after the helper's
// answer its bytes stand at the old path and nothing at the new one, ready for
// the host's move. Nothing at either path is refused before anything is sent,
// and so is anything at the new path that is not a plain file.
//
// Virus scanners, indexers and sync clients open new and changed files for a
// moment, often without sharing them: every step on disk waits a little for
// such a program before it counts as failed. Success is reported only where the
// user's bytes stand where the host looks for them; otherwise the call fails
// and the trace says where they are. A copy aside never outlives a success
// unless it cannot be removed, and then the trace names it.
#include <mutex>
#include <string>

#include "nrwapis.h"
#include "path_text.h"
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
constexpr const char* kUsersFileKeptAside = "the user's file is kept as : %s";
constexpr const char* kHostCopyBack = "the host's copy of the file is put back at : %s";
constexpr const char* kLeftAtNewPath =
    "file the helper left at the new path is removed, the host moves the file there : %s";
constexpr const char* kStuckAtNewPath =
    "file the helper left at the new path could not be removed : %s";
constexpr const char* kCopyLeftBehind = "a copy of the user's file could not be removed : %s";

// The pauses between tries of a step that another program refuses for a
// moment: growing from 10 ms, about 2 s in all. Scanners and indexers hold a
// new file for milliseconds to a second; a holder that keeps it longer is one
// the user must know about, and one rename at a time must not keep the host's
// next rename waiting long.
constexpr std::uint32_t kPauses[] = {10, 20, 40, 80, 160, 320, 500, 500, 500};

// Runs a step on disk until it succeeds, fails for good, or the pauses are used
// up; `step` reports its error through its argument.
template <typename Step>
bool patiently(Step step, std::uint32_t& error) {
    for (const std::uint32_t pause : kPauses) {
        if (step(error)) return true;
        if (!platform::is_transient(error)) return false;
        platform::pause_ms(pause);
    }
    return step(error);
}

// The part after the last backslash (a character of the code page, never the
// second byte of one); the whole path when there is none.
std::string file_name_of(const std::string& path) {
    return nrwapis::path_text::name_after_last_backslash(path, platform::ansi_code_page());
}

// A free name in the same folder that is no longer than the file's own name, as
// the file system counts it, so that a path at the system's limit can still be
// moved aside.
std::string aside_candidate(const std::string& path, int attempt) {
    static const char kOneCharacter[] = "~0123456789abcdefghijklmnopqrstuvwxyz";
    const unsigned code_page = platform::ansi_code_page();
    const std::size_t slash = nrwapis::path_text::last_separator(path, code_page);
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t name_length =
        nrwapis::path_text::utf16_length(path.substr(name_start), code_page);
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
        const auto keep_it = [&](std::uint32_t& failure) {
            return keep(path.c_str(), aside.c_str(), failure);
        };
        if (patiently(keep_it, error)) return true;
        if (error != platform::kAlreadyExists) return false;
    }
    return false;
}

bool is_plain_file(const std::string& path) {
    return platform::path_kind(path.c_str()) == platform::PathKind::file;
}

bool set_normal_attributes(const std::string& path, std::uint32_t& error) {
    return patiently(
        [&](std::uint32_t& failure) {
            return platform::set_normal_attributes(path.c_str(), failure);
        },
        error);
}

bool delete_any_file(const std::string& path) {
    std::uint32_t error = 0;
    set_normal_attributes(path, error);
    return patiently(
        [&](std::uint32_t& failure) { return platform::delete_file(path.c_str(), failure); },
        error);
}

bool move_patiently(KeepAside move, const std::string& from, const std::string& to) {
    std::uint32_t error = 0;
    return patiently(
        [&](std::uint32_t& failure) { return move(from.c_str(), to.c_str(), failure); }, error);
}

platform::Comparison compare_patiently(const std::string& first, const std::string& second) {
    platform::Comparison result = platform::Comparison::unreadable;
    std::uint32_t error = 0;
    patiently(
        [&](std::uint32_t& failure) {
            result = platform::compare_contents(first.c_str(), second.c_str(), failure);
            return result != platform::Comparison::unreadable;
        },
        error);
    return result;
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
// where the trace says. Whether it is back.
bool put_back(Scope& scope, const std::string& aside, const std::string& path,
              std::uint32_t attributes) {
    if (move_patiently(platform::move_file_no_replace, aside, path)) {
        platform::write_attributes(path.c_str(), attributes);
        return true;
    }
    scope.writeTrace(kKeptAside, aside.c_str());
    return false;
}

// `path` must hold the host's bytes, which wait in `aside`: whatever differs
// there, or is missing, gives way to them. Whether they stand there; where
// they do not, the trace says where they are (`kept` names the text).
bool settle_host_bytes(Scope& scope, const std::string& aside, const std::string& path,
                       const char* kept, bool unchanged = false) {
    if (unchanged || compare_patiently(aside, path) == platform::Comparison::same) {
        if (!delete_any_file(aside)) scope.writeTrace(kCopyLeftBehind, aside.c_str());
        return true;
    }
    std::uint32_t error = 0;
    if (is_plain_file(path)) set_normal_attributes(path, error);
    if (move_patiently(platform::replace_file, aside, path)) {
        scope.writeTrace(kHostCopyBack, path.c_str());
        return true;
    }
    scope.writeTrace(kept, aside.c_str());
    return false;
}

// The host moves the file after the call: its bytes stand at the old path and
// nothing the helper made stands at the new one. Where the two paths name one
// file (a case-only rename), that file keeps the host's bytes. Whether the
// disk is so.
//
// `copied` is the old path's stamp when it was copied aside: a file that has
// not changed since needs no comparison, which a program holding the copy
// would refuse.
bool settle_for_host_move(Scope& scope, const std::string& aside, const std::string& old_path,
                          const std::string& new_path, bool one_file,
                          const platform::FileStamp* copied) {
    bool new_path_free = true;
    if (!one_file && is_plain_file(new_path)) {
        new_path_free = delete_any_file(new_path);
        scope.writeTrace(new_path_free ? kLeftAtNewPath : kStuckAtNewPath, new_path.c_str());
    }
    const std::string& host_path = one_file && !is_plain_file(old_path) ? new_path : old_path;
    platform::FileStamp now;
    const bool unchanged =
        copied != nullptr && platform::stamp_of(host_path.c_str(), now) && now == *copied;
    return settle_host_bytes(scope, aside, host_path, kUsersFileKeptAside, unchanged) &&
           new_path_free;
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

// The host has moved the file to the new path already. The file is set aside
// before anything is sent, so that a file another program keeps fails the call
// with nothing asked of the helper.
SCCRTN NRWScc_Impl::renameMovedFile(Scope& scope, HWND hWnd, const std::string& old_path,
                                    const std::string& new_path, const std::string& new_name) {
    std::uint32_t error = 0;
    std::uint32_t attributes = 0;
    if (!platform::read_attributes(new_path.c_str(), attributes) ||
        !set_normal_attributes(new_path, error)) {
        scope.writeText("Setattribute  failed");
        return SCC_E_UNKNOWNERROR;
    }
    std::string aside;
    if (!keep_aside(platform::move_file_no_replace, new_path, aside, error)) {
        platform::write_attributes(new_path.c_str(), attributes);
        trace_removal_failure(scope, error);
        return SCC_E_UNKNOWNERROR;
    }
    LPCSTR old_files[] = {old_path.c_str()};
    if (nrw_api_restore(current_session(), hWnd, old_files, 1, 2, kRestoreOptions, nullptr,
                        nullptr) != 0) {
        put_back(scope, aside, new_path, attributes);
        return SCC_E_UNKNOWNERROR;
    }
    const int renamed = sendRename(hWnd, old_path, new_name);
    const bool settled = renamed == 0 ? settle_host_bytes(scope, aside, new_path, kKeptAside)
                                      : put_back(scope, aside, new_path, attributes);
    return finishRename(scope, hWnd, renamed, settled, new_path);
}

// The host moves the file after this call, or the two paths name one file.
SCCRTN NRWScc_Impl::renameFileBeforeItMoves(Scope& scope, HWND hWnd, const std::string& old_path,
                                            const std::string& new_path,
                                            const std::string& new_name, bool one_file) {
    std::uint32_t error = 0;
    std::string aside;
    platform::FileStamp before, after;
    const bool stamped = platform::stamp_of(old_path.c_str(), before);
    if (!keep_aside(platform::copy_file_no_replace, old_path, aside, error)) {
        scope.writeText("file could not be copied aside");
        return SCC_E_UNKNOWNERROR;
    }
    // (a file written while it was copied has no stamp the copy matches)
    const bool copy_matches =
        stamped && platform::stamp_of(old_path.c_str(), after) && after == before;
    const int renamed = sendRename(hWnd, old_path, new_name);
    const bool settled = settle_for_host_move(scope, aside, old_path, new_path, one_file,
                                              copy_matches ? &before : nullptr);
    return finishRename(scope, hWnd, renamed, settled, new_path);
}

int NRWScc_Impl::sendRename(HWND hWnd, const std::string& old_path, const std::string& new_name) {
    LPCSTR old_files[] = {old_path.c_str()};
    LPCSTR new_names[] = {new_name.c_str()};
    return nrw_api_rename(current_session(), hWnd, old_files, 1, new_names, 2, 0, nullptr, nullptr,
                          nullptr);
}

// `settled`: the user's file stands where the host order says; a rename that
// left it elsewhere is no success, nor a plain cancel.
SCCRTN NRWScc_Impl::finishRename(Scope& scope, HWND hWnd, int renamed, bool settled,
                                 const std::string& new_path) {
    if (renamed == 2 && settled) return SCC_I_OPERATIONCANCELED;
    raiseHostWindow(hWnd);
    if (renamed != 0) {
        scope.writeText(renamed == 2 ? "the user's file is not where it stood"
                                     : "nrw_api_rename failed");
        return SCC_E_UNKNOWNERROR;
    }
    if (!settled) {
        scope.writeText("the user's file is not where the host looks for it");
        return SCC_E_UNKNOWNERROR;
    }
    if (nrw_api_refresh(current_session(), hWnd, new_path.c_str(), 2, kRefreshOptions) != 0) {
        scope.writeText("nrw_api_refresh failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}
