/*
 * Client interface of the navigator helper: one session per process owns the
 * helper program; every operation sends one request and returns
 * 0 (success), 1 (failure) or 2 (cancelled in the helper).
 */
#ifndef NRWAPIS_H
#define NRWAPIS_H

#include "nrwapis_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
class NRWAPIS_Session;
#else
typedef struct NRWAPIS_Session NRWAPIS_Session;
#endif

/* A window handle of the caller, pointer-sized and opaque. */
typedef void* nrw_hwnd;

NRWAPIS_API int NRWAPIS_CALL nrw_api_initialize(NRWAPIS_Session** session);
NRWAPIS_API void NRWAPIS_CALL nrw_api_uninitialize(NRWAPIS_Session** session);
NRWAPIS_API int NRWAPIS_CALL nrw_api_get_bg_process_id(NRWAPIS_Session* session);
NRWAPIS_API void NRWAPIS_CALL nrw_api_free_op_msg(char* msg);

NRWAPIS_API int NRWAPIS_CALL nrw_api_add(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                         const char** files, int count, int mode, long options,
                                         const char* comment, int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_checkin(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                             const char** files, int count, int mode, long options,
                                             const char* comment, int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_checkout(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                              const char** files, int count, int mode, long options,
                                              const char* comment, int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_cancel(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                            const char** files, int count, int mode, long options,
                                            int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_rename(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                            const char** files, int count, const char** new_names,
                                            int mode, long options, const char* comment,
                                            int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_remove(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                            const char** files, int count, int mode, long options,
                                            const char* comment, int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_query(NRWAPIS_Session* session, const char* path, long options,
                                           long* result);
NRWAPIS_API int NRWAPIS_CALL nrw_api_compare_with_pred(NRWAPIS_Session* session, const char* path);
NRWAPIS_API int NRWAPIS_CALL nrw_api_history(NRWAPIS_Session* session, const char* path);
NRWAPIS_API int NRWAPIS_CALL nrw_api_property(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                              const char* path);
NRWAPIS_API int NRWAPIS_CALL nrw_api_launch_nrw(NRWAPIS_Session* session);
NRWAPIS_API int NRWAPIS_CALL nrw_api_update(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                            const char** files, int count, int mode, long options,
                                            int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_restore(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                             const char** files, int count, int mode, long options,
                                             int* statuses, char** op_msg);
NRWAPIS_API int NRWAPIS_CALL nrw_api_refresh(NRWAPIS_Session* session, nrw_hwnd hwnd,
                                             const char* path, int mode, long options);
NRWAPIS_API int NRWAPIS_CALL nrw_api_vtree(NRWAPIS_Session* session, const char* path);
NRWAPIS_API int NRWAPIS_CALL nrw_api_deliver(NRWAPIS_Session* session, const char* path,
                                             const char* stream, const char* target,
                                             const char* to_view, long options);
NRWAPIS_API int NRWAPIS_CALL nrw_api_find_merge(NRWAPIS_Session* session);
NRWAPIS_API int NRWAPIS_CALL nrw_api_rebase(NRWAPIS_Session* session, const char* path,
                                            const char* stream, const char* view, long options);

#ifdef __cplusplus
}
#endif

#endif
