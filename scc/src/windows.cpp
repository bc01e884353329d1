// Windows around a command: the parent of the helper's dialogs, the host window
// that one host wants back on top, and the helper's window in the foreground.
#include "platform/system.h"
#include "provider.h"
#include "provider_state.h"

using namespace nrwscc;

namespace {

constexpr std::uint32_t kShowUnmovedUnsized = 0x0043;  // no size, no move, show
const HWND kTopmost = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
const HWND kNotTopmost = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));

// What a search is given and finds. The process comes first: the visitor is
// handed its address, the search's own.
struct WindowSearch {
    std::uint32_t process_id;
    HWND found;
};

bool take_first_visible(HWND window, std::uint32_t* process_id) {
    if (platform::window_process_id(window) != *process_id || !platform::is_window_visible(window))
        return true;
    reinterpret_cast<WindowSearch*>(process_id)->found = window;
    return false;
}

HWND first_visible_window_of(std::uint32_t process_id) {
    WindowSearch search{process_id, nullptr};
    platform::enum_windows(&take_first_visible, &search.process_id);
    return search.found;
}

}  // namespace

namespace nrwscc {

WindowCache& window_cache() {
    static WindowCache cache;
    return cache;
}

HWND WindowCache::hostWindow() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_host == nullptr) m_host = first_visible_window_of(platform::current_process_id());
    return m_host;
}

HWND WindowCache::helperWindow(std::uint32_t helper_process_id) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (const HWND found = first_visible_window_of(helper_process_id)) m_helper = found;
    return m_helper;
}

void WindowCache::forgetHostWindow() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_host = nullptr;
}

}  // namespace nrwscc

void NRWScc_Impl::resolveParentWindow(HWND& window) const {
    if (callerIs(kNoParentHost)) {
        window = nullptr;
        return;
    }
    if (window != nullptr) return;
    // Found once per opened project; later commands trust the saved window.
    window = window_cache().hostWindow();
}

void NRWScc_Impl::raiseHostWindow(HWND window) const {
    if (!callerIs(kRaiseWindowHost)) return;
    // Topmost and back lifts the window above every other normal window and
    // leaves it an ordinary one.
    platform::set_window_pos(window, kTopmost, kShowUnmovedUnsized);
    platform::set_window_pos(window, kNotTopmost, kShowUnmovedUnsized);
}

void NRWScc_Impl::activateHelperWindow() const {
    // Asked before the window cache is: another thread's exchange may hold the
    // session for as long as the user works in a dialog of the helper.
    const int process_id = nrw_api_get_bg_process_id(current_session());
    if (process_id == -1) return;
    const HWND helper = window_cache().helperWindow(static_cast<std::uint32_t>(process_id));
    // Outside the cache's lock: a foreground change may run the host's window procedures,
    // which may call back into the plug-in.
    platform::allow_set_foreground(static_cast<std::uint32_t>(process_id));
    platform::set_foreground(helper);
}

bool NRWScc_Impl::isFilePresent(LPCSTR path) {
    return platform::attributes_error(path) != platform::kFileNotFound;
}
