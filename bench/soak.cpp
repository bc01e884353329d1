// Drives the client library for a long while against the stand-in helper, which
// answers in pieces and is killed at random moments, and checks what a host
// relies on: no call hangs, a killed helper is replaced by the next call, nothing
// leaks, and under many threads every answer belongs to its own request.
//
// usage: soak [KILLS [CALLS [RELAUNCHES [RSS_CALLS [THREADS [PER_THREAD]]]]]]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "nrwapis.h"
#include "soak_system.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_failedChecks = 0;
int g_passedChecks = 0;

void check(bool holds, const char* what) {
    std::printf("  %s %s\n", holds ? "ok  " : "FAIL", what);
    ++(holds ? g_passedChecks : g_failedChecks);
}

// One checkout of one file; the echoing helper answers with the file's name.
int call(NRWAPIS_Session* session, const std::string& path, std::string* echoed = nullptr) {
    const char* files[] = {path.c_str()};
    char* message = nullptr;
    const int result =
        nrw_api_checkout(session, nullptr, files, 1, 1, 0, nullptr, nullptr, &message);
    if (echoed != nullptr) *echoed = message != nullptr ? message : "";
    nrw_api_free_op_msg(message);
    return result;
}

struct KillStats {
    long results[3] = {0, 0, 0};
    double longest_ms = 0;
    int most_failures_after_a_kill = 0;
    int kills_replaced = 0;
};

// A killer thread ends the live helper at random moments, in or between calls,
// and arms the next kill once a call has succeeded on a new helper.
KillStats kill_soak(NRWAPIS_Session* session, int kills) {
    KillStats stats;
    std::atomic<int> live_pid{nrw_api_get_bg_process_id(session)};
    std::atomic<int> killed_pid{0};
    std::atomic<int> kills_done{0};
    std::atomic<int> recovered{0};
    std::atomic<bool> given_up{false};
    std::thread killer([&] {
        std::mt19937 random(12345);
        for (int k = 0; k < kills && !given_up; ++k) {
            while (recovered.load() < k && !given_up) soak::sleep_us(50);
            soak::sleep_us(static_cast<long>(random() % 1500));
            killed_pid = live_pid.load();
            soak::kill_now(killed_pid);
            kills_done = k + 1;
        }
    });
    int failures_since_kill = 0, calls_since_kill = 0;
    for (long i = 0; recovered.load() < kills && !given_up; ++i) {
        const auto begun = Clock::now();
        const int result = call(session, "C:\\soak\\file" + std::to_string(i) + ".c");
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begun).count();
        stats.longest_ms = std::max(stats.longest_ms, ms);
        ++stats.results[result >= 0 && result <= 2 ? result : 1];
        const int pid = nrw_api_get_bg_process_id(session);
        live_pid = pid;
        if (kills_done.load() == recovered.load()) continue;
        // A kill is pending. A call may still finish on the old helper before the
        // kill takes hold; it recovers only on a new one.
        if (result != 0) ++failures_since_kill;
        if (result == 0 && pid != killed_pid.load()) {
            stats.most_failures_after_a_kill =
                std::max(stats.most_failures_after_a_kill, failures_since_kill);
            ++stats.kills_replaced;
            failures_since_kill = calls_since_kill = 0;
            recovered = kills_done.load();
        } else if (++calls_since_kill > 100) {
            given_up = true;
        }
    }
    killer.join();
    return stats;
}

void report_kills(NRWAPIS_Session* session, int kills) {
    const auto begun = Clock::now();
    const KillStats stats = kill_soak(session, kills);
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    std::printf(
        "kills: %d in %.1f s; calls returned 0: %ld, 1: %ld, 2: %ld; longest call %.1f ms; "
        "most failed calls after one kill: %d\n",
        kills, seconds, stats.results[0], stats.results[1], stats.results[2], stats.longest_ms,
        stats.most_failures_after_a_kill);
    // A call that meets a kill starts a new helper. Where 32-bit programs run
    // through an emulator, each start costs a second or more on a busy machine.
    const bool emulated = std::getenv("NRW_32BIT_EMULATED") != nullptr &&
                          std::string(std::getenv("NRW_32BIT_EMULATED")) == "yes";
    const double longest_allowed_ms = emulated ? 10000 : 2000;
    check(stats.longest_ms < longest_allowed_ms,
          emulated ? "no call took over 10 s (32-bit code emulated)" : "no call took over 2 s");
    check(stats.most_failures_after_a_kill <= 1, "at most the call that met a kill failed");
    check(stats.kills_replaced == kills, "every kill was followed by a new helper that answered");
    check(stats.results[2] == 0, "no call reported a cancel");
}

void report_resources(NRWAPIS_Session* session, int calls, int relaunches) {
    call(session, "C:\\soak\\warm.c");
    const long handles = soak::open_handles();
    const long children = soak::child_processes();
    const int every = std::max(1, calls / std::max(1, relaunches));
    int relaunched = 0, failed = 0;
    for (int i = 0; i < calls; ++i) {
        if (i % every == every - 1 && relaunched < relaunches) {
            soak::kill_now(nrw_api_get_bg_process_id(session));
            ++relaunched;
        }
        if (call(session, "C:\\soak\\r.c") != 0) ++failed;
    }
    call(session, "C:\\soak\\settle.c");
    std::printf(
        "resources: %d calls, %d relaunches, %d failed; handles %ld -> %ld, child "
        "processes %ld -> %ld\n",
        calls, relaunched, failed, handles, soak::open_handles(), children,
        soak::child_processes());
    check(soak::open_handles() == handles, "descriptors or handles back at their baseline");
    check(soak::child_processes() == children, "child processes back at their baseline");
}

void report_memory(NRWAPIS_Session* session, int calls) {
    // The same calls before and after: what the first ones take, the allocator
    // keeps for the rest.
    auto run = [&](int count) {
        for (int i = 0; i < count; ++i)
            call(session, "C:\\soak\\m" + std::to_string(i % 97) + ".c");
    };
    run(std::max(5000, calls / 5));
    const std::size_t before = soak::resident_bytes();
    run(calls);
    const std::size_t after = soak::resident_bytes();
    std::printf("memory: resident %zu KiB before and %zu KiB after %d calls\n", before / 1024,
                after / 1024, calls);
    check(after <= before + 256 * 1024, "resident memory flat (within 256 KiB)");
}

void report_threads(NRWAPIS_Session* session, int threads, int per_thread) {
    std::atomic<int> mismatched{0}, failed{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) {
                const std::string path =
                    "C:\\soak\\t" + std::to_string(t) + "\\f" + std::to_string(i) + ".c";
                std::string echoed;
                if (call(session, path, &echoed) != 0)
                    ++failed;
                else if (echoed != path)
                    ++mismatched;
            }
        });
    }
    for (auto& worker : workers) worker.join();
    std::printf("threads: %d x %d calls, %d failed, %d answers not their own\n", threads,
                per_thread, failed.load(), mismatched.load());
    check(failed == 0 && mismatched == 0, "every answer matched its own request");
}

}  // namespace

int main(int argc, char** argv) {
    auto arg = [&](int index, int fallback) {
        return argc > index ? std::atoi(argv[index]) : fallback;
    };
    const int kills = arg(1, 1000), calls = arg(2, 10000), relaunches = arg(3, 100),
              rss_calls = arg(4, 100000), threads = arg(5, 8), per_thread = arg(6, 2000);
    soak::set_env("NRWH_MODE", "echo");
    soak::set_env("NRWH_PIECES", "3");
    NRWAPIS_Session* session = nullptr;
    if (nrw_api_initialize(&session) != 0) {
        std::fprintf(stderr, "soak: nrw_api_initialize failed\n");
        return 1;
    }
    report_kills(session, kills);
    report_resources(session, calls, relaunches);
    report_memory(session, rss_calls);
    report_threads(session, threads, per_thread);
    nrw_api_uninitialize(&session);
    std::printf("%d passed, %d failed\n", g_passedChecks, g_failedChecks);
    return g_failedChecks == 0 ? 0 : 1;
}
