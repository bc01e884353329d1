#include "provider.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <new>

#include "provider_state.h"
#include "trace_scope.h"

namespace nrwscc {
namespace {
// The one helper session of the process and the number of initialized
// providers, guarded by g_sessionLock, as hosts may call from any thread.
NRWAPIS_Session* g_session = nullptr;
int32_t refCount = 0;
std::mutex g_sessionLock;
}  // namespace

NRWAPIS_Session* current_session() {
    std::lock_guard<std::mutex> guard(g_sessionLock);
    return g_session;
}

bool is_sak_file(const char* path) {
    return std::strstr(path, "~sak") != nullptr;
}
}  // namespace nrwscc

using namespace nrwscc;

namespace {

// The name and its terminator only: hosts size these buffers differently, and a
// padded copy would run past a smaller one.
void copy_provider_name(LPSTR buffer) {
    if (buffer == nullptr) return;
    const std::size_t length = std::min(std::strlen(nrw::kProviderName), kHostNameBuffer - 1);
    std::memcpy(buffer, nrw::kProviderName, length);
    buffer[length] = '\0';
}

template <class T>
void store(T* destination, T value) {
    if (destination != nullptr) *destination = value;
}

// An operation that only announces itself in the trace.
SCCRTN traced_stub(const char* operation, SCCRTN result = SCC_OK) {
    Scope scope(operation);
    return result;
}

}  // namespace

NRWScc_Base::~NRWScc_Base() = default;

NRWScc_Impl::NRWScc_Impl() {
    std::setlocale(LC_ALL, "");
}

NRWScc_Impl::~NRWScc_Impl() = default;

bool NRWScc_Impl::callerIs(const char* name) const {
    std::lock_guard<std::mutex> guard(m_memberLock);
    return m_callerName == name;
}

LPTEXTOUTPROC NRWScc_Impl::textOutProc() const {
    std::lock_guard<std::mutex> guard(m_memberLock);
    return m_textOutProc;
}

NRWScc_Impl* NRWScc_Impl::createProvider() {
    return new (std::nothrow) NRWScc_Impl;
}

SCCRTN NRWScc_Impl::Initialize(HWND, LPCSTR lpCallerName, LPSTR lpSccName, LPLONG lpSccCaps,
                               LPSTR lpAuxPathLabel, LPLONG pnCheckoutCommentLen,
                               LPLONG pnCommentLen) {
    Scope scope("Initialize");
    const char* caller = lpCallerName != nullptr ? lpCallerName : "";
    {
        std::lock_guard<std::mutex> guard(g_sessionLock);
        ++refCount;
        scope.writeTrace("refCount : %d", static_cast<int>(refCount));
        if (g_session == nullptr) {
            scope.writeTrace("Initializing the helper process for : %s", caller);
            if (nrw_api_initialize(&g_session) != 0) {
                scope.writeTrace("Initialize failed ");
                // This provider never reaches the host, so it must not hold a count.
                --refCount;
                return SCC_E_INITIALIZEFAILED;
            }
            scope.writeTrace("Initialized the helper process");
        }
    }
    {
        std::lock_guard<std::mutex> guard(m_memberLock);
        m_callerName = caller;
    }
    copy_provider_name(lpSccName);
    store(lpSccCaps, kCapabilities);
    copy_provider_name(lpAuxPathLabel);
    store(pnCheckoutCommentLen, kCommentLength);
    store(pnCommentLen, kCommentLength);
    return SCC_OK;
}

SCCRTN NRWScc_Impl::UnInitialize() {
    Scope scope("UnInitialize");
    if (isProjectOpen()) CloseProject();
    {
        std::lock_guard<std::mutex> guard(m_memberLock);
        m_callerName.clear();
    }
    std::lock_guard<std::mutex> guard(g_sessionLock);
    --refCount;
    scope.writeTrace("refCount : %d", static_cast<int>(refCount));
    if (refCount == 0 && g_session != nullptr) {
        scope.writeTrace("Killing the helper process");
        nrw_api_uninitialize(&g_session);
        scope.writeTrace("Killed the helper process");
        NRWAPIS_Tracer::close_file();
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::OpenProject(HWND, LPSTR, LPSTR lpProjName, LPCSTR lpLocalProjPath,
                                LPSTR lpAuxProjPath, LPCSTR, LPTEXTOUTPROC lpTextOutProc, LONG) {
    Scope scope("OpenProject");
    if (lpProjName != nullptr) scope.writeTrace("lpProjName : %s", lpProjName);
    if (lpLocalProjPath != nullptr) scope.writeTrace("lpLocalProjPath : %s", lpLocalProjPath);
    if (lpAuxProjPath != nullptr) scope.writeTrace("lpAuxProjPath : %s", lpAuxProjPath);
    {
        std::lock_guard<std::mutex> guard(m_memberLock);
        m_textOutProc = lpTextOutProc;
    }
    m_projState = 4;
    window_cache().forgetHostWindow();
    return SCC_OK;
}

SCCRTN NRWScc_Impl::CloseProject() {
    Scope scope("CloseProject");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    {
        std::lock_guard<std::mutex> guard(m_memberLock);
        m_textOutProc = nullptr;
    }
    m_projState = 0;
    return SCC_OK;
}

SCCRTN NRWScc_Impl::GetProjPath(HWND, LPSTR, LPSTR lpProjName, LPSTR lpLocalPath,
                                LPSTR lpAuxProjPath, BOOL, LPBOOL) {
    Scope scope("GetProjPath");
    if (lpProjName != nullptr) scope.writeTrace("lpProjName : %s", lpProjName);
    if (lpLocalPath != nullptr) scope.writeTrace("lpLocalProjPath : %s", lpLocalPath);
    if (lpAuxProjPath != nullptr) scope.writeTrace("lpAuxProjPath : %s", lpAuxProjPath);
    return SCC_OK;
}

SCCRTN NRWScc_Impl::GetCommandOptions(HWND, enum SCCCOMMAND, LPCMDOPTS*) {
    return traced_stub("GetCommandOptions", SCC_I_ADV_SUPPORT);
}

SCCRTN NRWScc_Impl::SetOption(LONG, LONG_PTR) {
    return SCC_E_OPNOTSUPPORTED;
}

SCCRTN NRWScc_Impl::AddFromScc(HWND, LPLONG, LPCSTR**) {
    return SCC_E_OPNOTSUPPORTED;
}

SCCRTN NRWScc_Impl::PopulateList(enum SCCCOMMAND, LONG, LPCSTR*, POPLISTFUNC, LPVOID, LPLONG,
                                 LONG) {
    Scope scope("PopulateList");
    return isProjectOpen() ? SCC_OK : SCC_E_PROJNOTOPEN;
}

SCCRTN NRWScc_Impl::DirDiff(HWND hWnd, LPCSTR lpDirName, LONG dwFlags, LPVOID pvOptions) {
    Scope scope("DirDiff");
    return Diff(hWnd, lpDirName, dwFlags, pvOptions);
}

// Operations the provider answers without doing anything.
SCCRTN NRWScc_Impl::DirQueryInfo(LONG, LPCSTR*, LPLONG) {
    return traced_stub("DirQueryInfo");
}
SCCRTN NRWScc_Impl::GetEvents(LPSTR lpFileName, LPLONG lpStatus, LPLONG pnEventsRemaining) {
    // No events: a host that reads the outputs anyway finds exactly that.
    if (lpFileName != nullptr) lpFileName[0] = '\0';
    store(lpStatus, LONG(0));
    store(pnEventsRemaining, LONG(0));
    return traced_stub("GetEvents");
}
SCCRTN NRWScc_Impl::BeginBatch() {
    return traced_stub("BeginBatch");
}
SCCRTN NRWScc_Impl::EndBatch() {
    return traced_stub("EndBatch");
}
SCCRTN NRWScc_Impl::CreateSubProject(HWND, LPSTR, LPCSTR, LPCSTR, LPSTR, LPSTR) {
    return traced_stub("CreateSubProject");
}
SCCRTN NRWScc_Impl::GetParentProjectPath(HWND, LPSTR, LPCSTR, LPSTR, LPSTR) {
    return traced_stub("GetParentProjectPath");
}
SCCRTN NRWScc_Impl::IsMultiCheckoutEnabled(LPBOOL) {
    return traced_stub("IsMultiCheckoutEnabled");
}
SCCRTN NRWScc_Impl::WillCreateSccFile(LONG, LPCSTR*, LPBOOL) {
    return traced_stub("WillCreateSccFile");
}
SCCRTN NRWScc_Impl::BackgroundGet(LONG, LPCSTR*, LONG, LONG) {
    return traced_stub("BackgroundGet");
}
SCCRTN NRWScc_Impl::PopulateDirList(LONG, LPCSTR*, POPDIRLISTFUNC, LPVOID, LONG) {
    return traced_stub("PopulateDirList");
}
SCCRTN NRWScc_Impl::QueryChanges(LONG, LPCSTR*, QUERYCHANGESFUNC, LPVOID) {
    return traced_stub("QueryChanges");
}
SCCRTN NRWScc_Impl::GetUserOption(LONG, LPLONG) {
    return traced_stub("GetUserOption");
}
SCCRTN NRWScc_Impl::GetExtendedCapabilities(LONG, LPBOOL lpbSupported) {
    Scope scope("GetExtendedCapabilities");
    store(lpbSupported, BOOL(0));
    return SCC_OK;
}
SCCRTN NRWScc_Impl::EnumChangedFiles(HWND, LONG, LPCSTR*, LONG*) {
    return traced_stub("EnumChangedFiles");
}
SCCRTN NRWScc_Impl::AddFilesFromSCC(HWND, LPSTR, LPSTR, LONG, LPCSTR*, LPCSTR, LPCSTR, LPBOOL) {
    return traced_stub("AddFilesFromSCC");
}
SCCRTN NRWScc_Impl::RemoveDir(HWND, LPSTR, LPCSTR, LPCSTR, LONG, LPVOID) {
    return traced_stub("RemoveDir");
}
