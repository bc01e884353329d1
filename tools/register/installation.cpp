#include "installation.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "nrw_identity.h"
#include "path_text.h"
#include "plugin_loader.h"
#include "scc_export_names.h"

namespace nrwreg {

namespace {

std::string api_version_text(long version) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", version);
    return text;
}

std::string missing_exports(const pe::Image& plugin) {
    std::vector<std::string> missing;
    for (const char* name : kSccExportNames)
        if (std::find(plugin.exports.begin(), plugin.exports.end(), name) == plugin.exports.end())
            missing.push_back(name);
    if (missing.empty()) return "";
    return "it lacks " + std::to_string(missing.size()) + " of the " +
           std::to_string(std::size(kSccExportNames)) + " exports (" + missing.front() +
           (missing.size() > 1 ? ", ...)" : ")");
}

// The version resource names the interface the plug-in serves; the hex text is
// compared without regard to case.
std::string wrong_api_version(const pe::Image& plugin) {
    const auto found = plugin.version_strings.find(nrw::kSccApiVersionKey);
    if (found == plugin.version_strings.end())
        return "its version resource does not give the Source Code Control API version";
    std::string wanted = api_version_text(nrw::kSccApiVersion), given = found->second;
    for (std::string* text : {&wanted, &given})
        std::transform(text->begin(), text->end(), text->begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    if (given == wanted) return "";
    return "it serves Source Code Control API version " + found->second + ", not 1.3 (" +
           api_version_text(nrw::kSccApiVersion) + ")";
}

std::string folder_of(const std::string& path) {
    const std::string folder = nrwapis::path_text::folder_of(path, host::ansi_code_page());
    return folder.empty() ? std::string(".") : folder;
}

}  // namespace

std::string plugin_problem(const pe::Image& plugin) {
    if (std::string why = missing_exports(plugin); !why.empty()) return why;
    return wrong_api_version(plugin);
}

std::string client_problem(const pe::Image* client, const std::string& client_path,
                           std::uint16_t machine) {
    const std::string client_is = "its client library " + client_path;
    if (client == nullptr) return client_is + " is missing or not a Windows library";
    if (client->machine != machine)
        return client_is + " is " + pe::bits_of(client->machine) + ", not " + pe::bits_of(machine);
    if (std::find(client->exports.begin(), client->exports.end(), "nrw_api_initialize") ==
        client->exports.end())
        return client_is + " does not export nrw_api_initialize";
    return "";
}

std::string judge_installation(const pe::Image* plugin, const pe::Image* client,
                               const std::string& client_path, std::uint16_t machine) {
    if (plugin == nullptr) return "it is missing or not a Windows library";
    if (plugin->machine != machine)
        return std::string("it is ") + pe::bits_of(plugin->machine) + ", not " +
               pe::bits_of(machine);
    if (std::string why = plugin_problem(*plugin); !why.empty()) return why;
    return client_problem(client, client_path, machine);
}

std::string installation_problem(const std::string& plugin_path, std::uint16_t machine) {
    const std::string client_path = folder_of(plugin_path) + nrw::kClientLibraryFile;
    pe::Image plugin, client;
    const bool plugin_read = pe::read_image_file(plugin_path, plugin);
    const bool client_read = pe::read_image_file(client_path, client);
    return judge_installation(plugin_read ? &plugin : nullptr, client_read ? &client : nullptr,
                              client_path, machine);
}

}  // namespace nrwreg
