// Registers the plug-in of this installation with the machine, the way hosts look
// for Source Code Control providers, and removes exactly that again.
//
// usage: nrwregister install [--default] [--force] [--here-only] | uninstall [--view 32|64]
//        | list | check | --help
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "architectures.h"
#include "check.h"
#include "folder_access.h"
#include "path_text.h"
#include "plugin_loader.h"
#include "provider_keys.h"
#include "registration.h"
#include "registry.h"

using namespace nrwreg;

namespace {

const char kUsageText[] =
    "usage: nrwregister COMMAND\n"
    "  install [--default] [--force] [--here-only]\n"
    "                       register the plug-in beside this tool (libnrwscc.dll) with the\n"
    "                       machine; --default also makes it the default provider; without\n"
    "                       --force only where nrwnavigator.exe is in the folder above. On\n"
    "                       64-bit Windows the plug-in of the other architecture (nrwapis\n"
    "                       holds the 32-bit one, nrwapis64 the 64-bit one) is registered\n"
    "                       too, by its own nrwregister, unless --here-only is given\n"
    "  uninstall [--view 32|64]\n"
    "                       remove what install wrote, in every registry view; a default\n"
    "                       provider set before comes back; --view: in that view only\n"
    "                       (32-bit Windows has only the 32-bit view)\n"
    "  list                 show the registered providers, their plug-ins and the default,\n"
    "                       each line labelled with its registry view\n"
    "  check                look for what keeps IDEs from listing or loading the provider, in\n"
    "                       every registry view; one line per finding, each problem with its fix\n"
    "Writing needs administrator rights. Exit status: 0 done (check: healthy), 1 usage (check:\n"
    "a problem was found), 2 broken installation, 3 the registry could not be changed (nothing\n"
    "is left half-written).\n";

std::string installation_folder() {
    const std::string path = host::own_program_path();
    return path.substr(0, nrwapis::path_text::last_separator(path, host::ansi_code_page(), "\\"));
}

// The tools live beside the plug-in, in the nrwapis folder of the Navigator.
std::string plugin_path() {
    return installation_folder() + "\\" + nrw::kPluginFile;
}

int registry_failed(const char* command, LONG status) {
    std::fprintf(stderr, "nrwregister %s: cannot change the registry: %s; nothing was changed\n",
                 command, describe(status).c_str());
    return kRegistryFailed;
}

// An unzipped copy is held to the installer's rules for the Navigator's folder.
std::string navigator_folder_problem() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    for (int up = 0; up < 2 && path.find_last_of(L'\\') != std::wstring::npos; ++up)
        path.erase(path.find_last_of(L'\\'));
    const std::wstring why = nrwreg::navigator_folder_problem(path + L"\\");
    // The words are ASCII but for the folder, whose characters are the point.
    std::string narrow;
    for (const wchar_t c : why) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

int run_install(bool make_default, bool force, bool here_only) {
    if (const std::string why = navigator_folder_problem(); !why.empty()) {
        std::fprintf(stderr, "nrwregister install: %s; nothing was changed\n", why.c_str());
        return kBrokenInstallation;
    }
    Said said;
    const int status = install({installation_folder(), make_default, force, here_only}, said);
    std::fputs(said.out.c_str(), stdout);
    std::fputs(said.err.c_str(), stderr);
    return status;
}

int uninstall_view(const View& view) {
    reg::use_view(view.flag);
    reg::Journal journal;
    LONG status = ERROR_SUCCESS;
    const auto current = reg::read_string(kSccKey, kDefault);
    if (current.value_or("") == nrw::kProviderKey) {
        // Ours: the default before comes back; one that someone set since stays.
        const std::string previous =
            reg::read_string(nrw::kProviderKey, kPreviousDefault).value_or("");
        status = previous.empty() ? journal.delete_value(kSccKey, kDefault)
                                  : journal.set_string(kSccKey, kDefault, previous);
    }
    // Our display name is given back to what held it before, and an entry that
    // names another key is not ours to delete.
    if (status == ERROR_SUCCESS &&
        reg::read_string(kInstalledKey, nrw::kProviderName).value_or("") == nrw::kProviderKey) {
        const auto previous = reg::read_raw(nrw::kProviderKey, kPreviousListing);
        status = previous ? journal.set_raw(kInstalledKey, nrw::kProviderName, *previous)
                          : journal.delete_value(kInstalledKey, nrw::kProviderName);
    }
    for (const char* name : {kServerName, kServerPath, kPreviousDefault, kPreviousListing})
        if (status == ERROR_SUCCESS) status = journal.delete_value(nrw::kProviderKey, name);
    for (const char* key : {nrw::kProviderKey, nrw::kVendorKey, kInstalledKey, kSccKey})
        if (status == ERROR_SUCCESS) status = journal.delete_key_if_empty(key);
    if (status != ERROR_SUCCESS) return registry_failed("uninstall", status);
    journal.commit();
    std::printf("unregistered %s in the %s\n", nrw::kProviderName, view.name().c_str());
    return kDone;
}

// Any tool can write either view: uninstall needs neither the other
// architecture's files nor its tool, and works where they are gone.
int uninstall(std::optional<int> asked) {
    const ViewChoice choice = views_to_uninstall(two_registry_views(), asked);
    if (!choice.refusal.empty()) {
        std::fprintf(stderr, "nrwregister uninstall: %s\n", choice.refusal.c_str());
        return kUsage;
    }
    for (const int bits : choice.views)
        if (const int status = uninstall_view(view_of(bits)); status != kDone) return status;
    return kDone;
}

int list() {
    for (const View& view : registry_views()) {
        const char* label = view.bits == 64 ? "[64-bit view]" : "[32-bit view]";
        const auto providers = reg::read_strings(kInstalledKey, view.flag);
        const std::string default_key = reg::read_string(kSccKey, kDefault, view.flag).value_or("");
        if (providers.empty())
            std::printf("%s no Source Code Control providers are registered\n", label);
        for (const auto& [name, key] : providers) {
            const std::string path = reg::read_string(key, kServerPath, view.flag).value_or("");
            const bool exists =
                !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
            std::printf("%s %s %s: HKLM\\%s, %s (%s)\n", label, key == default_key ? "*" : " ",
                        name.c_str(), key.c_str(), path.empty() ? "-" : path.c_str(),
                        exists ? "exists" : "missing");
        }
        if (!default_key.empty())
            std::printf("%s default provider: HKLM\\%s\n", label, default_key.c_str());
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("%s", kUsageText);
        return kDone;
    }
    if (!args.empty() && args[0] == "install") {
        bool make_default = false, force = false, here_only = false, known = true;
        for (std::size_t i = 1; i < args.size(); ++i) {
            make_default = make_default || args[i] == "--default";
            force = force || args[i] == "--force";
            here_only = here_only || args[i] == "--here-only";
            known = known &&
                    (args[i] == "--default" || args[i] == "--force" || args[i] == "--here-only");
        }
        if (known) return run_install(make_default, force, here_only);
    }
    if (args.size() == 1 && args[0] == "uninstall") return uninstall(std::nullopt);
    if (args.size() == 3 && args[0] == "uninstall" && args[1] == "--view" &&
        (args[2] == "32" || args[2] == "64"))
        return uninstall(args[2] == "32" ? 32 : 64);
    if (args.size() == 1 && args[0] == "list") return list();
    if (args.size() == 1 && args[0] == "check") return nrwreg::check(plugin_path()) ? kDone : 1;
    std::fprintf(stderr, "%s", kUsageText);
    return kUsage;
}
