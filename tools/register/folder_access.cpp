#include "folder_access.h"
#include "wide_text.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

namespace nrwreg {

namespace {

// Rights that let someone create a file in the folder, replace or delete one,
// or give themselves those rights.
constexpr ACCESS_MASK kWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                     DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | GENERIC_WRITE;

struct Group {
    const char* sid;
    const char* name;
};
constexpr Group kStandardUserGroups[] = {{"S-1-1-0", "Everyone"},
                                         {"S-1-5-11", "Authenticated Users"},
                                         {"S-1-5-32-545", "Users"},
                                         {"S-1-5-4", "INTERACTIVE"}};

std::string sid_text(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return "";
    const std::string copy = text;
    LocalFree(text);
    return copy;
}

const Group* standard_user_group(const std::string& sid) {
    for (const Group& group : kStandardUserGroups)
        if (sid == group.sid) return &group;
    return nullptr;
}

// A local or domain account (or group of one), which may be anybody's.
bool single_account(const std::string& sid) {
    return sid.rfind("S-1-5-21-", 0) == 0;
}

std::string account_name(PSID sid, const std::string& text) {
    char name[256], domain[256];
    DWORD name_size = sizeof(name), domain_size = sizeof(domain);
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, sid, name, &name_size, domain, &domain_size, &use)) return text;
    return std::string(domain) + (domain[0] ? "\\" : "") + name + " (" + text + ")";
}

void add_once(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

// One target: the folder itself (entries that are not inherit-only) or what
// is made in it, files and folders (entries they inherit).
void judge_target(const ACL* dacl, bool children, FolderAccess& access) {
    ACCESS_MASK denied = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), i, &entry)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        const bool applies =
            children ? (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0
                     : (header->AceFlags & INHERIT_ONLY_ACE) == 0;
        if (!applies) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
            continue;
        // Allowed and denied entries share their layout.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&ace->SidStart);
        const std::string text = sid_text(sid);
        const Group* group = standard_user_group(text);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            if (group != nullptr) denied |= ace->Mask;
            continue;
        }
        if ((ace->Mask & kWriteRights) == 0) continue;
        if (group != nullptr && (ace->Mask & kWriteRights & ~denied) != 0) {
            add_once(access.open_to, group->name);
            add_once(access.open_sids, group->sid);
        } else if (group == nullptr && single_account(text)) {
            add_once(access.named, account_name(sid, text));
        }
    }
}

}  // namespace

FolderAccess judge_folder_descriptor(PSECURITY_DESCRIPTOR descriptor) {
    FolderAccess access;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        access.unreadable = true;
        return access;
    }
    if (!present || dacl == nullptr) {  // no list at all: everyone may do anything
        access.open_to.push_back("Everyone");
        access.open_sids.push_back("S-1-1-0");
        return access;
    }
    judge_target(dacl, false, access);
    judge_target(dacl, true, access);
    // An owner may always change the permissions.
    PSID owner = nullptr;
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr) {
        const std::string text = sid_text(owner);
        if (const Group* group = standard_user_group(text)) {
            add_once(access.open_to, group->name);
            add_once(access.open_sids, group->sid);
        } else if (single_account(text)) {
            add_once(access.named, account_name(owner, text) + ", its owner");
        }
    }
    return access;
}

FolderAccess folder_access(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    FolderAccess access;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        access.unreadable = true;
        return access;
    }
    access = judge_folder_descriptor(descriptor);
    LocalFree(descriptor);
    return access;
}

namespace {

// The Navigator's folder names every installed path. Hosts load the plug-in, and
// the plug-in its client library, through the ANSI functions, whose paths end at
// MAX_PATH including the final zero; the longest file name sets the limit for all.
constexpr const wchar_t* kLongestPart = L"nrwapis\\nrw-bridge-guide.txt";

}  // namespace

std::wstring navigator_folder_problem(const std::wstring& folder) {
    const std::wstring longest = folder + kLongestPart;
    std::string narrow;
    if (!host::narrowed(longest, narrow))
        return L"the folder " + folder + L" has characters that the system's ANSI code page (" +
               std::to_wstring(GetACP()) +
               L") cannot hold, and IDEs load plug-ins by ANSI paths. Install Norrow Navigator "
               L"into a folder whose name has only such characters, or change the system locale "
               L"for non-Unicode programs.";
    if (narrow.size() >= MAX_PATH)
        return L"the longest path the bridge installs, " + longest + L", would be " +
               std::to_wstring(narrow.size()) +
               L" characters long; IDEs load plug-ins, and the plug-in its library, by paths of "
               L"at most " +
               std::to_wstring(MAX_PATH - 1) + L". Install Norrow Navigator into a shorter folder.";
    return L"";
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string open_folder_fix(const std::string& folder, const FolderAccess& access) {
    std::string grants;
    for (const std::string& sid : access.open_sids) grants += " *" + sid + ":(OI)(CI)RX";
    return "icacls \"" + folder + "\" /inheritance:d && icacls \"" + folder + "\" /grant:r" +
           grants +
           " /T (they keep reading and running it), or install Norrow Navigator into "
           "a folder under Program Files";
}

}  // namespace nrwreg
