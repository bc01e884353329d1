// The one session of the process: owns the helper program and its two pipes.
#pragma once

#include <string>

#include "framing.h"
#include "platform/platform.h"
#include "requests.h"
#include "responses.h"

class NRWAPIS_Session {
  public:
    NRWAPIS_Session() = default;
    ~NRWAPIS_Session();
    NRWAPIS_Session(const NRWAPIS_Session&) = delete;
    NRWAPIS_Session& operator=(const NRWAPIS_Session&) = delete;

    // One synchronous exchange: 0 success, 1 failure, 2 cancelled in the helper.
    int run_operation(int code, const char* const* files, int count, int mode, nrwapis::Window hwnd,
                      long options, const char* comment,
                      const NRWAPIS_CustomRequest* custom_request, int* statuses, char** op_msg,
                      NRWAPIS_CustomResponse* custom_response);

    int start();
    int launch_helper();
    int write_request(const std::string& text);
    int read_response(std::string& text);
    void shut_down();

    int helper_process_id() const { return m_procInfo.process_id; }
    // The system's number for the last failure of a pipe or the helper's start
    // (GetLastError, errno); 0 until one fails. Callers of the C interface see
    // only its result codes.
    nrwapis::platform::ErrorCode last_os_error() const { return m_lastError; }

  private:
    int relaunch_helper();
    void close_pipes();
    void close_process_handles();
    void close_helper_handles();
    void discard_waiting_bytes();
    void take_waiting_bytes(nrwapis::ResponseFramer& framer);
    void end_helper();

    nrwapis::platform::Handle m_respRead;
    nrwapis::platform::Handle m_reqWrite;
    nrwapis::platform::Handle m_reqRead;
    nrwapis::platform::Handle m_respWrite;
    nrwapis::platform::ProcessInfo m_procInfo;
    nrwapis::platform::ErrorCode m_lastError = 0;
    const NRWAPIS_RequestFactory* m_reqFactory = nullptr;
    const NRWAPIS_ResponseFactory* m_respFactory = nullptr;
};
