#include "registration.h"

#include <windows.h>

#include <vector>

#include "architectures.h"
#include "folder_access.h"
#include "installation.h"
#include "path_text.h"
#include "plugin_loader.h"
#include "provider_keys.h"
#include "registry.h"

namespace nrwreg {

namespace {

struct Target {
    const View* view;
    std::string plugin;
};

std::size_t backslash_in(const std::string& path) {
    return nrwapis::path_text::last_separator(path, host::ansi_code_page(), "\\");
}

// The plug-in starts the navigator from the folder above its own.
bool navigator_beside(const std::string& folder, std::string& navigator) {
    navigator = folder.substr(0, backslash_in(folder)) + "\\" + nrw::kHelperFile;
    const DWORD attributes = GetFileAttributesA(navigator.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string folder_of(const std::string& path) {
    return path.substr(0, backslash_in(path));
}

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool usable(const std::string& plugin, int bits, Said& said) {
    const std::string why = installation_problem(plugin, view_of(bits).machine);
    if (why.empty()) return true;
    said.err += "nrwregister install: " + plugin + " is not a usable plug-in: " + why + "\n";
    return false;
}

// On 64-bit Windows IDEs of the other architecture read the other registry
// view: the plug-in of that architecture beside ours is registered there. Where
// there is none, or 32-bit programs cannot run at all, only our own view is
// registered, and we say so. False when that plug-in is broken.
bool add_other_architecture(const std::string& own_folder, std::vector<Target>& targets,
                            Said& said) {
    const int other_bits = kOwnBits == 64 ? 32 : 64;
    const std::string folder = folder_for(other_bits, own_folder);
    const std::string plugin = folder + "\\" + nrw::kPluginFile;
    if (lstrcmpiA(folder.c_str(), own_folder.c_str()) == 0 || !file_exists(plugin)) {
        said.out += "note: " + folder + " holds no " + std::to_string(other_bits) +
                    "-bit copy, so " + std::to_string(other_bits) +
                    "-bit IDEs will not list the provider\n";
        return true;
    }
    if (!registers_other_view(this_windows())) {
        said.out +=
            "note: this Windows runs no 32-bit programs: the 32-bit plug-in is left "
            "unregistered, as no 32-bit IDE can run here\n";
        return true;
    }
    if (!usable(plugin, other_bits, said)) return false;
    targets.push_back({&view_of(other_bits), plugin});
    return true;
}

// Our key, our listing (another product's entry under our display name is kept
// to be put back, whatever its type and bytes) and, when asked, the default.
LONG register_view(reg::Journal& journal, const Target& target, bool make_default,
                   bool& is_default) {
    reg::use_view(target.view->flag);
    LONG status = journal.set_string(nrw::kProviderKey, kServerName, nrw::kProviderName);
    if (status == ERROR_SUCCESS)
        status = journal.set_string(nrw::kProviderKey, kServerPath, target.plugin);
    const auto listed = reg::read_raw(kInstalledKey, nrw::kProviderName);
    const bool ours_listed =
        reg::read_string(kInstalledKey, nrw::kProviderName).value_or("") == nrw::kProviderKey;
    if (status == ERROR_SUCCESS && listed && !ours_listed)
        status = journal.set_raw(nrw::kProviderKey, kPreviousListing, *listed);
    if (status == ERROR_SUCCESS)
        status = journal.set_string(kInstalledKey, nrw::kProviderName, nrw::kProviderKey);
    const auto current = reg::read_string(kSccKey, kDefault);
    is_default = make_default || current.value_or("") == nrw::kProviderKey;
    if (status == ERROR_SUCCESS && make_default && current.value_or("") != nrw::kProviderKey) {
        status = journal.set_string(nrw::kProviderKey, kPreviousDefault, current.value_or(""));
        if (status == ERROR_SUCCESS)
            status = journal.set_string(kSccKey, kDefault, nrw::kProviderKey);
    }
    return status;
}

}  // namespace

std::string describe(LONG status) {
    if (status == ERROR_ACCESS_DENIED) return "access denied (run it as administrator)";
    return host::system_error_text(static_cast<unsigned long>(status));
}

int install(const InstallRequest& request, Said& said) {
    const std::string plugin = request.own_folder + "\\" + nrw::kPluginFile;
    if (!usable(plugin, kOwnBits, said)) return kBrokenInstallation;
    std::string navigator;
    if (!navigator_beside(request.own_folder, navigator) && !request.force) {
        said.err += "nrwregister install: " + navigator +
                    " is missing, and the plug-in starts the navigator from there; put the "
                    "nrwapis folder into the Norrow Navigator folder, or give --force to "
                    "register it all the same\n";
        return kBrokenInstallation;
    }
    // Typed by an administrator: an open folder is named, and the choice is theirs.
    for (const std::string& folder : {request.own_folder, folder_of(request.own_folder)}) {
        const FolderAccess access = folder_access(folder);
        if (!access.open_to.empty())
            said.out +=
                "warning: " + folder + " can be written by users who are not administrators (" +
                listed(access.open_to) + "), so any of them can replace what IDEs load; fix: " +
                open_folder_fix(folder, access) + "\n";
    }
    std::vector<Target> targets = {{&view_of(kOwnBits), plugin}};
    if (!request.here_only && two_registry_views() &&
        !add_other_architecture(request.own_folder, targets, said))
        return kBrokenInstallation;
    // Every view or none: a failure undoes what the journal wrote in any view.
    reg::Journal journal;
    std::string registered;
    for (const Target& target : targets) {
        bool is_default = false;
        const LONG status = register_view(journal, target, request.make_default, is_default);
        if (status != ERROR_SUCCESS) {
            said.err += "nrwregister install: cannot change the registry: " + describe(status) +
                        "; nothing was changed\n";
            return kRegistryFailed;
        }
        registered += std::string("registered ") + nrw::kProviderName + " in the " +
                      target.view->name() + ": " + target.plugin +
                      (is_default ? " (default)" : "") + "\n";
    }
    journal.commit();
    said.out += registered;
    return kDone;
}

}  // namespace nrwreg
