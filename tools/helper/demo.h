// Demo mode: a tiny stateful repository kept in one text file.
#pragma once

#include <string>

#include "protocol.h"

namespace helper {

std::string demo_answer(const Request& request, const std::string& state_file);

}  // namespace helper
