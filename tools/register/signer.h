// Who signed a Windows program file, as the system's cryptography reads it.
#pragma once

#include <string>

namespace nrwreg {

// The signer's name from the file's embedded signature; empty where there is
// none or the system cannot tell. It says nothing of whether the signature
// verifies.
std::string signer_of(const std::string& path);

}  // namespace nrwreg
