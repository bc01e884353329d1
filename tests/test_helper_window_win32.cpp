// The stand-in helper can show a real top-level window (Wine under Xvfb), which
// the window handling of the plug-in will look for.
#include <windows.h>

#include <gtest/gtest.h>

#include "helper_fixture.h"

namespace {

using testsys::HelperTest;

struct Search {
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK find_visible_window(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process_id || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

TEST_F(HelperTest, HelperShowsAVisibleTopLevelWindowWhenAsked) {
    testsys::set_env("NRWH_WINDOW", "1");
    start();
    queue_reply(testsys::ok_response());
    EXPECT_EQ(0, nrw_api_launch_nrw(m_session));
    Search search{static_cast<DWORD>(nrw_api_get_bg_process_id(m_session)), nullptr};
    EXPECT_TRUE(testsys::wait_until([&] {
        EnumWindows(find_visible_window, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }));
}

}  // namespace
