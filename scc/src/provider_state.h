// State shared by every provider object of the process.
#pragma once

#include <cstdint>
#include <mutex>

#include "nrw_identity.h"
#include "nrwapis.h"
#include "scc_api.h"

namespace nrwscc {

constexpr const char* kProviderName = nrw::kProviderName;
constexpr const char* kRaiseWindowHost = "National Instruments LabVIEW";
constexpr const char* kNoParentHost = "VssProvider";
constexpr LONG kApiVersion = nrw::kSccApiVersion;
constexpr LONG kCapabilities = SCC_CAP_REMOVE | SCC_CAP_RENAME | SCC_CAP_DIFF | SCC_CAP_HISTORY |
                               SCC_CAP_PROPERTIES | SCC_CAP_RUNSCC | SCC_CAP_QUERYINFO |
                               SCC_CAP_TEXTOUT | SCC_CAP_COMMENTPROJECT | SCC_CAP_DIFFALWAYS |
                               SCC_CAP_REENTRANT;
constexpr std::size_t kHostNameBuffer = 32;
constexpr LONG kCommentLength = 4096;

// The one helper session of the process, the number of initialized providers and
// the saved windows; all guarded by g_stateLock, as hosts may call from any thread.
extern NRWAPIS_Session* g_session;
extern int32_t refCount;
extern HWND g_ideWindow;
extern HWND g_helperWindow;
extern std::mutex g_stateLock;

}  // namespace nrwscc

namespace nrwscc {

// The session as it stands now; calls made with one that has since ended fail
// cleanly in the client library.
NRWAPIS_Session* current_session();

// The helper is never asked about a list that names one of these.
bool is_sak_file(const char* path);

}  // namespace nrwscc
