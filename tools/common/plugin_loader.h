// Loads a source-control provider the way an IDE does: by full path, then every
// export by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scc_api.h"

namespace host {

struct SccExports {
    decltype(&SccGetVersion) GetVersion = nullptr;
    decltype(&SccInitialize) Initialize = nullptr;
    decltype(&SccUninitialize) Uninitialize = nullptr;
    decltype(&SccOpenProject) OpenProject = nullptr;
    decltype(&SccCloseProject) CloseProject = nullptr;
    decltype(&SccCheckout) Checkout = nullptr;
    decltype(&SccUncheckout) Uncheckout = nullptr;
    decltype(&SccCheckin) Checkin = nullptr;
    decltype(&SccAdd) Add = nullptr;
    decltype(&SccRemove) Remove = nullptr;
    decltype(&SccGet) Get = nullptr;
    decltype(&SccDiff) Diff = nullptr;
    decltype(&SccDirDiff) DirDiff = nullptr;
    decltype(&SccHistory) History = nullptr;
    decltype(&SccQueryInfo) QueryInfo = nullptr;
    decltype(&SccDirQueryInfo) DirQueryInfo = nullptr;
    decltype(&SccGetEvents) GetEvents = nullptr;
    decltype(&SccRunScc) RunScc = nullptr;
    decltype(&SccGetProjPath) GetProjPath = nullptr;
    decltype(&SccGetCommandOptions) GetCommandOptions = nullptr;
    decltype(&SccBeginBatch) BeginBatch = nullptr;
    decltype(&SccEndBatch) EndBatch = nullptr;
    decltype(&SccRename) Rename = nullptr;
    decltype(&SccAddFromScc) AddFromScc = nullptr;
    decltype(&SccProperties) Properties = nullptr;
    decltype(&SccPopulateList) PopulateList = nullptr;
    decltype(&SccSetOption) SetOption = nullptr;
    decltype(&SccCreateSubProject) CreateSubProject = nullptr;
    decltype(&SccGetParentProjectPath) GetParentProjectPath = nullptr;
    decltype(&SccIsMultiCheckoutEnabled) IsMultiCheckoutEnabled = nullptr;
    decltype(&SccWillCreateSccFile) WillCreateSccFile = nullptr;
    decltype(&SccBackgroundGet) BackgroundGet = nullptr;
    decltype(&SccPopulateDirList) PopulateDirList = nullptr;
    decltype(&SccQueryChanges) QueryChanges = nullptr;
    decltype(&SccGetUserOption) GetUserOption = nullptr;
    decltype(&SccGetExtendedCapabilities) GetExtendedCapabilities = nullptr;
    decltype(&SccEnumChangedFiles) EnumChangedFiles = nullptr;
    decltype(&SccAddFilesFromSCC) AddFilesFromSCC = nullptr;
    decltype(&SccRemoveDir) RemoveDir = nullptr;
};

enum class LoadStyle { plain, altered_search_path };

// Loads the library and resolves all 39 exports. On failure `error` says why and
// `missing` lists the exports that were not found.
bool load_provider(const std::string& path, LoadStyle style, SccExports& exports,
                   std::string& error, std::vector<std::string>& missing);

// The machine's default Source Code Control provider, as hosts find it: its
// plug-in's path, or false with the reason.
bool default_provider(std::string& path, std::string& error);

// The system's way of opening a library and finding a symbol in it.
void* open_library(const std::string& path, LoadStyle style, std::string& error);
// "error N: " and the system's own text for the number, where it has one.
std::string system_error_text(unsigned long code);
// This program's own file, however long its path.
std::string own_program_path();
// The code page narrow paths are spelt in, to split them by characters
// (path_text.h); 0 where every byte is a character.
unsigned ansi_code_page();
void* find_symbol(void* library, const char* name);

}  // namespace host
