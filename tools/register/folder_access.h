// Who besides administrators can put files into a folder or replace the ones
// there: a plug-in folder open to them lets one user put code into every other
// user's IDE, and into what the installer runs as the system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nrwreg {

struct FolderAccess {
    // The broad groups every standard user belongs to (Everyone, Authenticated
    // Users, Users, INTERACTIVE) that may create or replace files there.
    std::vector<std::string> open_to;
    std::vector<std::string> open_sids;  // the same, as SIDs, for the fix
    // Single accounts that may: the folder's owner, or an entry of its own.
    std::vector<std::string> named;
    bool unreadable = false;  // the folder's permissions could not be read
};

// Judges a security descriptor as Windows applies it to the folder itself and
// to the files created in it: entries in order (a deny before an allow wins),
// inherit-only entries for the children alone.
FolderAccess judge_folder_descriptor(PSECURITY_DESCRIPTOR descriptor);
FolderAccess folder_access(const std::string& folder);

// Why IDEs could not load the bridge from the Navigator's folder (given with
// its final backslash): a path longer than the ANSI limit, or characters the
// ANSI code page cannot hold. Empty when they could. The installer and the
// registration tool of an unzipped copy apply the same rules.
std::wstring navigator_folder_problem(const std::wstring& folder);

// "Users, Authenticated Users"
std::string listed(const std::vector<std::string>& names);
// The commands that take that right away, keeping read and run.
std::string open_folder_fix(const std::string& folder, const FolderAccess& access);

}  // namespace nrwreg
