#include "session.h"

#include <algorithm>

#include "command_line.h"
#include "framing.h"

namespace platform = nrwapis::platform;

namespace {
constexpr std::size_t kReadChunk = 4096;
}

NRWAPIS_Session::~NRWAPIS_Session() {
    shut_down();
}

int NRWAPIS_Session::run_operation(int code, const char* const* files, int count, int mode,
                                   nrwapis::Window hwnd, long options, const char* comment,
                                   const NRWAPIS_CustomRequest* custom_request, int* statuses,
                                   char** op_msg, NRWAPIS_CustomResponse* custom_response) {
    if (m_reqFactory == nullptr || m_respFactory == nullptr) return 1;
    std::string request_text;
    {
        auto request = m_reqFactory->create_request(mode, hwnd, code, files, count, options,
                                                    comment, custom_request);
        if (!request) return 1;
        request->encode(request_text);
    }
    auto response = m_respFactory->create_response(mode);
    if (!response) return 1;
    if (write_request(request_text) != 0) return 1;
    std::string response_text;
    if (read_response(response_text) != 0) return 1;
    return response->decode(response_text, count, statuses, op_msg, custom_response);
}

int NRWAPIS_Session::start() {
    if (!platform::create_pipe(m_respRead, m_respWrite, m_lastError)) return 1;
    if (!platform::make_non_inheritable(m_respRead, m_lastError)) return 1;
    if (!platform::create_pipe(m_reqRead, m_reqWrite, m_lastError)) return 1;
    if (!platform::make_non_inheritable(m_reqWrite, m_lastError)) return 1;
    if (launch_helper() != 0) return 1;
    m_reqFactory = NRWAPIS_RequestFactory::instance();
    m_respFactory = NRWAPIS_ResponseFactory::instance();
    return 0;
}

int NRWAPIS_Session::launch_helper() {
    const std::string executable = platform::helper_executable();
    if (executable.empty()) return 1;
    m_procInfo = platform::ProcessInfo();
    const bool started = platform::spawn_process(executable, nrwapis::helper_arguments(), m_reqRead,
                                                 m_respWrite, m_procInfo, m_lastError);
    // Only the helper may hold its ends: when it exits, a waiting read then ends
    // with end of file instead of blocking for ever.
    m_reqRead.reset();
    m_respWrite.reset();
    return started ? 0 : 1;
}

int NRWAPIS_Session::relaunch_helper() {
    end_helper();
    close_helper_handles();
    return start();
}

void NRWAPIS_Session::discard_waiting_bytes() {
    char scratch[kReadChunk];
    for (std::size_t waiting = platform::bytes_available(m_respRead); waiting > 0;
         waiting = platform::bytes_available(m_respRead)) {
        if (platform::read_some(m_respRead, scratch, std::min(waiting, sizeof(scratch)),
                                m_lastError) <= 0)
            return;
    }
}

int NRWAPIS_Session::write_request(const std::string& text) {
    // A failed relaunch leaves no process: fail without launching again.
    if (!m_procInfo.process.valid()) return 1;
    const platform::HelperProbe probe = platform::probe_helper(m_procInfo, m_respRead);
    if (probe.ended) {
        if (relaunch_helper() != 0) return 1;
    } else if (probe.bytes_waiting) {
        // Bytes left over from an earlier, broken answer must not pass for this one's.
        discard_waiting_bytes();
    }
    // The read that follows waits until the helper has taken the request, so
    // nothing is gained by waiting for that here.
    if (!platform::write_all(m_reqWrite, text.data(), text.size(), m_lastError)) {
        // The helper is gone or has stopped reading: the next call starts anew.
        end_helper();
        return 1;
    }
    return 0;
}

int NRWAPIS_Session::read_response(std::string& text) {
    nrwapis::ResponseFramer framer(text);
    char chunk[kReadChunk];
    long got = 0;
    while (framer.state() == nrwapis::ResponseFramer::State::need_more) {
        got = platform::read_some(m_respRead, chunk, sizeof(chunk), m_lastError);
        if (got <= 0) {
            // The helper ended or broke off mid-answer: the next call starts anew.
            end_helper();
            return 1;
        }
        framer.append(chunk, static_cast<std::size_t>(got));
    }
    // A read that did not fill its buffer took everything there was; only after a
    // full one can more of the answer already be waiting.
    if (static_cast<std::size_t>(got) == sizeof(chunk)) take_waiting_bytes(framer);
    if (framer.state() == nrwapis::ResponseFramer::State::too_large) {
        // The helper is out of step with us: start afresh at the next operation.
        end_helper();
        return 1;
    }
    return 0;
}

void NRWAPIS_Session::take_waiting_bytes(nrwapis::ResponseFramer& framer) {
    char chunk[kReadChunk];
    for (std::size_t waiting = platform::bytes_available(m_respRead);
         waiting > 0 && framer.state() == nrwapis::ResponseFramer::State::complete;
         waiting = platform::bytes_available(m_respRead)) {
        const long got =
            platform::read_some(m_respRead, chunk, std::min(waiting, sizeof(chunk)), m_lastError);
        if (got <= 0) return;
        framer.append(chunk, static_cast<std::size_t>(got));
    }
}

void NRWAPIS_Session::end_helper() {
    platform::terminate(m_procInfo);
}

void NRWAPIS_Session::close_pipes() {
    m_respRead.reset();
    m_reqWrite.reset();
    m_reqRead.reset();
    m_respWrite.reset();
}

void NRWAPIS_Session::close_process_handles() {
    m_procInfo.process.reset();
    m_procInfo.thread.reset();
}

void NRWAPIS_Session::close_helper_handles() {
    close_pipes();
    close_process_handles();
}

// Pipes first, then the helper, then what the session knew of it.
void NRWAPIS_Session::shut_down() {
    close_pipes();
    end_helper();
    close_process_handles();
    m_reqFactory = nullptr;
    m_respFactory = nullptr;
}
