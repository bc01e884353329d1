#include "architectures.h"

#include <cstdio>

#include "path_text.h"
#include "pe_image.h"
#include "plugin_loader.h"

namespace nrwreg {

namespace {

const View kViews[] = {{KEY_WOW64_32KEY, 32, pe::kMachineI386},
                       {KEY_WOW64_64KEY, 64, pe::kMachineAmd64}};

std::string parent_of(const std::string& folder) {
    const std::size_t slash = nrwapis::path_text::last_separator(folder, host::ansi_code_page());
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

std::string quoted(const std::string& argument) {
    return argument.find_first_of(" \t") == std::string::npos ? argument : "\"" + argument + "\"";
}

}  // namespace

bool two_registry_views() {
    BOOL wow64 = FALSE;
    return kOwnBits == 64 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

std::vector<View> registry_views() {
    std::vector<View> views;
    for (const int bits : view_bits(two_registry_views())) views.push_back(view_of(bits));
    return views;
}

const View& view_of(int bits) {
    return bits == 64 ? kViews[1] : kViews[0];
}

std::string folder_for(int bits, const std::string& own_folder) {
    return parent_of(own_folder) + (bits == 64 ? "\\nrwapis64" : "\\nrwapis");
}

std::string other_architecture_tool(const std::string& own_folder) {
    const int other_bits = kOwnBits == 64 ? 32 : 64;
    const std::string folder = folder_for(other_bits, own_folder);
    if (lstrcmpiA(folder.c_str(), own_folder.c_str()) == 0) return std::string();
    const std::string tool = folder + "\\nrwregister.exe";
    pe::Image image;
    return pe::read_image_file(tool, image) && image.machine == view_of(other_bits).machine
               ? tool
               : std::string();
}

namespace {

// A 64-bit Windows may come without its 32-bit subsystem.
bool runs_32bit_programs() {
    if (kOwnBits == 32) return true;
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    // A busy machine now and then fails to start a program: asked three times.
    // /d: no AutoRun command of the registry runs with our rights.
    std::string error;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(500);
        if (run_program(std::string(folder) + "\\cmd.exe", {"/d", "/c", "exit", "0"}, error,
                        true) == 0)
            return true;
    }
    return false;
}

}  // namespace

WindowsFacts this_windows() {
    WindowsFacts facts;
    facts.own_bits = kOwnBits;
    facts.two_views = two_registry_views();
    facts.runs_32bit = runs_32bit_programs();
    return facts;
}

int run_program(const std::string& program, const std::vector<std::string>& args,
                std::string& error, bool hidden) {
    std::string command_line = quoted(program);
    for (const std::string& argument : args) command_line += " " + quoted(argument);
    // What we printed so far comes before what it prints.
    std::fflush(stdout);
    std::fflush(stderr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!hidden) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, !hidden,
                        hidden ? CREATE_NO_WINDOW : 0, nullptr, nullptr, &startup, &process)) {
        error = host::system_error_text(GetLastError());
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

}  // namespace nrwreg
