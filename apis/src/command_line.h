// How the helper program is found and started.
#pragma once

#include <string>
#include <vector>

namespace nrwapis {

// Arguments that follow the helper's path on its command line.
const std::vector<std::string>& helper_arguments();

// The installation folder from the library's module path: the folder above the
// library's own, with its separator; separators are found as characters of the
// code page the path is spelt in (path_text.h).
std::string install_folder_from_module_path(const std::string& module_path, unsigned code_page = 0);

// One Windows command line: the executable in double quotes, so that a path with
// a space cannot start another program, then the arguments separated by blanks.
std::string quoted_command_line(const std::string& executable,
                                const std::vector<std::string>& arguments);

}  // namespace nrwapis
