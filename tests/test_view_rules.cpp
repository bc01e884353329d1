// The registration tool's decisions on every kind of Windows, whatever this
// machine runs: 32-bit Windows (one registry view), 64-bit Windows, and 64-bit
// Windows without its 32-bit subsystem.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "view_rules.h"

namespace {

using nrwreg::Finding;
using nrwreg::WindowsFacts;

const WindowsFacts kWindows32 = {32, false, true};
const WindowsFacts kWindows64 = {64, true, true};
const WindowsFacts kWindows64From32 = {32, true, true};
const WindowsFacts kWindows64No32 = {64, true, false};

const nrwreg::Tools kBothTools = {"C:\\nav\\nrwapis64\\nrwregister.exe",
                                  "C:\\nav\\nrwapis\\nrwregister.exe"};
const nrwreg::Tools kOwnToolOnly = {"C:\\nav\\nrwapis\\nrwregister.exe", ""};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ViewRules, UninstallNeverTouchesAViewThisWindowsLacks) {
    const struct {
        bool two_views;
        std::optional<int> asked;
        std::vector<int> views;
    } cases[] = {
        {false, std::nullopt, {32}},    {false, 32, {32}}, {false, 64, {}},
        {true, std::nullopt, {32, 64}}, {true, 32, {32}},  {true, 64, {64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.two_views ? "two views" : "one view") + ", asked " +
                     (c.asked ? std::to_string(*c.asked) : "all"));
        const nrwreg::ViewChoice choice = nrwreg::views_to_uninstall(c.two_views, c.asked);
        EXPECT_EQ(c.views, choice.views);
        EXPECT_EQ(c.views.empty(), !choice.refusal.empty()) << choice.refusal;
    }
    EXPECT_EQ(
        "this Windows has one registry view, the 32-bit one; nothing was changed "
        "(nrwregister uninstall clears it)",
        nrwreg::views_to_uninstall(false, 64).refusal);
}

TEST(ViewRules, TheOtherViewIsRegisteredOnlyWhereItsIdesCanRun) {
    EXPECT_FALSE(nrwreg::registers_other_view(kWindows32));
    EXPECT_TRUE(nrwreg::registers_other_view(kWindows64));
    EXPECT_TRUE(nrwreg::registers_other_view(kWindows64From32));
    EXPECT_FALSE(nrwreg::registers_other_view(kWindows64No32));
}

TEST(ViewRules, TheHealthCheckSaysWhatItDecidedOn) {
    EXPECT_EQ("32-bit Windows with one registry view, the 32-bit one",
              nrwreg::describe(kWindows32));
    EXPECT_EQ("64-bit Windows with a 32-bit and a 64-bit registry view; 32-bit programs run",
              nrwreg::describe(kWindows64));
    EXPECT_EQ("64-bit Windows with a 32-bit and a 64-bit registry view; it runs no 32-bit programs",
              nrwreg::describe(kWindows64No32));
}

// Every fix names a command or package that exists on that kind of Windows.
TEST(ViewRules, AnUnregisteredViewIsJudgedForItsWindows) {
    const struct {
        const char* name;
        WindowsFacts facts;
        int view;
        bool other_registered;
        nrwreg::Tools tools;
        Finding::Kind kind;
        const char* in_text;
    } cases[] = {
        {"32-bit Windows, nothing registered", kWindows32, 32, false, kOwnToolOnly,
         Finding::problem, "run \"C:\\nav\\nrwapis\\nrwregister.exe install\""},
        {"32-bit Windows, no tool",
         kWindows32,
         32,
         false,
         {},
         Finding::problem,
         "the package for 32-bit Windows (the x86 MSI or the ZIP)"},
        {"64-bit, own view missing", kWindows64, 64, true, kBothTools, Finding::problem,
         "run \"C:\\nav\\nrwapis64\\nrwregister.exe install\""},
        {"64-bit, 32-bit view left out", kWindows64, 32, true, kBothTools, Finding::problem,
         "run \"C:\\nav\\nrwapis\\nrwregister.exe install\""},
        {"64-bit, no 32-bit copy",
         kWindows64,
         32,
         true,
         {"own", ""},
         Finding::problem,
         "the package for 64-bit Windows (the x64 MSI or the ZIP)"},
        {"64-bit, neither registered", kWindows64, 32, false, kBothTools, Finding::note,
         "not registered"},
        {"no 32-bit programs", kWindows64No32, 32, true, kBothTools, Finding::note,
         "not registered; this Windows runs no 32-bit programs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Finding finding =
            nrwreg::unregistered_view(c.facts, c.view, c.other_registered, c.tools);
        EXPECT_EQ(c.kind, finding.kind);
        EXPECT_TRUE(contains(finding.what + " -- " + finding.fix, c.in_text))
            << finding.what << " -- " << finding.fix;
        EXPECT_EQ(c.kind == Finding::problem, !finding.fix.empty());
    }
}

TEST(ViewRules, TheWrongArchitectureFixNamesAViewThatExists) {
    EXPECT_FALSE(contains(nrwreg::wrong_architecture_fix(kWindows32, 32), "--view"));
    EXPECT_TRUE(contains(nrwreg::wrong_architecture_fix(kWindows64, 32), "uninstall --view 32"));
    EXPECT_TRUE(contains(nrwreg::wrong_architecture_fix(kWindows64, 64), "uninstall --view 64"));
}

}  // namespace
