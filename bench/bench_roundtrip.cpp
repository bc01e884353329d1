// One checkout through the client library against the stand-in helper, next to a
// raw pipe round trip of the same request with the same helper program. Prints
// the time of each and their ratio.
//
// usage: bench_roundtrip [ROUNDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "nrwapis.h"
#include "platform/platform.h"
#include "plugin_loader.h"

namespace fs = std::filesystem;
namespace platform = nrwapis::platform;
using Clock = std::chrono::steady_clock;

namespace {

const char* kFiles[] = {"C:\\w\\a.c", "C:\\w\\b.c"};
const std::string kRequest =
    "<request_start><op_identifier_start>2<op_identifier_end><fileset_start>C:\\w\\a.c<>C:\\w\\b.c"
    "<fileset_end><req_mode_start>1<req_mode_end><request_end>\n";

fs::path stage_folder(const char* argv0) {
    return fs::absolute(fs::path(argv0)).parent_path().parent_path() / "stage";
}

double api_round_trip_us(const fs::path& library, int rounds) {
    std::string error;
    void* handle = host::open_library(library.string(), host::LoadStyle::plain, error);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.string().c_str(), error.c_str());
        std::exit(1);
    }
    auto initialize = reinterpret_cast<decltype(&nrw_api_initialize)>(
        host::find_symbol(handle, "nrw_api_initialize"));
    auto checkout = reinterpret_cast<decltype(&nrw_api_checkout)>(
        host::find_symbol(handle, "nrw_api_checkout"));
    auto free_op_msg = reinterpret_cast<decltype(&nrw_api_free_op_msg)>(
        host::find_symbol(handle, "nrw_api_free_op_msg"));
    auto uninitialize = reinterpret_cast<decltype(&nrw_api_uninitialize)>(
        host::find_symbol(handle, "nrw_api_uninitialize"));
    NRWAPIS_Session* session = nullptr;
    if (initialize(&session) != 0) std::exit(1);
    auto call = [&] {
        char* message = nullptr;
        if (checkout(session, nullptr, kFiles, 2, 1, 0, nullptr, nullptr, &message) != 0)
            std::exit(1);
        free_op_msg(message);
    };
    for (int i = 0; i < 50; ++i) call();
    const auto begun = Clock::now();
    for (int i = 0; i < rounds; ++i) call();
    const auto elapsed = Clock::now() - begun;
    uninitialize(&session);
    return std::chrono::duration<double, std::micro>(elapsed).count() / rounds;
}

double raw_round_trip_us(const fs::path& helper, int rounds) {
    platform::Handle response_read, response_write, request_read, request_write;
    platform::ProcessInfo process;
    if (!platform::create_pipe(response_read, response_write) ||
        !platform::create_pipe(request_read, request_write) ||
        !platform::make_non_inheritable(response_read) ||
        !platform::make_non_inheritable(request_write) ||
        !platform::spawn_process(helper.string(), {}, request_read, response_write, process))
        std::exit(1);
    request_read.reset();
    response_write.reset();
    char buffer[4096];
    auto call = [&] {
        platform::write_all(request_write, kRequest.data(), kRequest.size());
        std::string answer;
        while (answer.find("<response_end>") == std::string::npos) {
            const long got = platform::read_some(response_read, buffer, sizeof(buffer));
            if (got <= 0) std::exit(1);
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    };
    for (int i = 0; i < 50; ++i) call();
    const auto begun = Clock::now();
    for (int i = 0; i < rounds; ++i) call();
    const auto elapsed = Clock::now() - begun;
    platform::terminate(process);
    return std::chrono::duration<double, std::micro>(elapsed).count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
    const fs::path stage = stage_folder(argv[0]);
    // The helper answers every request with a short message and keeps no state.
    std::string ignored;
    for (const char* name : {"NRWH_LOG_DIR", "NRWH_SCRIPT_DIR", "NRWH_EXIT_AFTER"})
        if (platform::environment_value(name, ignored)) {
            std::fprintf(stderr, "unset %s first\n", name);
            return 2;
        }
    if (!platform::environment_value("NRWH_MODE", ignored) || ignored != "echo") {
        std::fprintf(stderr, "run with NRWH_MODE=echo\n");
        return 2;
    }
    // Alternate the two so that drift of the machine touches both alike.
    double api = 0, raw = 0;
    for (int pass = 0; pass < 3; ++pass) {
        raw += raw_round_trip_us(stage / NRW_HELPER_FILE, rounds);
        api += api_round_trip_us(stage / "nrwapis" / NRW_CLIENT_FILE, rounds);
    }
    std::printf("rounds per pass: %d, passes: 3\n", rounds);
    std::printf("raw pipe round trip:     %8.2f us\n", raw / 3);
    std::printf("nrw_api_checkout:        %8.2f us\n", api / 3);
    std::printf("ratio (library / raw):   %8.3f\n", api / raw);
    return 0;
}
