#include "command_line.h"

#include "path_text.h"

namespace nrwapis {

const std::vector<std::string>& helper_arguments() {
    static const std::vector<std::string> arguments = {
        "-nosplash",
        "-product",
        "com.velmor.quorlan.team.client.integration.product",
        "-application",
        "com.velmor.quorlan.team.client.integration.application",
        "-configuration",
        "@user.home/.Quorlan/NRW8/integration",
        "-data",
        "@user.home/.Quorlan/NRW8/workspace",
        "-vmargs",
        "-Dnrw_launch_cxt=nrwapis",
    };
    return arguments;
}

// The folder above the library's own: <install>\nrwapis\ for the layout the
// library was made for, and as well for a sibling such as <install>\nrwapis64\.
// Empty when the path has no such folder, so that no helper is looked for in a
// made-up place.
std::string install_folder_from_module_path(const std::string& module_path, unsigned code_page) {
    const std::size_t file = path_text::last_separator(module_path, code_page);
    if (file == std::string::npos || file == 0) return std::string();
    const std::size_t folder = path_text::last_separator(module_path, code_page, "\\/", file);
    if (folder == std::string::npos) return std::string();
    return module_path.substr(0, folder + 1);
}

std::string quoted_command_line(const std::string& executable,
                                const std::vector<std::string>& arguments) {
    std::string line = "\"" + executable + "\"";
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

}  // namespace nrwapis
