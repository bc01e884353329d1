// One installation serves IDEs of both architectures on 64-bit Windows: the
// 32-bit files in the nrwapis folder of the Navigator, the 64-bit ones in the
// nrwapis64 folder beside it, each registered in the registry view that IDEs of
// its own architecture read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "view_rules.h"

namespace nrwreg {

struct View {
    REGSAM flag;
    int bits;
    std::uint16_t machine;
    std::string name() const { return std::to_string(bits) + "-bit view"; }
};

constexpr int kOwnBits = sizeof(void*) * 8;

// Whether this Windows has two registry views (it is 64-bit), asked of the
// system without starting anything.
bool two_registry_views();
// The views IDEs read on this Windows: the 32-bit one only on 32-bit Windows.
std::vector<View> registry_views();
const View& view_of(int bits);

// The facts of this Windows, the probe for 32-bit programs included. Everything
// that depends on them is decided in view_rules from what this returns.
WindowsFacts this_windows();

// The folder that holds the files of an architecture, given the folder that
// holds this tool: nrwapis (32-bit) and nrwapis64 (64-bit) side by side.
std::string folder_for(int bits, const std::string& own_folder);

// The registration tool of the other architecture beside ours; empty when that
// folder or tool is missing, or when it is not of the other architecture.
std::string other_architecture_tool(const std::string& own_folder);

// Runs the program with the arguments, its output going where ours goes (or,
// `hidden`, without a console of its own and without output). The exit status,
// or -1 with `error` set when it could not be started.
int run_program(const std::string& program, const std::vector<std::string>& args,
                std::string& error, bool hidden = false);

}  // namespace nrwreg
