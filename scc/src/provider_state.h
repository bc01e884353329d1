// State shared by every provider object of the process.
#pragma once

#include <cstdint>
#include <mutex>

#include "nrw_identity.h"
#include "nrwapis.h"
#include "scc_api.h"

namespace nrwscc {

constexpr const char* kRaiseWindowHost = "National Instruments LabVIEW";
constexpr const char* kNoParentHost = "VssProvider";
constexpr LONG kCapabilities = SCC_CAP_REMOVE | SCC_CAP_RENAME | SCC_CAP_DIFF | SCC_CAP_HISTORY |
                               SCC_CAP_PROPERTIES | SCC_CAP_RUNSCC | SCC_CAP_QUERYINFO |
                               SCC_CAP_TEXTOUT | SCC_CAP_COMMENTPROJECT | SCC_CAP_DIFFALWAYS |
                               SCC_CAP_REENTRANT;
constexpr std::size_t kHostNameBuffer = 32;
constexpr LONG kCommentLength = 4096;

// The windows a command works with, kept for the process: the host's own
// top-level window, found once per opened project, and the helper's, looked for
// anew each time. Hosts may call from any thread, so every method takes the
// cache's lock and no caller can read a window unguarded.
class WindowCache {
  public:
    // The saved host window, or the first visible top-level window of this
    // process, which is then saved.
    HWND hostWindow();
    // The first visible top-level window of the helper's process; the last one
    // found while it shows none.
    HWND helperWindow(std::uint32_t helper_process_id);
    // A project opened anew finds its host window again.
    void forgetHostWindow();

  private:
    std::mutex m_lock;
    HWND m_host = nullptr;
    HWND m_helper = nullptr;
};

// The process's one window cache.
WindowCache& window_cache();

// The session as it stands now; calls made with one that has since ended fail
// cleanly in the client library.
NRWAPIS_Session* current_session();

// The helper is never asked about a list that names one of these.
bool is_sak_file(const char* path);

}  // namespace nrwscc
