// How the helper program is found and started.
#pragma once

#include <string>
#include <vector>

namespace nrwapis {

// Arguments that follow the helper's path on its command line.
const std::vector<std::string>& helper_arguments();

// The installation folder from the library's module path: the library lives in
// "nrwapis\libnrwapis.dll" below it, 22 characters that are cut off. A shorter
// path is used whole.
std::string install_folder_from_module_path(const std::string& module_path);

// One Windows command line: the executable in double quotes, so that a path with
// a space cannot start another program, then the arguments separated by blanks.
std::string quoted_command_line(const std::string& executable,
                                const std::vector<std::string>& arguments);

}  // namespace nrwapis
