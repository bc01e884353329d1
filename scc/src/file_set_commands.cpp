// Checkout, undo checkout, checkin, remove and get: the whole list goes to the
// helper in one request, and its answer becomes the host's result.
#include "nrwapis.h"
#include "provider.h"
#include "provider_state.h"
#include "trace_scope.h"

namespace nrwscc {

enum class FileLine { path, indexed_name, indexed_file };

// What sets the five commands apart.
struct FileSetRules {
    const char* operation;
    const char* header;  // may use the file count; null when there is none
    FileLine file_line;
    bool sak_rule;
    // Cancelled answers come back as such and the host window is raised; get
    // treats a cancel as any other failure and never raises.
    bool dialog_command;
    const char* failure;
    int (*call)(NRWAPIS_Session* session, HWND window, LPCSTR* files, LONG count);
};

namespace {

const FileSetRules kCheckout = {"Checkout",
                                "calling Checkout with files:",
                                FileLine::path,
                                true,
                                true,
                                "nrw_api_checkout failed",
                                [](NRWAPIS_Session* s, HWND w, LPCSTR* f, LONG n) {
                                    return nrw_api_checkout(s, w, f, static_cast<int>(n), 0, 0,
                                                            nullptr, nullptr, nullptr);
                                }};
const FileSetRules kUncheckout = {"Uncheckout",
                                  "calling nrw_api_cancel with files:",
                                  FileLine::path,
                                  true,
                                  true,
                                  "nrw_api_cancel failed",
                                  [](NRWAPIS_Session* s, HWND w, LPCSTR* f, LONG n) {
                                      return nrw_api_cancel(s, w, f, static_cast<int>(n), 2, 0,
                                                            nullptr, nullptr);
                                  }};
const FileSetRules kCheckin = {"Checkin",
                               "calling nrw_api_checkin with files:",
                               FileLine::path,
                               false,
                               true,
                               " nrw_api_checkin failed",
                               [](NRWAPIS_Session* s, HWND w, LPCSTR* f, LONG n) {
                                   return nrw_api_checkin(s, w, f, static_cast<int>(n), 2, 0,
                                                          nullptr, nullptr, nullptr);
                               }};
const FileSetRules kRemove = {"Remove",
                              nullptr,
                              FileLine::indexed_name,
                              true,
                              true,
                              "nrw_api_remove failed",
                              [](NRWAPIS_Session* s, HWND w, LPCSTR* f, LONG n) {
                                  return nrw_api_remove(s, w, f, static_cast<int>(n), 2, 0, nullptr,
                                                        nullptr, nullptr);
                              }};
const FileSetRules kGet = {"Get",
                           "No. of files in Get : %d",
                           FileLine::indexed_file,
                           false,
                           false,
                           " nrw_api_update failed",
                           [](NRWAPIS_Session* s, HWND w, LPCSTR* f, LONG n) {
                               return nrw_api_update(s, w, f, static_cast<int>(n), 0, 0, nullptr,
                                                     nullptr);
                           }};

void trace_file(Scope& scope, FileLine style, LONG index, LPCSTR path) {
    switch (style) {
        case FileLine::path:
            scope.writeText(path);
            break;
        case FileLine::indexed_name:
            scope.writeTrace("FileName[%d] : %s ", static_cast<int>(index), path);
            break;
        case FileLine::indexed_file:
            scope.writeTrace("File [%d] : %s", static_cast<int>(index), path);
            break;
    }
}

}  // namespace

}  // namespace nrwscc

using namespace nrwscc;

SCCRTN NRWScc_Impl::runFileSetCommand(const FileSetRules& rules, HWND hWnd, LONG nFiles,
                                      LPCSTR* lpFileNames) const {
    Scope scope(rules.operation);
    if (!isProjectOpen()) return SCC_E_PROJNOTOPEN;
    if (rules.header != nullptr) scope.writeTrace(rules.header, static_cast<int>(nFiles));
    for (LONG i = 0; i < nFiles; ++i) {
        trace_file(scope, rules.file_line, i, lpFileNames[i]);
        if (rules.sak_rule && is_sak_file(lpFileNames[i])) {
            scope.writeText("Got a sak file !!!!!!!!!!!!!!!!");
            return SCC_OK;
        }
    }
    resolveParentWindow(hWnd);
    const int result = rules.call(current_session(), hWnd, lpFileNames, nFiles);
    if (rules.dialog_command) {
        if (result == 2) return SCC_I_OPERATIONCANCELED;
        raiseHostWindow(hWnd);
    }
    if (result != 0) {
        scope.writeText(rules.failure);
        return SCC_E_UNKNOWNERROR;
    }
    return SCC_OK;
}

SCCRTN NRWScc_Impl::Checkout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR, LONG, LPVOID) {
    return runFileSetCommand(kCheckout, hWnd, nFiles, lpFileNames);
}

SCCRTN NRWScc_Impl::Uncheckout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG, LPVOID) {
    return runFileSetCommand(kUncheckout, hWnd, nFiles, lpFileNames);
}

SCCRTN NRWScc_Impl::Checkin(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR, LONG, LPVOID) {
    return runFileSetCommand(kCheckin, hWnd, nFiles, lpFileNames);
}

SCCRTN NRWScc_Impl::Remove(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR, LONG, LPVOID) {
    return runFileSetCommand(kRemove, hWnd, nFiles, lpFileNames);
}

SCCRTN NRWScc_Impl::Get(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG, LPVOID) {
    return runFileSetCommand(kGet, hWnd, nFiles, lpFileNames);
}
