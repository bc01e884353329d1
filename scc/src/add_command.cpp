// Add: every file is asked about first; those the helper will not take are shown
// to the user, and the rest go to the helper in one add.
#include <new>
#include <vector>

#include "nrw_identity.h"
#include "nrwapis.h"
#include "platform/system.h"
#include "provider.h"
#include "provider_state.h"
#include "trace_scope.h"

using namespace nrwscc;

namespace {

constexpr long kAddabilityQuery = 1;
constexpr DWORD kTextWarning = 2;
const wchar_t kRefusedText[] =
    L"Some files will not be added to source because they are outside of vob path or invalid";
constexpr const char* kRefusedHeader =
    "Following files will not be added to source because they are outside a vob path  or "
    "invalid:";

}  // namespace

void NRWScc_Impl::sendText(const char* text) const {
    if (const LPTEXTOUTPROC text_out = textOutProc()) text_out(text, kTextWarning);
}

SCCRTN NRWScc_Impl::Add(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR, LONG*, LPVOID) {
    Scope scope("Add");
    scope.writeTrace("calling AddToSource with %d files:", static_cast<int>(nFiles));
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    for (LONG i = 0; i < nFiles; ++i) {
        scope.writeTrace("FileName[%d] : %s ", static_cast<int>(i), lpFileNames[i]);
        if (is_sak_file(lpFileNames[i])) {
            scope.writeText("Got a sak file !!!!!!!!!!!!!!!!");
            return SCC_OK;
        }
    }
    // An empty list has nothing to ask about and nothing to add.
    if (nFiles <= 0) return SCC_OK;
    return classifyAndAdd(scope, hWnd, nFiles, lpFileNames);
}

SCCRTN NRWScc_Impl::classifyAndAdd(Scope& scope, HWND hWnd, LONG nFiles,
                                   LPCSTR* lpFileNames) const {
    // All working memory is taken before the helper is asked anything.
    std::vector<unsigned char> addable;
    std::vector<LPCSTR> add_list;
    try {
        addable.assign(static_cast<std::size_t>(nFiles), 0);
        add_list.reserve(static_cast<std::size_t>(nFiles));
    } catch (const std::bad_alloc&) {
        scope.writeText("not enough memory for the list of files");
        return SCC_E_UNKNOWNERROR;
    }

    NRWAPIS_Session* session = current_session();
    int last_query = 0;
    LONG refused = 0;
    for (LONG i = 0; i < nFiles; ++i) {
        long status = 0;
        last_query = nrw_api_query(session, lpFileNames[i], kAddabilityQuery, &status);
        addable[i] = last_query != 1 && status == 0;
        if (!addable[i]) ++refused;
    }
    if (refused > 0) {
        // Owned by the window the host gave, as it gave it.
        platform::show_message_box(hWnd, kRefusedText, nrw::kMessageCaption);
        sendText(kRefusedHeader);
    }
    for (LONG i = 0; i < nFiles; ++i) {
        if (addable[i]) {
            add_list.push_back(lpFileNames[i]);
            scope.writeTrace(" file %s in ready for add to src", lpFileNames[i]);
        } else {
            sendText(lpFileNames[i]);
        }
    }
    scope.writeText("Now calling nrw_api_add");

    // With nothing left to add, the last query's answer stands for the add.
    int result = last_query;
    if (!add_list.empty()) {
        resolveParentWindow(hWnd);
        result = nrw_api_add(session, hWnd, add_list.data(), static_cast<int>(add_list.size()), 2,
                             0, nullptr, nullptr, nullptr);
        if (result == 2) return SCC_I_OPERATIONCANCELED;
        raiseHostWindow(hWnd);
    }
    if (result != 0) {
        scope.writeText(" nrw_api_add failed");
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}
