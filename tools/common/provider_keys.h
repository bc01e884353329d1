// Where Source Code Control providers are registered, and what of it is ours.
#pragma once

#include "nrw_identity.h"

namespace nrwreg {

constexpr const char* kSccKey = "SOFTWARE\\SourceCodeControlProvider";
constexpr const char* kInstalledKey = "SOFTWARE\\SourceCodeControlProvider\\InstalledSCCProviders";
constexpr const char* kDefault = "ProviderRegKey";
constexpr const char* kServerName = "SCCServerName";
constexpr const char* kServerPath = "SCCServerPath";
// The default before ours, kept in our own key; empty when there was none.
constexpr const char* kPreviousDefault = "PreviousProviderRegKey";
// What stood under our display name before install, when it named another key.
constexpr const char* kPreviousListing = "PreviousInstalledSCCProvider";

}  // namespace nrwreg
