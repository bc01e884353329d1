#include "check.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "architectures.h"
#include "folder_access.h"
#include "installation.h"
#include "path_text.h"
#include "pe_image.h"
#include "plugin_loader.h"
#include "provider_keys.h"
#include "registry.h"
#include "scc_export_names.h"
#include "signer.h"

namespace nrwreg {

namespace {

// Each finding about a registry view is labelled with it: on 64-bit Windows
// the same checks run for both.
class Findings {
  public:
    void about(const std::string& label) { m_label = label.empty() ? label : label + ": "; }
    void ok(const std::string& what) {
        std::printf("ok       %s%s\n", m_label.c_str(), what.c_str());
    }
    void note(const std::string& what) {
        std::printf("note     %s%s\n", m_label.c_str(), what.c_str());
    }
    void problem(const std::string& what, const std::string& fix) {
        std::printf("PROBLEM  %s%s -- fix: %s\n", m_label.c_str(), what.c_str(), fix.c_str());
        ++m_problems;
    }
    bool healthy() const { return m_problems == 0; }

  private:
    std::string m_label;
    int m_problems = 0;
};

// What every finding is decided on: the facts of this Windows and the
// registration tools a fix can name.
struct Context {
    WindowsFacts facts;
    Tools tools;
};

bool file_exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = nrwapis::path_text::last_separator(path, host::ansi_code_page());
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Read, never loaded: the check runs no code of the files it looks at.
void check_exports(Findings& out, const std::string& plugin, const pe::Image& image) {
    const std::string why = plugin_problem(image);
    if (why.empty())
        out.ok("the plug-in has all " + std::to_string(std::size(kSccExportNames)) +
               " exports and serves API version 1.3");
    else
        out.problem("the plug-in " + plugin + ": " + why,
                    "it is not this product's plug-in or is damaged: reinstall the product "
                    "(msiexec /i PACKAGE REINSTALL=ALL REINSTALLMODE=omus, or unzip the package "
                    "again)");
}

// Application control on locked-down machines loads signed code only; an
// unsigned file is worth knowing, not a fault.
void note_signature(Findings& out, const std::string& what, const std::string& path) {
    pe::Image image;
    if (!pe::read_image_file(path, image)) return;
    if (!image.has_signature) {
        out.note(what + " is unsigned: machines with application control may refuse to load it");
        return;
    }
    const std::string signer = signer_of(path);
    out.note(what + " is signed" + (signer.empty() ? "" : " by " + signer));
}

void check_client_library(Findings& out, const std::string& folder, std::uint16_t machine) {
    const std::string client = folder + "\\" + nrw::kClientLibraryFile;
    if (!file_exists(client)) {
        out.problem(std::string(nrw::kClientLibraryFile) + " is missing from " + folder,
                    "reinstall the product: the plug-in cannot work without it");
        return;
    }
    pe::Image image;
    const std::string why =
        client_problem(pe::read_image_file(client, image) ? &image : nullptr, client, machine);
    if (why.empty()) {
        out.ok(std::string(nrw::kClientLibraryFile) + " is beside the plug-in");
        note_signature(out, std::string("the client library ") + nrw::kClientLibraryFile, client);
    } else
        out.problem("the plug-in's " + why.substr(4), "reinstall the product");
}

void check_plugin_file(Findings& out, const Context& context, const View& view,
                       const std::string& plugin) {
    if (!file_exists(plugin)) {
        out.problem("the registered plug-in " + plugin + " does not exist",
                    "reinstall the product, or run nrwregister install from the folder that holds "
                    "the plug-in");
        return;
    }
    pe::Image image;
    if (!pe::read_image_file(plugin, image)) {
        out.problem("the plug-in " + plugin + " is not a Windows library", "reinstall the product");
        return;
    }
    if (image.machine != view.machine) {
        out.problem(std::string("the plug-in is ") + pe::bits_of(image.machine) + ", so " +
                        std::to_string(view.bits) + "-bit IDEs cannot load it",
                    wrong_architecture_fix(context.facts, view.bits));
    } else {
        out.ok(std::string("the plug-in is ") + pe::bits_of(image.machine) + " as this view needs");
    }
    check_exports(out, plugin, image);
    note_signature(out, "the plug-in", plugin);
    const std::string folder = folder_of(plugin);
    check_client_library(out, folder, view.machine);
    const std::string helper = folder_of(folder) + "\\" + nrw::kHelperFile;
    if (file_exists(helper))
        out.ok(helper + " is one folder up");
    else
        out.problem(helper + " does not exist: the plug-in has no navigator to talk to",
                    "install the product into the nrwapis folder of your Norrow Navigator "
                    "(MSI property NAVIGATORDIR)");
}

// IDEs load the default provider's plug-in without asking: it must be there.
void check_default_plugin(Findings& out, const View& view, const std::string& default_key) {
    const std::string plugin = reg::read_string(default_key, kServerPath, view.flag).value_or("");
    if (plugin.empty() || !file_exists(plugin))
        out.problem("the default provider HKLM\\" + default_key + " has its plug-in at " +
                        (plugin.empty() ? "no path" : plugin) +
                        ", which does not exist, so IDEs fail to start source control",
                    "run nrwregister install --default as administrator, or choose a provider "
                    "whose plug-in is installed");
    else
        out.ok("the default provider is HKLM\\" + default_key + ", " + plugin);
}

void check_listing(Findings& out, const View& view) {
    const auto listed = reg::read_string(kInstalledKey, nrw::kProviderName, view.flag);
    if (!listed)
        out.problem("the provider is not listed under InstalledSCCProviders",
                    "run nrwregister install as administrator");
    else if (*listed != nrw::kProviderKey)
        out.problem(std::string("\"") + nrw::kProviderName +
                        "\" under InstalledSCCProviders names " + *listed + " instead of " +
                        nrw::kProviderKey,
                    "run nrwregister install as administrator");
    else
        out.ok("listed under InstalledSCCProviders");
    const auto default_key = reg::read_string(kSccKey, kDefault, view.flag);
    if (!default_key || default_key->empty())
        out.note("no default provider is set (IDEs ask which one to use)");
    else if (!reg::key_exists(*default_key, view.flag))
        out.problem(std::string("the default provider ") + kDefault + " names HKLM\\" +
                        *default_key + ", which does not exist",
                    "run nrwregister install --default, or choose a provider in the IDE");
    else
        check_default_plugin(out, view, *default_key);
}

void report(Findings& out, const Finding& finding) {
    if (finding.kind == Finding::problem)
        out.problem(finding.what, finding.fix);
    else if (finding.kind == Finding::note)
        out.note(finding.what);
    else
        out.ok(finding.what);
}

// A view without our registration keeps its IDEs from the provider.
void check_unregistered(Findings& out, const Context& context, const View& view) {
    bool other_registered = false;
    for (const int bits : view_bits(context.facts.two_views))
        other_registered =
            other_registered ||
            (bits != view.bits && reg::key_exists(nrw::kProviderKey, view_of(bits).flag));
    report(out, unregistered_view(context.facts, view.bits, other_registered, context.tools));
}

// A folder of the plug-in, or the Navigator's, open to users who are not
// administrators lets any of them put code into every user's IDE.
void check_folder_access(Findings& out, const std::string& folder) {
    const FolderAccess access = folder_access(folder);
    if (!access.named.empty()) out.note(folder + " can also be written by " + listed(access.named));
    if (!access.open_to.empty())
        out.problem(folder + " can be written by users who are not administrators (" +
                        listed(access.open_to) + "), so any of them can replace what IDEs load",
                    open_folder_fix(folder, access));
}

void check_view(Findings& out, const Context& context, const View& view) {
    if (!reg::key_exists(nrw::kProviderKey, view.flag)) {
        check_unregistered(out, context, view);
        return;
    }
    const auto plugin = reg::read_string(nrw::kProviderKey, kServerPath, view.flag);
    if (!plugin || plugin->empty()) {
        out.problem(std::string("HKLM\\") + nrw::kProviderKey + " has no " + kServerPath,
                    "run nrwregister install as administrator");
    } else {
        out.ok(std::string("registered, ") + kServerPath + " " + *plugin);
        check_plugin_file(out, context, view, *plugin);
        if (file_exists(*plugin)) {
            check_folder_access(out, folder_of(*plugin));
            check_folder_access(out, folder_of(folder_of(*plugin)));
        }
    }
    check_listing(out, view);
}

void check_trace_folder(Findings& out) {
    char folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(nrw::kTraceVariable, folder, MAX_PATH);
    if (length == 0) {
        out.note(std::string(nrw::kTraceVariable) + " is not set: no trace is written");
        return;
    }
    const std::string named = length < MAX_PATH ? std::string(folder, length) : "a too long path";
    const std::string probe = named + "\\nrwregister-check.tmp";
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (length < MAX_PATH && file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        out.ok(std::string(nrw::kTraceVariable) + " names a writable folder");
        return;
    }
    out.problem(std::string(nrw::kTraceVariable) + " names " + named +
                    ", which is not a writable folder: no trace is written",
                "create that folder, or set the variable to one you can write to");
}

}  // namespace

bool check(const std::string& own_plugin) {
    Findings out;
    const std::string folder = folder_of(own_plugin);
    const Context context = {this_windows(),
                             {folder + "\\nrwregister.exe", other_architecture_tool(folder)}};
    out.note("this Windows: " + describe(context.facts));
    for (const int bits : view_bits(context.facts.two_views)) {
        out.about(view_of(bits).name());
        check_view(out, context, view_of(bits));
    }
    out.about("");
    check_trace_folder(out);
    std::printf(out.healthy() ? "healthy\n" : "problems found\n");
    return out.healthy();
}

}  // namespace nrwreg
