// CPU cost of the message layer and of the tracer with tracing off.
#include <benchmark/benchmark.h>

#include <string>

#include "nrwapis_tracer.h"
#include "protocol_text.h"
#include "requests.h"
#include "responses.h"

namespace {

// The checkout of two files in mode 0 and its success answer.
void EncodeAndDecodeCheckout(benchmark::State& state) {
    const char* files[] = {"C:\\w\\a.c", "C:\\w\\b.c"};
    namespace protocol = nrwapis::protocol;
    const std::string answer =
        std::string(protocol::kResponseStart) + std::string(protocol::kExitStatus.start) + "0" +
        std::string(protocol::kExitStatus.end) + std::string(protocol::kResponseEnd);
    const auto* requests = NRWAPIS_RequestFactory::instance();
    const auto* responses = NRWAPIS_ResponseFactory::instance();
    std::string text;
    for (auto _ : state) {
        text.clear();
        auto request = requests->create_request(0, reinterpret_cast<void*>(0xA0B2C), 2, files, 2, 0,
                                                "fix", nullptr);
        request->encode(text);
        auto response = responses->create_response(0);
        benchmark::DoNotOptimize(response->decode(answer, 2, nullptr, nullptr, nullptr));
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(EncodeAndDecodeCheckout);

void TracerScopeWithTracingOff(benchmark::State& state) {
    for (auto _ : state) {
        NRWAPIS_Tracer scope("NRWScc_Impl", "NRWScc_Impl", "Checkout");
        benchmark::DoNotOptimize(&scope);
    }
}
BENCHMARK(TracerScopeWithTracingOff);

void WriteTraceWithTracingOff(benchmark::State& state) {
    NRWAPIS_Tracer scope("NRWScc_Impl", "NRWScc_Impl", "Checkout");
    for (auto _ : state) scope.writeTrace("refCount : %d", 1);
}
BENCHMARK(WriteTraceWithTracingOff);

}  // namespace

BENCHMARK_MAIN();
