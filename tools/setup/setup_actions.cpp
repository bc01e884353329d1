// Actions the Windows Installer package runs from its Binary table, so that what
// they find reaches the installer's log (msiexec /l*v) in words an administrator
// can act on, and so that they work whatever happened to the installed files.
// windows.h first: the installer headers build on its types.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "architectures.h"
#include "folder_access.h"
#include "nrw_identity.h"
#include "registration.h"
#include "wide_text.h"

namespace {

std::wstring property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, name, empty, &size) != ERROR_MORE_DATA) return std::wstring();
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, name, &value[0], &size) != ERROR_SUCCESS) return std::wstring();
    value.resize(size);
    return value;
}

// One line in the installer's log; an error is also shown where there is a user
// interface.
void say(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE(kind | (kind == INSTALLMESSAGE_ERROR ? MB_OK : 0)),
                      record);
}

UINT refuse(MSIHANDLE install, const std::wstring& text) {
    say(install, INSTALLMESSAGE_ERROR, L"Norrow Navigator IDE bridge: " + text);
    return ERROR_INSTALL_FAILURE;
}

// A folder the ANSI code page cannot spell is refused before it gets here
// (navigator_folder_problem); empty where it could not be spelt all the same.
std::string ansi(const std::wstring& text) {
    std::string narrow;
    host::narrowed(text, narrow);
    return narrow;
}

// The tools' texts are in the ANSI code page: account names and folders in the
// user's language come out as the user reads them.
std::wstring widen(const std::string& text) {
    return host::widened(text);
}

// A refusal, which the log shows after the product's name, as a sentence of its own.
std::wstring as_sentence(std::wstring text) {
    if (!text.empty() && text[0] >= L'a' && text[0] <= L'z')
        text[0] = wchar_t(text[0] - L'a' + L'A');
    return text;
}

}  // namespace

std::wstring with_separator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

bool same_folder(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// A folder of the bridge that users who are not administrators can write to
// is refused, unless an administrator accepts it with ALLOWOPENFOLDER=1: any of
// them could replace the plug-in that every user's IDE loads. Each decision
// is written to the log; the refusal is returned.
std::wstring open_folder_refusal(MSIHANDLE install, const std::wstring& folder) {
    const bool allowed = property(install, L"ALLOWOPENFOLDER") == L"1";
    bool any_open = false;
    for (const wchar_t* part : {L"", L"nrwapis", L"nrwapis64"}) {
        const std::wstring path = folder + part;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const nrwreg::FolderAccess access = nrwreg::folder_access(ansi(path));
        if (access.unreadable)
            say(install, INSTALLMESSAGE_INFO,
                L"Norrow Navigator IDE bridge: the permissions of " + path + L" could not be read");
        if (!access.named.empty())
            say(install, INSTALLMESSAGE_INFO,
                L"Norrow Navigator IDE bridge: note: " + path + L" can also be written by " +
                    widen(nrwreg::listed(access.named)));
        if (access.open_to.empty()) continue;
        any_open = true;
        const std::wstring open = L"the folder " + path +
                                  L" can be written by users who are not administrators (" +
                                  widen(nrwreg::listed(access.open_to)) + L")";
        if (!allowed)
            return open +
                   L": any of them could replace the plug-in that every user's IDE loads. Fix: " +
                   widen(nrwreg::open_folder_fix(ansi(path), access)) +
                   L". An administrator who accepts the risk installs with ALLOWOPENFOLDER=1.";
        say(install, INSTALLMESSAGE_INFO,
            L"Norrow Navigator IDE bridge: ALLOWOPENFOLDER=1: the administrator accepts that " +
                open);
    }
    if (allowed && !any_open)
        say(install, INSTALLMESSAGE_INFO,
            L"Norrow Navigator IDE bridge: ALLOWOPENFOLDER=1 is set; no folder of the bridge "
            L"is open to users who are not administrators");
    return std::wstring();
}

// Why the bridge cannot go into a folder, or nothing: the plug-in's path must
// be one that IDEs can load, no longer than the ANSI path limit and with a name
// the ANSI code page holds; an installed bridge stays where it is (one
// installation, one folder); and no one but administrators may write there.
std::wstring folder_refusal(MSIHANDLE install, const std::wstring& folder) {
    const std::wstring remembered = with_separator(property(install, L"REMEMBEREDNAVDIR"));
    if (!property(install, L"Installed").empty() && !remembered.empty() &&
        !same_folder(folder, remembered))
        return L"the bridge is installed in " + remembered + L"nrwapis. Uninstall it first to " +
               L"install it into " + folder + L"nrwapis.";
    if (std::wstring why = nrwreg::navigator_folder_problem(folder); !why.empty()) return why;
    return open_folder_refusal(install, folder);
}

// Before anything is written.
extern "C" __declspec(dllexport) UINT __stdcall CheckNavigatorDir(MSIHANDLE install) {
    const std::wstring folder = with_separator(property(install, L"NAVIGATORDIR"));
    if (folder.empty()) return ERROR_SUCCESS;  // the launch condition speaks for this
    if (const std::wstring why = folder_refusal(install, folder); !why.empty())
        return refuse(install, why);
    say(install, INSTALLMESSAGE_INFO,
        L"Norrow Navigator IDE bridge: the files go to " + folder + L"nrwapis");
    return ERROR_SUCCESS;
}

namespace {

constexpr const wchar_t* kNavigatorFolderName = L"Norrow Navigator\\";

bool holds_navigator(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW((folder + widen(nrw::kHelperFile)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the Navigator is usually installed, 64-bit Program Files first.
std::vector<std::wstring> usual_places(MSIHANDLE install) {
    std::vector<std::wstring> places;
    for (const wchar_t* folder : {L"ProgramFiles64Folder", L"ProgramFilesFolder"}) {
        const std::wstring root = property(install, folder);
        if (!root.empty()) places.push_back(with_separator(root) + kNavigatorFolderName);
    }
    return places;
}

// The usual places, for a message that says where the Navigator was looked for.
std::wstring looked_in(MSIHANDLE install) {
    std::wstring looked;
    for (const std::wstring& place : usual_places(install))
        looked += (looked.empty() ? L"" : L" or ") + place;
    return looked;
}

}  // namespace

// Where no folder is given and none is remembered from an earlier install, the
// Navigator is looked for where it is usually installed, so that a user who
// starts the package without properties gets it installed there. A given
// NAVIGATORDIR always wins.
extern "C" __declspec(dllexport) UINT __stdcall FindNavigator(MSIHANDLE install) {
    if (!property(install, L"NAVIGATORDIR").empty() ||
        !property(install, L"REMEMBEREDNAVDIR").empty() ||
        !property(install, L"REMEMBEREDNAVDIR32").empty())
        return ERROR_SUCCESS;
    for (const std::wstring& place : usual_places(install)) {
        if (!holds_navigator(place)) continue;
        MsiSetPropertyW(install, L"NAVIGATORDIR", place.c_str());
        MsiSetPropertyW(install, L"NAVIGATOREXE", (place + widen(nrw::kHelperFile)).c_str());
        say(install, INSTALLMESSAGE_INFO,
            L"Norrow Navigator IDE bridge: found Norrow Navigator in " + place);
        return ERROR_SUCCESS;
    }
    return ERROR_SUCCESS;
}

// The first dialog's check of the folder a user chose, run before it shows and
// on Install: the same rules as the refusals of a silent install, said in one
// line that the dialog shows while the folder is the one checked.
extern "C" __declspec(dllexport) UINT __stdcall CheckNavigatorChoice(MSIHANDLE install) {
    const std::wstring chosen = property(install, L"NAVIGATORDIR");
    const std::wstring folder = with_separator(chosen);
    std::wstring problem;
    if (folder.empty())
        problem = L"Give the folder of Norrow Navigator, the one that holds " +
                  widen(nrw::kHelperFile) + L" (it is not in " + looked_in(install) + L").";
    else if (!holds_navigator(folder))
        problem = widen(nrw::kHelperFile) + L" is not in " + folder +
                  L". Give the folder of Norrow Navigator that holds it.";
    else
        problem = as_sentence(folder_refusal(install, folder));
    MsiSetPropertyW(install, L"NrwCheckedDir", chosen.c_str());
    MsiSetPropertyW(install, L"NrwFolderProblem", problem.c_str());
    MsiSetPropertyW(install, L"NrwFolderOk", problem.empty() ? L"1" : L"");
    say(install, INSTALLMESSAGE_INFO,
        L"Norrow Navigator IDE bridge: the folder chosen, \"" + chosen + L"\": " +
            (problem.empty() ? L"accepted" : problem));
    return ERROR_SUCCESS;
}

namespace {

// A string value of the machine's registry, in the given view; empty when absent.
std::wstring machine_value(const wchar_t* key, const wchar_t* name, REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[1024] = L"";
    DWORD type = 0;
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::wstring();
    value[size / sizeof(wchar_t)] = L'\0';
    return value;
}

}  // namespace

// Windows Installer runs AppSearch once: where the user interface ran, it ran
// there, as the user, and the installing side gets only the secure properties.
// So the installing side repeats the searches of the package's tables itself
// (RegistrySearch and DrLocator in nrw-bridge.wxs and build-msi.sh), after
// any value given for them was dropped: the folder remembered by an earlier
// install, whether we are the default provider, and the Navigator program in
// NAVIGATORDIR; the searches ...32 read the 32-bit registry view.
extern "C" __declspec(dllexport) UINT __stdcall RepeatSearches(MSIHANDLE install) {
    const wchar_t* const remembered_key = L"SOFTWARE\\Corvane\\NorrowNavigatorBridge";
    const wchar_t* const scc_key = L"SOFTWARE\\SourceCodeControlProvider";
    struct Search {
        const wchar_t* property;
        const wchar_t* key;
        const wchar_t* name;
        REGSAM view;
    };
    for (const Search& search :
         {Search{L"REMEMBEREDNAVDIR", remembered_key, L"NavigatorDir", 0},
          Search{L"REMEMBEREDNAVDIR32", remembered_key, L"NavigatorDir", KEY_WOW64_32KEY},
          Search{L"CURRENTDEFAULT", scc_key, L"ProviderRegKey", 0},
          Search{L"CURRENTDEFAULT32", scc_key, L"ProviderRegKey", KEY_WOW64_32KEY}})
        MsiSetPropertyW(install, search.property,
                        machine_value(search.key, search.name, search.view).c_str());
    const std::wstring folder = with_separator(property(install, L"NAVIGATORDIR"));
    const std::wstring program = folder + widen(nrw::kHelperFile);
    MsiSetPropertyW(install, L"NAVIGATOREXE",
                    !folder.empty() && holds_navigator(folder) ? program.c_str() : L"");
    return ERROR_SUCCESS;
}

// Run where the launch condition on the navigator fails, first, so that the reason
// is in the log whatever the installer does with the condition's own text.
extern "C" __declspec(dllexport) UINT __stdcall RefuseWithoutNavigator(MSIHANDLE install) {
    const std::wstring folder = property(install, L"NAVIGATORDIR");
    const std::wstring helper = widen(nrw::kHelperFile);
    const std::wstring looked = looked_in(install);
    return refuse(install, folder.empty()
                               ? L"NAVIGATORDIR is not set. Set it to the folder that holds " +
                                     helper +
                                     L", for example NAVIGATORDIR=\"C:\\Program Files\\Norrow "
                                     L"Navigator\" (it is not in " +
                                     looked + L")."
                               : helper + L" is not in NAVIGATORDIR (" + folder +
                                     L"). Set NAVIGATORDIR to the folder of Norrow Navigator "
                                     L"that holds it.");
}

namespace {

std::wstring without_line_end(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return widen(text);
}

// The registration, run as a deferred action with the installer's rights. It is
// this package's own code, and reads the installed plug-ins without loading
// them: nothing in NAVIGATORDIR, which may be open to others, runs here. The
// Navigator's folder comes as the action's data; what the registration says
// goes to the log, its reason above all.
UINT register_installation(MSIHANDLE install, bool make_default) {
    const std::wstring folder = with_separator(property(install, L"CustomActionData"));
    const std::string narrow_folder = ansi(folder);
    if (narrow_folder.empty())
        return refuse(install, L"the folder " + folder +
                                   L" cannot be spelt in the system's ANSI code page (" +
                                   std::to_wstring(GetACP()) + L"), by which IDEs load plug-ins.");
    nrwreg::InstallRequest request;
    request.own_folder = nrwreg::folder_for(nrwreg::kOwnBits, narrow_folder + "nrwapis");
    request.make_default = make_default;
    nrwreg::Said said;
    const int status = nrwreg::install(request, said);
    if (status != nrwreg::kDone)
        return refuse(install, L"the registration failed: " + without_line_end(said.err));
    say(install, INSTALLMESSAGE_INFO,
        L"Norrow Navigator IDE bridge: " + without_line_end(said.out));
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall RegisterBridge(MSIHANDLE install) {
    return register_installation(install, false);
}

extern "C" __declspec(dllexport) UINT __stdcall RegisterBridgeAsDefault(MSIHANDLE install) {
    return register_installation(install, true);
}
