// What the registration tool decides from the facts of the Windows it runs on:
// which registry views exist, which of them a command may touch, and what the
// health check says about a view and how to fix it. Plain C++ with the facts as
// inputs, so that 32-bit Windows, 64-bit Windows and 64-bit Windows without its
// 32-bit subsystem are all decided by the same code wherever it is tested.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nrwreg {

struct WindowsFacts {
    int own_bits = 32;       // this tool's architecture
    bool two_views = false;  // 64-bit Windows: a 32-bit and a 64-bit registry view
    bool runs_32bit = true;  // whether 32-bit programs start here
};

// The registry views IDEs read, as their bits: {32} or {32, 64}.
std::vector<int> view_bits(bool two_views);

// "64-bit Windows with a 32-bit and a 64-bit registry view; 32-bit programs run",
// the first line of the health check, so that support staff and tests know what
// the rest of its findings were decided on.
std::string describe(const WindowsFacts& facts);

// The views "uninstall [--view N]" clears. On a Windows with one view, asking for
// the view it lacks is refused with the reason and changes nothing.
struct ViewChoice {
    std::vector<int> views;
    std::string refusal;  // set when nothing may be changed
};
ViewChoice views_to_uninstall(bool two_views, std::optional<int> asked);

// Whether "install" also has the other architecture's tool register its view.
bool registers_other_view(const WindowsFacts& facts);

struct Finding {
    enum Kind { ok, note, problem } kind = ok;
    std::string what;
    std::string fix;  // problems only
};

// The tools a fix may name; empty where that tool is not installed.
struct Tools {
    std::string own;    // this tool
    std::string other;  // the other architecture's tool beside it
};

// A view that holds no registration of ours, given whether the other one does.
Finding unregistered_view(const WindowsFacts& facts, int view, bool other_registered,
                          const Tools& tools);

// The fix for a view whose registered plug-in is of the wrong architecture.
std::string wrong_architecture_fix(const WindowsFacts& facts, int view);

}  // namespace nrwreg
