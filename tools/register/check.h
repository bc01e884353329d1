// The health check: why an IDE may not list or load the provider.
#pragma once

#include <string>

namespace nrwreg {

// Prints one line per finding, each problem with its fix; true when healthy.
// `own_plugin` is the plug-in beside the tool, named in the fixes.
bool check(const std::string& own_plugin);

}  // namespace nrwreg
