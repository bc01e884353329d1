// Whether the plug-in and the client library beside it can serve IDEs, found
// by reading the files: nothing of them runs, so a file someone put there can
// do nothing in the process that judges it (the installer's runs with the
// rights of the system).
#pragma once

#include <cstdint>
#include <string>

#include "pe_image.h"

namespace nrwreg {

// The first reason IDEs with the processor `machine` could not use the plug-in
// at `plugin_path` and its client library beside it; empty when they could.
std::string installation_problem(const std::string& plugin_path, std::uint16_t machine);

// Each file's part of that: the plug-in's exports and API version (its machine
// checked apart), and the client library's machine and entry point.
std::string plugin_problem(const pe::Image& plugin);
std::string client_problem(const pe::Image* client, const std::string& client_path,
                           std::uint16_t machine);

// The same for files already read; null where a file could not be read as a
// Windows library. `client_path` names the client library in the reason.
std::string judge_installation(const pe::Image* plugin, const pe::Image* client,
                               const std::string& client_path, std::uint16_t machine);

}  // namespace nrwreg
