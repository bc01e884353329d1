// Registering an installation with the machine: the registration tool's
// install, and the installer's own action, which runs the same code from the
// package so that nothing in the installation folder runs with its rights.
#pragma once

#include <string>

namespace nrwreg {

enum Exit { kDone = 0, kUsage = 1, kBrokenInstallation = 2, kRegistryFailed = 3 };

// What a registration says: lines for the user, and the reason it failed.
struct Said {
    std::string out;
    std::string err;
};

struct InstallRequest {
    std::string own_folder;  // the folder of the plug-in of this program's architecture
    bool make_default = false;
    bool force = false;      // register without the navigator in the folder above
    bool here_only = false;  // this architecture's registry view only
};

// A registry error in words an administrator can act on.
std::string describe(long status);

// Registers the plug-in in `own_folder` in the registry view of its
// architecture and, on 64-bit Windows, the other architecture's plug-in beside
// it in the other view: every view or none. The plug-ins are read, never
// loaded. One of Exit.
int install(const InstallRequest& request, Said& said);

}  // namespace nrwreg
