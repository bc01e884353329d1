#include "command_line.h"

namespace nrwapis {

namespace {
constexpr std::size_t kModuleSuffixLength = 22;  // "nrwapis\libnrwapis.dll"
}

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

std::string install_folder_from_module_path(const std::string& module_path) {
    if (module_path.size() < kModuleSuffixLength) return module_path;
    return module_path.substr(0, module_path.size() - kModuleSuffixLength);
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
