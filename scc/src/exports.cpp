// The Source Code Control API entry points. Each either answers by itself or
// hands its arguments to the provider object behind the host's context.
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>

#include "platform/system.h"
#include "provider.h"
#include "provider_state.h"

namespace {

// Providers handed to the host and not yet uninitialized. A context that is not
// among them is refused instead of being called through. A command holds its
// provider for as long as it runs, so an uninitialize on another thread only
// takes the entry away; the object goes with the last command that uses it.
class LiveProviders {
  public:
    using Provider = std::shared_ptr<NRWScc_Base>;

    void add(const Provider& provider) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_live.emplace(provider.get(), provider);
    }
    Provider find(LPVOID context) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_live.find(static_cast<NRWScc_Base*>(context));
        return found != m_live.end() ? found->second : nullptr;
    }
    // Only one caller gets the provider; later calls with the context are refused.
    Provider take(LPVOID context) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_live.find(static_cast<NRWScc_Base*>(context));
        if (found == m_live.end()) return nullptr;
        Provider provider = std::move(found->second);
        m_live.erase(found);
        return provider;
    }

  private:
    std::mutex m_lock;
    std::map<NRWScc_Base*, Provider> m_live;
};

LiveProviders& live_providers() {
    static LiveProviders providers;
    return providers;
}

// No exception may cross into the host.
template <class Call>
SCCRTN forward(LPVOID context, Call call) {
    try {
        const LiveProviders::Provider provider = live_providers().find(context);
        return provider != nullptr ? call(*provider) : SCC_E_UNKNOWNERROR;
    } catch (...) {
        return SCC_E_UNKNOWNERROR;
    }
}

// A negative count is a broken host, not an empty list.
bool sound_file_list(LONG count, LPCSTR* names) {
    if (count < 0) return false;
    if (count == 0) return true;
    if (names == nullptr) return false;
    for (LONG i = 0; i < count; ++i)
        if (names[i] == nullptr) return false;
    return true;
}

// Commands on a list of files: an unsound list is refused before anything is sent.
template <class Call>
SCCRTN forward_files(LPVOID context, LONG count, LPCSTR* names, Call call) {
    if (!sound_file_list(count, names)) return SCC_E_UNKNOWNERROR;
    return forward(context, call);
}

// Commands on one or two named files: a missing name is refused likewise.
template <class Call>
SCCRTN forward_paths(LPVOID context, std::initializer_list<LPCSTR> paths, Call call) {
    for (LPCSTR path : paths)
        if (path == nullptr) return SCC_E_UNKNOWNERROR;
    return forward(context, call);
}

}  // namespace

extern "C" {

LONG SCC_CALL SccGetVersion(void) {
    return nrw::kSccApiVersion;
}

SCCRTN SCC_CALL SccInitialize(LPVOID* ppContext, HWND hWnd, LPCSTR lpCallerName, LPSTR lpSccName,
                              LPLONG lpSccCaps, LPSTR lpAuxPathLabel, LPLONG pnCheckoutCommentLen,
                              LPLONG pnCommentLen) {
    if (ppContext == nullptr) return SCC_E_INITIALIZEFAILED;
    *ppContext = nullptr;
    try {
        // Nothing may call into a client library that is missing or incomplete:
        // the failure would end the host.
        if (!nrwscc::platform::bind_client_library()) return SCC_E_INITIALIZEFAILED;
        const LiveProviders::Provider provider(NRWScc_Impl::createProvider());
        if (provider == nullptr) return SCC_E_INITIALIZEFAILED;
        const SCCRTN result =
            provider->Initialize(hWnd, lpCallerName, lpSccName, lpSccCaps, lpAuxPathLabel,
                                 pnCheckoutCommentLen, pnCommentLen);
        if (result < 0) return result;
        live_providers().add(provider);
        *ppContext = provider.get();
        return SCC_OK;
    } catch (...) {
        return SCC_E_INITIALIZEFAILED;
    }
}

SCCRTN SCC_CALL SccUninitialize(LPVOID pContext) {
    try {
        const LiveProviders::Provider provider = live_providers().take(pContext);
        return provider != nullptr ? provider->UnInitialize() : SCC_E_UNKNOWNERROR;
    } catch (...) {
        return SCC_E_UNKNOWNERROR;
    }
}

SCCRTN SCC_CALL SccOpenProject(LPVOID pContext, HWND hWnd, LPSTR lpUser, LPSTR lpProjName,
                               LPCSTR lpLocalProjPath, LPSTR lpAuxProjPath, LPCSTR lpComment,
                               LPTEXTOUTPROC lpTextOutProc, LONG dwFlags) {
    return forward(pContext, [&](NRWScc_Base& p) {
        return p.OpenProject(hWnd, lpUser, lpProjName, lpLocalProjPath, lpAuxProjPath, lpComment,
                             lpTextOutProc, dwFlags);
    });
}

SCCRTN SCC_CALL SccCloseProject(LPVOID pContext) {
    return forward(pContext, [](NRWScc_Base& p) { return p.CloseProject(); });
}

SCCRTN SCC_CALL SccCheckout(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                            LPCSTR lpComment, LONG fOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Checkout(hWnd, nFiles, lpFileNames, lpComment, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccUncheckout(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                              LONG fOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Uncheckout(hWnd, nFiles, lpFileNames, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccCheckin(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                           LPCSTR lpComment, LONG fOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Checkin(hWnd, nFiles, lpFileNames, lpComment, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccAdd(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                       LPCSTR lpComment, LONG* pfOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Add(hWnd, nFiles, lpFileNames, lpComment, pfOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccRemove(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                          LPCSTR lpComment, LONG fOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Remove(hWnd, nFiles, lpFileNames, lpComment, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccGet(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                       LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.Get(hWnd, nFiles, lpFileNames, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccDiff(LPVOID pContext, HWND hWnd, LPCSTR lpFileName, LONG fOptions,
                        LPVOID pvOptions) {
    return forward_paths(pContext, {lpFileName}, [&](NRWScc_Base& p) {
        return p.Diff(hWnd, lpFileName, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccDirDiff(LPVOID, HWND, LPCSTR, LONG, LPVOID) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccHistory(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                           LONG fOptions, LPVOID pvOptions) {
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.History(hWnd, nFiles, lpFileNames, fOptions, pvOptions);
    });
}

SCCRTN SCC_CALL SccQueryInfo(LPVOID pContext, LONG nFiles, LPCSTR* lpFileNames, LPLONG lpStatus) {
    // Every file's status goes somewhere.
    if (nFiles > 0 && lpStatus == nullptr) return SCC_E_UNKNOWNERROR;
    return forward_files(pContext, nFiles, lpFileNames, [&](NRWScc_Base& p) {
        return p.QueryInfo(nFiles, lpFileNames, lpStatus);
    });
}

SCCRTN SCC_CALL SccDirQueryInfo(LPVOID pContext, LONG nDirs, LPCSTR* lpDirNames, LPLONG lpStatus) {
    return forward(pContext,
                   [&](NRWScc_Base& p) { return p.DirQueryInfo(nDirs, lpDirNames, lpStatus); });
}

SCCRTN SCC_CALL SccGetEvents(LPVOID pContext, LPSTR lpFileName, LPLONG lpStatus,
                             LPLONG pnEventsRemaining) {
    return forward(pContext, [&](NRWScc_Base& p) {
        return p.GetEvents(lpFileName, lpStatus, pnEventsRemaining);
    });
}

SCCRTN SCC_CALL SccRunScc(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames) {
    return forward_files(pContext, nFiles, lpFileNames,
                         [&](NRWScc_Base& p) { return p.RunScc(hWnd, nFiles, lpFileNames); });
}

SCCRTN SCC_CALL SccGetProjPath(LPVOID pContext, HWND hWnd, LPSTR lpUser, LPSTR lpProjName,
                               LPSTR lpLocalPath, LPSTR lpAuxProjPath, BOOL bAllowChangePath,
                               LPBOOL pbNew) {
    return forward(pContext, [&](NRWScc_Base& p) {
        return p.GetProjPath(hWnd, lpUser, lpProjName, lpLocalPath, lpAuxProjPath, bAllowChangePath,
                             pbNew);
    });
}

SCCRTN SCC_CALL SccGetCommandOptions(LPVOID pContext, HWND hWnd, enum SCCCOMMAND iCommand,
                                     LPCMDOPTS* ppvOptions) {
    return forward(pContext,
                   [&](NRWScc_Base& p) { return p.GetCommandOptions(hWnd, iCommand, ppvOptions); });
}

SCCRTN SCC_CALL SccBeginBatch(void) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccEndBatch(void) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccRename(LPVOID pContext, HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName) {
    return forward_paths(pContext, {lpFileName, lpNewName},
                         [&](NRWScc_Base& p) { return p.Rename(hWnd, lpFileName, lpNewName); });
}

SCCRTN SCC_CALL SccAddFromScc(LPVOID pContext, HWND hWnd, LPLONG pnFiles, LPCSTR** lplpFileNames) {
    return forward(pContext,
                   [&](NRWScc_Base& p) { return p.AddFromScc(hWnd, pnFiles, lplpFileNames); });
}

SCCRTN SCC_CALL SccProperties(LPVOID pContext, HWND hWnd, LPCSTR lpFileName) {
    return forward_paths(pContext, {lpFileName},
                         [&](NRWScc_Base& p) { return p.Properties(hWnd, lpFileName); });
}

SCCRTN SCC_CALL SccPopulateList(LPVOID pContext, enum SCCCOMMAND nCommand, LONG nFiles,
                                LPCSTR* lpFileNames, POPLISTFUNC pfnPopulate, LPVOID pvCallerData,
                                LPLONG lpStatus, LONG fOptions) {
    return forward(pContext, [&](NRWScc_Base& p) {
        return p.PopulateList(nCommand, nFiles, lpFileNames, pfnPopulate, pvCallerData, lpStatus,
                              fOptions);
    });
}

SCCRTN SCC_CALL SccSetOption(LPVOID pContext, LONG nOption, LONG_PTR dwVal) {
    return forward(pContext, [&](NRWScc_Base& p) { return p.SetOption(nOption, dwVal); });
}

SCCRTN SCC_CALL SccCreateSubProject(LPVOID, HWND, LPSTR, LPCSTR, LPCSTR, LPSTR, LPSTR) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccGetParentProjectPath(LPVOID, HWND, LPSTR, LPCSTR, LPSTR, LPSTR) {
    return SCC_OK;
}

// The self-answering exports with outputs fill them with the answer that means
// "no": a host that does not look at the capability bits first reads that, not
// whatever its memory held.
SCCRTN SCC_CALL SccIsMultiCheckoutEnabled(LPVOID, LPBOOL pbMultiCheckout) {
    if (pbMultiCheckout != nullptr) *pbMultiCheckout = 0;
    return SCC_OK;
}

SCCRTN SCC_CALL SccWillCreateSccFile(LPVOID, LONG nFiles, LPCSTR*, LPBOOL pbSccFiles) {
    if (pbSccFiles != nullptr)
        for (LONG i = 0; i < nFiles; ++i) pbSccFiles[i] = 0;
    return SCC_OK;
}

SCCRTN SCC_CALL SccBackgroundGet(LPVOID, LONG, LPCSTR*, LONG, LONG) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccPopulateDirList(LPVOID pContext, LONG nDirs, LPCSTR* lpDirPaths,
                                   POPDIRLISTFUNC pfnPopulate, LPVOID pvCallerData, LONG dwFlags) {
    return forward(pContext, [&](NRWScc_Base& p) {
        return p.PopulateDirList(nDirs, lpDirPaths, pfnPopulate, pvCallerData, dwFlags);
    });
}

SCCRTN SCC_CALL SccQueryChanges(LPVOID, LONG, LPCSTR*, QUERYCHANGESFUNC, LPVOID) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccGetUserOption(LPVOID, LONG, LPLONG lpVal) {
    if (lpVal != nullptr) *lpVal = 0;
    return SCC_OK;
}

SCCRTN SCC_CALL SccGetExtendedCapabilities(LPVOID, LONG, LPBOOL lpbSupported) {
    if (lpbSupported != nullptr) *lpbSupported = 0;
    return SCC_OK;
}

SCCRTN SCC_CALL SccEnumChangedFiles(LPVOID, HWND, LONG, LPCSTR*, LONG*) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccAddFilesFromSCC(LPVOID, HWND, LPSTR, LPSTR, LONG, LPCSTR*, LPCSTR, LPCSTR,
                                   LPBOOL) {
    return SCC_OK;
}

SCCRTN SCC_CALL SccRemoveDir(LPVOID, HWND, LPSTR, LPCSTR, LPCSTR, LONG, LPVOID) {
    return SCC_OK;
}

}  // extern "C"
