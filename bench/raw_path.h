// What the benchmarks share: the raw path that a library call is measured
// against, and the timing of blocks of calls.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "protocol_text.h"

namespace bench {

namespace fs = std::filesystem;
namespace platform = nrwapis::platform;
namespace protocol = nrwapis::protocol;

// A request of mode 1 as the client library writes it, spelled here from the
// protocol's words so that the raw path needs no library.
inline std::string raw_request(std::int32_t operation, const std::string& file_set, long options) {
    const auto section = [](const protocol::Section& tags, const std::string& value) {
        return std::string(tags.start) + value + std::string(tags.end);
    };
    std::string text(protocol::kRequestStart);
    text += section(protocol::kOperation, std::to_string(operation));
    text += section(protocol::kFileSet, file_set);
    if (options > 0) text += section(protocol::kOptions, std::to_string(options));
    text += section(protocol::kMode, "1");
    return text + std::string(protocol::kRequestEnd) + "\n";
}
using Clock = std::chrono::steady_clock;

[[noreturn]] inline void fail(const std::string& why) {
    std::fprintf(stderr, "bench: %s\n", why.c_str());
    std::exit(1);
}

inline fs::path stage_folder(const char* argv0) {
    return fs::absolute(fs::path(argv0)).parent_path().parent_path() / "stage";
}

// The raw path: the same helper program on two bare pipes, the same request bytes.
class RawPath {
  public:
    RawPath(const fs::path& helper, std::string request) : m_request(std::move(request)) {
        platform::Handle request_read, response_write;
        platform::ErrorCode error = 0;
        if (!platform::create_pipe(m_response_read, response_write, error) ||
            !platform::create_pipe(request_read, m_request_write, error) ||
            !platform::make_non_inheritable(m_response_read, error) ||
            !platform::make_non_inheritable(m_request_write, error) ||
            !platform::spawn_process(helper.string(), {}, request_read, response_write, m_process,
                                     error))
            fail("cannot start " + helper.string() + ": system error " + std::to_string(error));
    }
    ~RawPath() { platform::terminate(m_process); }

    void call() {
        platform::ErrorCode error = 0;
        platform::write_all(m_request_write, m_request.data(), m_request.size(), error);
        m_answer.clear();
        while (m_answer.find(protocol::kResponseEnd) == std::string::npos) {
            const long got =
                platform::read_some(m_response_read, m_buffer, sizeof(m_buffer), error);
            if (got <= 0) fail("helper ended (system error " + std::to_string(error) + ")");
            m_answer.append(m_buffer, static_cast<std::size_t>(got));
        }
    }

  private:
    platform::Handle m_response_read, m_request_write;
    platform::ProcessInfo m_process;
    std::string m_request;
    std::string m_answer;
    char m_buffer[4096];
};

template <class Path>
inline double block_us(Path& path, int rounds) {
    const auto begun = Clock::now();
    for (int i = 0; i < rounds; ++i) path.call();
    return std::chrono::duration<double, std::micro>(Clock::now() - begun).count() / rounds;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace bench
