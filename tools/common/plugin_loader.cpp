#include "plugin_loader.h"

namespace host {

namespace {

template <class Function>
void resolve(void* library, const char* name, Function& slot, std::vector<std::string>& missing) {
    slot = reinterpret_cast<Function>(find_symbol(library, name));
    if (slot == nullptr) missing.push_back(name);
}

}  // namespace

bool load_provider(const std::string& path, LoadStyle style, SccExports& e, std::string& error,
                   std::vector<std::string>& missing) {
    void* lib = open_library(path, style, error);
    if (lib == nullptr) return false;
    resolve(lib, "SccGetVersion", e.GetVersion, missing);
    resolve(lib, "SccInitialize", e.Initialize, missing);
    resolve(lib, "SccUninitialize", e.Uninitialize, missing);
    resolve(lib, "SccOpenProject", e.OpenProject, missing);
    resolve(lib, "SccCloseProject", e.CloseProject, missing);
    resolve(lib, "SccCheckout", e.Checkout, missing);
    resolve(lib, "SccUncheckout", e.Uncheckout, missing);
    resolve(lib, "SccCheckin", e.Checkin, missing);
    resolve(lib, "SccAdd", e.Add, missing);
    resolve(lib, "SccRemove", e.Remove, missing);
    resolve(lib, "SccGet", e.Get, missing);
    resolve(lib, "SccDiff", e.Diff, missing);
    resolve(lib, "SccDirDiff", e.DirDiff, missing);
    resolve(lib, "SccHistory", e.History, missing);
    resolve(lib, "SccQueryInfo", e.QueryInfo, missing);
    resolve(lib, "SccDirQueryInfo", e.DirQueryInfo, missing);
    resolve(lib, "SccGetEvents", e.GetEvents, missing);
    resolve(lib, "SccRunScc", e.RunScc, missing);
    resolve(lib, "SccGetProjPath", e.GetProjPath, missing);
    resolve(lib, "SccGetCommandOptions", e.GetCommandOptions, missing);
    resolve(lib, "SccBeginBatch", e.BeginBatch, missing);
    resolve(lib, "SccEndBatch", e.EndBatch, missing);
    resolve(lib, "SccRename", e.Rename, missing);
    resolve(lib, "SccAddFromScc", e.AddFromScc, missing);
    resolve(lib, "SccProperties", e.Properties, missing);
    resolve(lib, "SccPopulateList", e.PopulateList, missing);
    resolve(lib, "SccSetOption", e.SetOption, missing);
    resolve(lib, "SccCreateSubProject", e.CreateSubProject, missing);
    resolve(lib, "SccGetParentProjectPath", e.GetParentProjectPath, missing);
    resolve(lib, "SccIsMultiCheckoutEnabled", e.IsMultiCheckoutEnabled, missing);
    resolve(lib, "SccWillCreateSccFile", e.WillCreateSccFile, missing);
    resolve(lib, "SccBackgroundGet", e.BackgroundGet, missing);
    resolve(lib, "SccPopulateDirList", e.PopulateDirList, missing);
    resolve(lib, "SccQueryChanges", e.QueryChanges, missing);
    resolve(lib, "SccGetUserOption", e.GetUserOption, missing);
    resolve(lib, "SccGetExtendedCapabilities", e.GetExtendedCapabilities, missing);
    resolve(lib, "SccEnumChangedFiles", e.EnumChangedFiles, missing);
    resolve(lib, "SccAddFilesFromSCC", e.AddFilesFromSCC, missing);
    resolve(lib, "SccRemoveDir", e.RemoveDir, missing);
    if (!missing.empty()) error = "missing exports";
    return missing.empty();
}

}  // namespace host
