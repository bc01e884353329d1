// The helper's pipes as the client library creates them: no child the host
// starts on another thread may inherit an end, or a helper that died would never
// give the end of its output and the host would wait for ever.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "test_system.h"

namespace {

using namespace nrwapis::platform;

TEST(PipeEnds, NoEndIsInheritableFromBirth) {
    for (int pipe = 0; pipe < 2; ++pipe) {
        Handle read_end, write_end;
        ErrorCode error = 0;
        ASSERT_TRUE(create_pipe(read_end, write_end, error)) << error;
        EXPECT_FALSE(testsys::is_inheritable(read_end.get()));
        EXPECT_FALSE(testsys::is_inheritable(write_end.get()));
    }
}

}  // namespace
