// Commands that inform rather than change: status query, diff, history,
// properties, and bringing up the helper itself.
#include "nrwapis.h"
#include "provider.h"
#include "provider_state.h"
#include "trace_scope.h"

using namespace nrwscc;

namespace {

// The three helper status bits the host's status is made of.
constexpr long kControlled = 0x1;
constexpr long kCheckedOut = 0x2;
constexpr long kModified = 0x8;
constexpr long kStatusQuery = kControlled | kCheckedOut | kModified;
// Diff flags by which the host asks only whether the file changed.
constexpr LONG kQuickDiffFlags = 0x70;

LONG host_status(long helper_status) {
    LONG status = SCC_STATUS_NOTCONTROLLED;
    if ((helper_status & kControlled) != 0) status |= SCC_STATUS_CONTROLLED;
    if ((helper_status & kCheckedOut) != 0) status |= SCC_STATUS_CHECKEDOUT | SCC_STATUS_OUTBYUSER;
    if ((helper_status & kModified) != 0) status |= SCC_STATUS_MODIFIED;
    return status;
}

}  // namespace

SCCRTN NRWScc_Impl::QueryInfo(LONG nFiles, LPCSTR* lpFileNames, LPLONG lpStatus) {
    Scope scope("QueryInfo");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    NRWAPIS_Session* session = current_session();
    for (LONG i = 0; i < nFiles; ++i) {
        const LPCSTR path = lpFileNames[i];
        lpStatus[i] = SCC_STATUS_NOTCONTROLLED;
        scope.writeTrace("Querying for File[%d] : %s", static_cast<int>(nFiles - 1 - i), path);
        if (!isFilePresent(path)) {
            lpStatus[i] = SCC_STATUS_INVALID;
        } else {
            long helper_status = 0;
            if (nrw_api_query(session, path, kStatusQuery, &helper_status) != 0) {
                scope.writeTrace("Error returned from nrw_api_query and status is : %ld",
                                 helper_status);
                lpStatus[i] = SCC_STATUS_INVALID;
            } else {
                lpStatus[i] = host_status(helper_status);
            }
        }
        scope.writeTrace("File:%s status:%ld ", path, static_cast<long>(lpStatus[i]));
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::Diff(HWND, LPCSTR lpFileName, LONG fOptions, LPVOID) {
    Scope scope("Diff");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    scope.writeTrace("FileName : %s ", lpFileName);
    // The host only asks whether the file changed, without a window: the
    // helper's status says, and a file it cannot speak for is never "unchanged".
    if ((fOptions & kQuickDiffFlags) != 0) {
        scope.writeText("Non graphical diff");
        return quickDiff(scope, lpFileName);
    }
    const int result = nrw_api_compare_with_pred(current_session(), lpFileName);
    activateHelperWindow();
    if (result != 0) {
        scope.writeText(" nrw_api_compare_with_pred failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::quickDiff(Scope& scope, LPCSTR lpFileName) {
    if (!isFilePresent(lpFileName)) return SCC_E_UNKNOWNERROR;
    long helper_status = 0;
    if (nrw_api_query(current_session(), lpFileName, kStatusQuery, &helper_status) != 0) {
        scope.writeTrace("Error returned from nrw_api_query and status is : %ld", helper_status);
        return SCC_E_UNKNOWNERROR;
    }
    if ((helper_status & kControlled) == 0) return SCC_E_UNKNOWNERROR;
    return (helper_status & kModified) != 0 ? SCC_I_FILEDIFFERS : SCC_OK;
}

SCCRTN NRWScc_Impl::History(HWND, LONG nFiles, LPCSTR* lpFileNames, LONG, LPVOID) {
    Scope scope("History");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    // Only the first file is shown; without one there is nothing to show.
    if (nFiles < 1 || lpFileNames == nullptr) return SCC_E_UNKNOWNERROR;
    const int result = nrw_api_history(current_session(), lpFileNames[0]);
    activateHelperWindow();
    if (result != 0) {
        scope.writeText(" nrw_api_history failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::Properties(HWND hWnd, LPCSTR lpFileName) {
    Scope scope("Properties");
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    scope.writeTrace("Property of file : %s", lpFileName);
    resolveParentWindow(hWnd);
    if (nrw_api_property(current_session(), hWnd, lpFileName) != 0) {
        scope.writeText("nrw_api_property failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::RunScc(HWND, LONG nFiles, LPCSTR* lpFileNames) {
    Scope scope("RunScc");
    scope.writeTrace("No. of files : %d", static_cast<int>(nFiles));
    for (LONG i = 0; i < nFiles; ++i)
        scope.writeTrace("File[%d] : %s ", static_cast<int>(i), lpFileNames[i]);
    const int result = nrw_api_launch_nrw(current_session());
    activateHelperWindow();
    if (result != 0) {
        scope.writeText("nrw_api_launch_nrw failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}
