#include "view_rules.h"

namespace nrwreg {

namespace {

std::string bits_text(int bits) {
    return std::to_string(bits) + "-bit";
}

// The package that registers a view, for this kind of Windows.
std::string package_for(const WindowsFacts& facts) {
    return facts.two_views
               ? "install the package for 64-bit Windows (the x64 MSI or the ZIP), which carries "
                 "the 32-bit and the 64-bit plug-in and registers both"
               : "install the package for 32-bit Windows (the x86 MSI or the ZIP), which carries "
                 "the 32-bit plug-in";
}

std::string registration_fix(const WindowsFacts& facts, int view, const Tools& tools) {
    const std::string& tool = view == facts.own_bits ? tools.own : tools.other;
    if (tool.empty()) return package_for(facts);
    return "run \"" + tool + " install\" as administrator (it registers every view)";
}

}  // namespace

std::vector<int> view_bits(bool two_views) {
    return two_views ? std::vector<int>{32, 64} : std::vector<int>{32};
}

std::string describe(const WindowsFacts& facts) {
    if (!facts.two_views) return "32-bit Windows with one registry view, the 32-bit one";
    return std::string("64-bit Windows with a 32-bit and a 64-bit registry view; ") +
           (facts.runs_32bit ? "32-bit programs run" : "it runs no 32-bit programs");
}

ViewChoice views_to_uninstall(bool two_views, std::optional<int> asked) {
    if (!asked) return {view_bits(two_views), ""};
    if (*asked == 64 && !two_views)
        return {{},
                "this Windows has one registry view, the 32-bit one; nothing was changed "
                "(nrwregister uninstall clears it)"};
    return {{*asked}, ""};
}

bool registers_other_view(const WindowsFacts& facts) {
    return facts.two_views && (facts.own_bits == 32 || facts.runs_32bit);
}

Finding unregistered_view(const WindowsFacts& facts, int view, bool other_registered,
                          const Tools& tools) {
    const std::string missing =
        "the provider is not registered, so " + bits_text(view) + " IDEs do not list it";
    if (view == 32 && !facts.runs_32bit)
        return {Finding::note, "not registered; this Windows runs no 32-bit programs", ""};
    if (other_registered)
        return {Finding::problem, missing + ", while the other view has it",
                registration_fix(facts, view, tools)};
    if (view == facts.own_bits)
        return {Finding::problem, missing, registration_fix(facts, view, tools)};
    return {Finding::note, "not registered", ""};
}

std::string wrong_architecture_fix(const WindowsFacts& facts, int view) {
    const std::string uninstall =
        facts.two_views ? "\"nrwregister uninstall --view " + std::to_string(view) +
                              "\" as administrator (it removes this view's registration only)"
                        : "\"nrwregister uninstall\" as administrator";
    return "run " + uninstall +
           ", then \"nrwregister install\", which registers each view with the plug-in of its "
           "own architecture";
}

}  // namespace nrwreg
