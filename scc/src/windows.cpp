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

}  // namespace

// The first visible top-level window of the process lands in its slot. The
// caller holds g_stateLock for the whole enumeration.
void NRWScc_Impl::searchWindowsOf(std::uint32_t process_id) {
    platform::enum_windows(&NRWScc_Impl::findProcessWindow, &process_id);
}

bool NRWScc_Impl::findProcessWindow(HWND window, std::uint32_t* process_id) {
    const std::uint32_t owner = platform::window_process_id(window);
    if (owner != *process_id || !platform::is_window_visible(window)) return true;
    if (owner == platform::current_process_id())
        g_ideWindow = window;
    else
        g_helperWindow = window;
    return false;
}

void NRWScc_Impl::resolveParentWindow(HWND& window) const {
    if (callerIs(kNoParentHost)) {
        window = nullptr;
        return;
    }
    if (window != nullptr) return;
    std::lock_guard<std::mutex> guard(g_stateLock);
    // Found once per opened project; later commands trust the saved window.
    if (g_ideWindow == nullptr) searchWindowsOf(platform::current_process_id());
    window = g_ideWindow;
}

void NRWScc_Impl::raiseHostWindow(HWND window) const {
    if (!callerIs(kRaiseWindowHost)) return;
    // Topmost and back lifts the window above every other normal window and
    // leaves it an ordinary one.
    platform::set_window_pos(window, kTopmost, kShowUnmovedUnsized);
    platform::set_window_pos(window, kNotTopmost, kShowUnmovedUnsized);
}

void NRWScc_Impl::activateHelperWindow() const {
    // Asked without the state lock: another thread's exchange may hold the
    // session for as long as the user works in a dialog of the helper.
    const int process_id = nrw_api_get_bg_process_id(current_session());
    if (process_id == -1) return;
    HWND helper = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_stateLock);
        searchWindowsOf(static_cast<std::uint32_t>(process_id));
        helper = g_helperWindow;
    }
    // Outside the lock: a foreground change may run the host's window procedures,
    // which may call back into the plug-in.
    platform::allow_set_foreground(static_cast<std::uint32_t>(process_id));
    platform::set_foreground(helper);
}

bool NRWScc_Impl::isFilePresent(LPCSTR path) {
    return platform::attributes_error(path) != platform::kFileNotFound;
}
