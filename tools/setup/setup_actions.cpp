// Actions the Windows Installer package runs from its Binary table, so that what
// they find reaches the installer's log (msiexec /l*v) in words an administrator
// can act on, and so that they work whatever happened to the installed files.
// windows.h first: the installer headers build on its types.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

#include "nrw_identity.h"

namespace {

// The Navigator's folder names every installed path. Hosts load the plug-in, and
// the plug-in its client library, through the ANSI functions, whose paths end at
// MAX_PATH including the final zero; the longest file name sets the limit for all.
constexpr const wchar_t* kLongestPart = L"nrwapis\\nrw-bridge-guide.txt";

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

std::wstring widen(const std::string& text) {
    std::wstring wide;
    for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Runs a command line and gives back its exit code and everything it printed.
bool run_and_capture(std::wstring command_line, DWORD& exit_code, std::string& output) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return false;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return false;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(read_end, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        output.append(chunk, got);
    CloseHandle(read_end);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
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

// Before anything is written: the plug-in's path must be one that IDEs can load,
// no longer than the ANSI path limit and with a name the ANSI code page holds;
// and an installed bridge stays where it is (one installation, one folder).
extern "C" __declspec(dllexport) UINT __stdcall CheckNavigatorDir(MSIHANDLE install) {
    const std::wstring folder = with_separator(property(install, L"NAVIGATORDIR"));
    if (folder.empty()) return ERROR_SUCCESS;  // the launch condition speaks for this
    const std::wstring remembered = with_separator(property(install, L"REMEMBEREDNAVDIR"));
    if (!property(install, L"Installed").empty() && !remembered.empty() &&
        !same_folder(folder, remembered))
        return refuse(install, L"the bridge is installed in " + remembered +
                                   L"nrwapis. Uninstall it first to install it into " + folder +
                                   L"nrwapis.");
    const std::wstring longest = folder + kLongestPart;
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, longest.c_str(),
                            static_cast<int>(longest.size()), nullptr, 0, nullptr, &lossy);
    if (lossy || length == 0)
        return refuse(install, L"the folder " + folder +
                                   L" has characters that the system's ANSI code page (" +
                                   std::to_wstring(GetACP()) +
                                   L") cannot hold, and IDEs load plug-ins by ANSI paths. "
                                   L"Install Norrow Navigator into a folder whose name has only "
                                   L"such characters, or change the system locale for "
                                   L"non-Unicode programs.");
    if (length >= MAX_PATH)
        return refuse(install, L"the longest path the bridge installs, " + longest +
                                   L", would be " + std::to_wstring(length) +
                                   L" characters long; IDEs load plug-ins, and the plug-in its "
                                   L"library, by paths of at most " +
                                   std::to_wstring(MAX_PATH - 1) +
                                   L". Install Norrow Navigator into a shorter folder.");
    say(install, INSTALLMESSAGE_INFO,
        L"Norrow Navigator IDE bridge: the files go to " + folder + L"nrwapis");
    return ERROR_SUCCESS;
}

// Run where the launch condition on the navigator fails, first, so that the reason
// is in the log whatever the installer does with the condition's own text.
extern "C" __declspec(dllexport) UINT __stdcall RefuseWithoutNavigator(MSIHANDLE install) {
    const std::wstring folder = property(install, L"NAVIGATORDIR");
    const std::wstring helper = widen(nrw::kHelperFile);
    return refuse(install, folder.empty()
                               ? L"NAVIGATORDIR is not set. Set it to the folder that holds " +
                                     helper +
                                     L", for example NAVIGATORDIR=\"C:\\Program Files\\Norrow "
                                     L"Navigator\"."
                               : helper + L" is not in NAVIGATORDIR (" + folder +
                                     L"). Set NAVIGATORDIR to the folder of Norrow Navigator "
                                     L"that holds it.");
}

// The registration tool as a deferred action: its command line comes as the
// action's data, and whatever it prints goes to the log, its reason above all.
extern "C" __declspec(dllexport) UINT __stdcall RunRegisterTool(MSIHANDLE install) {
    const std::wstring command_line = property(install, L"CustomActionData");
    DWORD exit_code = 0;
    std::string output;
    // A program that could not be started is tried again: 64-bit Wine now and
    // then fails to start one under load.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) Sleep(1000);
        started = run_and_capture(command_line, exit_code, output);
    }
    if (!started)
        return refuse(install, L"could not start " + command_line + L" (error " +
                                   std::to_wstring(GetLastError()) + L")");
    std::wstring printed = widen(output);
    while (!printed.empty() && (printed.back() == L'\n' || printed.back() == L'\r'))
        printed.pop_back();
    if (exit_code != 0) return refuse(install, L"the registration failed: " + printed);
    say(install, INSTALLMESSAGE_INFO, L"Norrow Navigator IDE bridge: " + printed);
    return ERROR_SUCCESS;
}
