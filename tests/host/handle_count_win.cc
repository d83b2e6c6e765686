// Prints how many handles a running process holds, so that the soak can
// watch the host for leaks from outside:
//   handle_count <image name>
// writes "handles <count>" and exits 0, or writes one line to the standard
// error stream and exits 1.
//
// The count comes from the system's handle table: under Wine (8.0),
// GetProcessHandleCount succeeds with 0 for every process and
// GetProcessMemoryInfo reports a PrivateUsage of 0, while the table lists
// each handle with its owner, on Windows too.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// SystemExtendedHandleInformation: one entry per open handle in the system.
// The headers' enumeration does not name it, so the query is reached through
// a declaration that takes the class as the number it is.
constexpr ULONG kExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

// The table: a count and a reserved word, then the entries.
struct HandleEntry {
  PVOID object;
  ULONG_PTR owner;
  ULONG_PTR value;
  ULONG access;
  USHORT creator_back_trace_index;
  USHORT type_index;
  ULONG attributes;
  ULONG reserved;
};
constexpr size_t kTableHeader = 2 * sizeof(ULONG_PTR);

// The id of the one process with this image name; 0 when there is none, or
// more than one, so that no other process is measured by mistake.
DWORD FindProcess(const char* image_name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  DWORD found = 0;
  int matches = 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more;
       more = Process32Next(snapshot, &entry)) {
    if (_stricmp(entry.szExeFile, image_name) == 0) {
      found = entry.th32ProcessID;
      ++matches;
    }
  }
  CloseHandle(snapshot);
  return matches == 1 ? found : 0;
}

// The handles that `process_id` holds; -1 when the table cannot be read.
long long CountHandles(DWORD process_id) {
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"),
                                             "NtQuerySystemInformation")));
  if (query == nullptr) {
    return -1;
  }
  // Grown until the table fits; handles opened meanwhile may need more.
  std::vector<unsigned char> table(size_t{1} << 17);
  ULONG filled = 0;
  for (;;) {
    const NTSTATUS status = query(kExtendedHandleInformation, table.data(),
                                  static_cast<ULONG>(table.size()), &filled);
    if (status == kInfoLengthMismatch && table.size() < (size_t{1} << 29)) {
      table.resize(table.size() * 2);
      continue;
    }
    if (status != 0 || filled < kTableHeader || filled > table.size()) {
      return -1;
    }
    break;
  }
  ULONG_PTR entries = 0;
  std::memcpy(&entries, table.data(), sizeof(entries));
  if (entries > (filled - kTableHeader) / sizeof(HandleEntry)) {
    return -1;
  }
  long long count = 0;
  for (ULONG_PTR i = 0; i < entries; ++i) {
    ULONG_PTR owner = 0;
    std::memcpy(&owner,
                table.data() + kTableHeader + i * sizeof(HandleEntry) +
                    offsetof(HandleEntry, owner),
                sizeof(owner));
    if (owner == process_id) {
      ++count;
    }
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: handle_count <image name>\n");
    return 1;
  }
  const DWORD process_id = FindProcess(argv[1]);
  if (process_id == 0) {
    std::fprintf(stderr, "handle_count: no single process %s\n", argv[1]);
    return 1;
  }
  const long long handles = CountHandles(process_id);
  if (handles < 0) {
    std::fprintf(stderr, "handle_count: cannot read the handle table\n");
    return 1;
  }
  std::printf("handles %lld\n", handles);
  return 0;
}
