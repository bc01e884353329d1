// Where Source Code Control providers are registered, and what of it is ours.
#pragma once

#include "nrw_identity.h"

namespace nrwreg {

constexpr const char* kProviderName = nrw::kProviderName;
constexpr const char* kProviderKey = nrw::kProviderKey;
constexpr const char* kVendorKey = nrw::kVendorKey;
constexpr const char* kSccKey = "SOFTWARE\\SourceCodeControlProvider";
constexpr const char* kInstalledKey = "SOFTWARE\\SourceCodeControlProvider\\InstalledSCCProviders";
constexpr const char* kDefault = "ProviderRegKey";
constexpr const char* kServerPath = "SCCServerPath";
// The default before ours, kept in our own key; empty when there was none.
constexpr const char* kPreviousDefault = "PreviousProviderRegKey";
// What stood under our display name before install, when it named another key.
constexpr const char* kPreviousListing = "PreviousInstalledSCCProvider";
constexpr long kApiVersion = nrw::kSccApiVersion;
constexpr const char* kPluginFile = nrw::kPluginFile;
constexpr const char* kClientFile = nrw::kClientLibraryFile;
constexpr const char* kHelperFile = nrw::kHelperFile;
constexpr const char* kTraceVariable = nrw::kTraceVariable;

}  // namespace nrwreg
