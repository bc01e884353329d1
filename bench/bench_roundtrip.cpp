// One checkout through the client library against the stand-in helper, next to a
// raw pipe round trip of the same request with the same helper program. Prints
// the time of each and their ratio.
//
// usage: bench_roundtrip [BLOCKS [ROUNDS_PER_BLOCK]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "nrw_identity.h"
#include "nrwapis.h"
#include "platform/platform.h"
#include "plugin_loader.h"
#include "raw_path.h"

namespace {

using namespace bench;

const char* kFiles[] = {"C:\\w\\a.c", "C:\\w\\b.c"};
const std::string kRequest = raw_request(
    protocol::op::kCheckout, kFiles[0] + std::string(protocol::kNameSeparator) + kFiles[1], 0);

// The library path: the client library loaded as a host would, one session.
class LibraryPath {
  public:
    explicit LibraryPath(const fs::path& library) {
        std::string error;
        void* handle = host::open_library(library.string(), host::LoadStyle::plain, error);
        if (handle == nullptr) fail("cannot load " + library.string() + ": " + error);
        bind(handle, "nrw_api_initialize", m_initialize);
        bind(handle, "nrw_api_checkout", m_checkout);
        bind(handle, "nrw_api_free_op_msg", m_free_op_msg);
        bind(handle, "nrw_api_uninitialize", m_uninitialize);
        if (m_initialize(&m_session) != 0) fail("nrw_api_initialize failed");
    }
    ~LibraryPath() { m_uninitialize(&m_session); }

    void call() {
        char* message = nullptr;
        if (m_checkout(m_session, nullptr, kFiles, 2, 1, 0, nullptr, nullptr, &message) != 0)
            fail("nrw_api_checkout failed");
        m_free_op_msg(message);
    }

  private:
    template <class Function>
    static void bind(void* handle, const char* name, Function& slot) {
        slot = reinterpret_cast<Function>(host::find_symbol(handle, name));
        if (slot == nullptr) fail(std::string("missing ") + name);
    }

    decltype(&nrw_api_initialize) m_initialize = nullptr;
    decltype(&nrw_api_checkout) m_checkout = nullptr;
    decltype(&nrw_api_free_op_msg) m_free_op_msg = nullptr;
    decltype(&nrw_api_uninitialize) m_uninitialize = nullptr;
    NRWAPIS_Session* m_session = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 31;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 200;
    std::string value;
    for (const char* name : {"NRWH_LOG_DIR", "NRWH_SCRIPT_DIR", "NRWH_EXIT_AFTER"})
        if (platform::environment_value(name, value)) fail(std::string("unset ") + name + " first");
    // The helper answers every request with a short message and keeps no state.
    if (!platform::environment_value("NRWH_MODE", value) || value != "echo")
        fail("run with NRWH_MODE=echo");

    const fs::path stage = stage_folder(argv[0]);
    RawPath raw(stage / nrw::kHelperFile, kRequest);
    LibraryPath library(stage / "nrwapis" / nrw::kClientLibraryFile);
    block_us(raw, rounds);
    block_us(library, rounds);
    // Blocks of the two alternate, so that drift of the machine touches both alike;
    // the medians shrug off the blocks a busy moment spoiled.
    std::vector<double> raw_us, library_us, ratios;
    for (int block = 0; block < blocks; ++block) {
        raw_us.push_back(block_us(raw, rounds));
        library_us.push_back(block_us(library, rounds));
        ratios.push_back(library_us.back() / raw_us.back());
    }
    std::printf("blocks: %d of %d round trips each\n", blocks, rounds);
    std::printf("raw pipe round trip (median):   %8.2f us\n", median(raw_us));
    std::printf("nrw_api_checkout (median):      %8.2f us\n", median(library_us));
    std::printf("ratio library / raw (median):   %8.3f\n", median(ratios));
    return 0;
}
