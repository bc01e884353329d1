// The flat C interface. Every call is serialised on one process-wide lock: the
// plug-in announces itself reentrant, and two threads on one pipe would read
// each other's answers.
#include <memory>
#include <mutex>

#include "nrwapis.h"
#include "protocol_text.h"
#include "session.h"

namespace {

namespace protocol = nrwapis::protocol;

std::mutex& exchange_lock() {
    static std::mutex lock;
    return lock;
}

// The one session of the process. Only nrw_api_uninitialize ends it: unloading
// the library or leaving the process tears nothing down, so a helper that was
// never uninitialized keeps running until its input closes.
NRWAPIS_Session*& session_slot() {
    static NRWAPIS_Session* slot = nullptr;
    return slot;
}

struct Operation {
    int code;
    nrwapis::Window hwnd = nullptr;
    const char* const* files = nullptr;
    int count = 0;
    int mode = 0;
    long options = 0;
    const char* comment = nullptr;
    const NRWAPIS_CustomRequest* custom_request = nullptr;
    int* statuses = nullptr;
    char** op_msg = nullptr;
    NRWAPIS_CustomResponse* custom_response = nullptr;
};

bool is_acceptable(const Operation& op) {
    if (!nrwapis::is_request_mode(op.mode)) return false;
    if (op.count > 0 && op.files == nullptr) return false;
    return nrwapis::are_safe_names(op.files, op.count) && nrwapis::is_safe_text(op.comment);
}

// Nothing is written unless the session is the live one and every argument is sound.
int dispatch(NRWAPIS_Session* session, const Operation& op) {
    try {
        if (session == nullptr || !is_acceptable(op)) return 1;
        std::lock_guard<std::mutex> guard(exchange_lock());
        if (session != session_slot()) return 1;
        return session->run_operation(op.code, op.files, op.count, op.mode, op.hwnd, op.options,
                                      op.comment, op.custom_request, op.statuses, op.op_msg,
                                      op.custom_response);
    } catch (...) {
        return 1;
    }
}

Operation file_set_operation(int code, nrw_hwnd hwnd, const char** files, int count, int mode,
                             long options, const char* comment, int* statuses, char** op_msg) {
    Operation op{code};
    op.hwnd = hwnd;
    op.files = files;
    op.count = count;
    op.mode = mode;
    op.options = options;
    op.comment = comment;
    op.statuses = statuses;
    op.op_msg = op_msg;
    return op;
}

// Operations on one path send a file set of that one name, in mode 0 unless told.
Operation path_operation(int code, const char* const* path_set) {
    Operation op{code};
    op.files = path_set;
    op.count = 1;
    return op;
}

int simple_path_operation(NRWAPIS_Session* session, int code, const char* path) {
    const char* path_set[] = {path};
    return dispatch(session, path_operation(code, path_set));
}

}  // namespace

extern "C" {

int nrw_api_initialize(NRWAPIS_Session** session) {
    if (session == nullptr) return 1;
    *session = nullptr;
    try {
        std::lock_guard<std::mutex> guard(exchange_lock());
        auto& slot = session_slot();
        // A second session would orphan the first one's helper.
        if (slot != nullptr) return 1;
        std::unique_ptr<NRWAPIS_Session> started(new (std::nothrow) NRWAPIS_Session);
        if (!started || started->start() != 0) return 1;
        slot = started.release();
        *session = slot;
        return 0;
    } catch (...) {
        return 1;
    }
}

void nrw_api_uninitialize(NRWAPIS_Session** session) {
    if (session == nullptr || *session == nullptr) return;
    try {
        std::lock_guard<std::mutex> guard(exchange_lock());
        auto& slot = session_slot();
        if (*session == slot) {
            delete slot;
            slot = nullptr;
        }
        *session = nullptr;
    } catch (...) {
    }
}

int nrw_api_get_bg_process_id(NRWAPIS_Session* session) {
    if (session == nullptr) return -1;
    try {
        std::lock_guard<std::mutex> guard(exchange_lock());
        if (session != session_slot()) return -1;
        return session->helper_process_id();
    } catch (...) {
        return -1;
    }
}

void nrw_api_free_op_msg(char* msg) {
    delete[] msg;
}

int nrw_api_add(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count, int mode,
                long options, const char* comment, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kAdd, hwnd, files, count, mode,
                                                options, comment, statuses, op_msg));
}

int nrw_api_checkin(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count,
                    int mode, long options, const char* comment, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kCheckin, hwnd, files, count, mode,
                                                options, comment, statuses, op_msg));
}

int nrw_api_checkout(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count,
                     int mode, long options, const char* comment, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kCheckout, hwnd, files, count, mode,
                                                options, comment, statuses, op_msg));
}

int nrw_api_cancel(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count, int mode,
                   long options, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kCancelCheckout, hwnd, files, count,
                                                mode, options, nullptr, statuses, op_msg));
}

int nrw_api_rename(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count,
                   const char** new_names, int mode, long options, const char* comment,
                   int* statuses, char** op_msg) {
    if (!nrwapis::are_safe_names(new_names, count)) return 1;
    const NRWAPIS_CustomRenameRequest rename(new_names, count);
    Operation op = file_set_operation(protocol::op::kRename, hwnd, files, count, mode, options,
                                      comment, statuses, op_msg);
    op.custom_request = &rename;
    return dispatch(session, op);
}

int nrw_api_remove(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count, int mode,
                   long options, const char* comment, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kRemove, hwnd, files, count, mode,
                                                options, comment, statuses, op_msg));
}

int nrw_api_query(NRWAPIS_Session* session, const char* path, long options, long* result) {
    if (result == nullptr) return 1;
    NRWAPIS_CustomQueryResponse query(result);
    const char* path_set[] = {path};
    Operation op = path_operation(protocol::op::kQuery, path_set);
    op.mode = 1;
    op.options = options;
    op.custom_response = &query;
    return dispatch(session, op);
}

int nrw_api_compare_with_pred(NRWAPIS_Session* session, const char* path) {
    return simple_path_operation(session, protocol::op::kCompareWithPredecessor, path);
}

int nrw_api_history(NRWAPIS_Session* session, const char* path) {
    return simple_path_operation(session, protocol::op::kHistory, path);
}

int nrw_api_property(NRWAPIS_Session* session, nrw_hwnd hwnd, const char* path) {
    const char* path_set[] = {path};
    Operation op = path_operation(protocol::op::kProperties, path_set);
    op.hwnd = hwnd;
    return dispatch(session, op);
}

int nrw_api_launch_nrw(NRWAPIS_Session* session) {
    return dispatch(session, Operation{protocol::op::kLaunch});
}

int nrw_api_update(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count, int mode,
                   long options, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kUpdate, hwnd, files, count, mode,
                                                options, nullptr, statuses, op_msg));
}

int nrw_api_restore(NRWAPIS_Session* session, nrw_hwnd hwnd, const char** files, int count,
                    int mode, long options, int* statuses, char** op_msg) {
    return dispatch(session, file_set_operation(protocol::op::kRestore, hwnd, files, count, mode,
                                                options, nullptr, statuses, op_msg));
}

int nrw_api_refresh(NRWAPIS_Session* session, nrw_hwnd hwnd, const char* path, int mode,
                    long options) {
    const char* path_set[] = {path};
    Operation op = path_operation(protocol::op::kRefresh, path_set);
    op.hwnd = hwnd;
    op.mode = mode;
    op.options = options;
    return dispatch(session, op);
}

int nrw_api_vtree(NRWAPIS_Session* session, const char* path) {
    return simple_path_operation(session, protocol::op::kVersionTree, path);
}

int nrw_api_deliver(NRWAPIS_Session* session, const char* path, const char* stream,
                    const char* target, const char* to_view, long options) {
    if (!nrwapis::is_safe_text(stream) || !nrwapis::is_safe_text(target) ||
        !nrwapis::is_safe_text(to_view))
        return 1;
    const NRWAPIS_CustomDeliverRequest deliver(stream, target, to_view);
    const char* path_set[] = {path};
    Operation op = path_operation(protocol::op::kDeliver, path_set);
    op.options = options;
    op.custom_request = &deliver;
    return dispatch(session, op);
}

int nrw_api_find_merge(NRWAPIS_Session* session) {
    return dispatch(session, Operation{protocol::op::kFindMerge});
}

int nrw_api_rebase(NRWAPIS_Session* session, const char* path, const char* stream, const char* view,
                   long options) {
    if (!nrwapis::is_safe_text(stream) || !nrwapis::is_safe_text(view)) return 1;
    const NRWAPIS_CustomRebaseRequest rebase(stream, view);
    const char* path_set[] = {path};
    Operation op = path_operation(protocol::op::kRebase, path_set);
    op.options = options;
    op.custom_request = &rebase;
    return dispatch(session, op);
}

}  // extern "C"
