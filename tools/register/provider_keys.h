// Where Source Code Control providers are registered, and what of it is ours.
#pragma once

#include <windows.h>

namespace nrwreg {

constexpr const char* kProviderName = "Corvane Norrow Navigator";
constexpr const char* kProviderKey = "SOFTWARE\\Corvane\\NorrowNavigator";
constexpr const char* kVendorKey = "SOFTWARE\\Corvane";
constexpr const char* kSccKey = "SOFTWARE\\SourceCodeControlProvider";
constexpr const char* kInstalledKey = "SOFTWARE\\SourceCodeControlProvider\\InstalledSCCProviders";
constexpr const char* kDefault = "ProviderRegKey";
constexpr const char* kServerPath = "SCCServerPath";
// The default before ours, kept in our own key; empty when there was none.
constexpr const char* kPreviousDefault = "PreviousProviderRegKey";
// What stood under our display name before install, when it named another key.
constexpr const char* kPreviousListing = "PreviousInstalledSCCProvider";
constexpr LONG kApiVersion = 0x00010003;
constexpr const char* kPluginFile = "libnrwscc.dll";
constexpr const char* kClientFile = "libnrwapis.dll";
constexpr const char* kHelperFile = "nrwnavigator.exe";
constexpr const char* kTraceVariable = "CRVN_NRWAPIS_TRACE_DIR";

}  // namespace nrwreg
