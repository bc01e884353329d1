#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

#include "soak_system.h"

namespace soak {

namespace {

// One entry of the system's handle table (information class 16).
struct HandleEntry {
    USHORT process_id;
    USHORT creator_back_trace_index;
    UCHAR object_type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG granted_access;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

}  // namespace

void set_env(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);
}

void kill_now(int pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    CloseHandle(process);
}

long open_handles() {
    // GetProcessHandleCount answers 0 under Wine; the system table is exact.
    std::vector<char> buffer(1 << 16);
    ULONG needed = 0;
    NTSTATUS status = 0;
    while ((status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16),
                                              buffer.data(), static_cast<ULONG>(buffer.size()),
                                              &needed)) == kLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status < 0) return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    long count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].process_id == self) ++count;
    return count;
}

long child_processes() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    long count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

std::size_t resident_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return counters.WorkingSetSize;
}

void sleep_us(long microseconds) {
    Sleep(static_cast<DWORD>((microseconds + 999) / 1000));
}

}  // namespace soak
