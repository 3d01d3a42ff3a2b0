#include "tools/process_counts_win32.h"

#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovira::tools {
namespace {

// The system's handle list, one entry per open handle of every process.
constexpr ULONG kSystemHandleInformation = 16;
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE handleFlags;
  USHORT handleValue;
  PVOID objectPointer;
  ULONG accessMask;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};

// One slot of a process's GDI handle table, which its PEB points to.
struct GdiHandleEntry {
  std::uint64_t object;
  std::uint32_t owner;
  std::uint16_t unique;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiTableSlots = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0xF8;  // x64
constexpr std::uint16_t kStockFlag = 0x80;

unsigned long HandlesFromSystemList(DWORD processId) {
  std::vector<std::byte> buffer(1 << 20);
  ULONG needed = 0;
  NTSTATUS status = 0;
  while ((status = ::NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation),
                                              buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<NTSTATUS>(0xC0000004L)) {
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
  }
  if (status != 0) return 0;
  const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
  unsigned long count = 0;
  for (ULONG i = 0; i < list->count; ++i) count += list->entries[i].ownerPid == processId ? 1 : 0;
  return count;
}

// Live, non-stock objects in the process's GDI table: where GetGuiResources
// counts nothing (Wine), the table still tells.
unsigned long GdiObjectsFromTable(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  if (::NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
    return 0;
  std::uint64_t table = 0;
  const auto* tableField = reinterpret_cast<const std::byte*>(basic.PebBaseAddress) + kPebGdiTableOffset;
  if (!::ReadProcessMemory(process, tableField, &table, sizeof(table), nullptr) || table == 0) return 0;
  std::vector<GdiHandleEntry> slots(kGdiTableSlots);
  if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(table), slots.data(),
                           slots.size() * sizeof(GdiHandleEntry), nullptr))
    return 0;
  unsigned long count = 0;
  for (const GdiHandleEntry& slot : slots) count += slot.type != 0 && (slot.unique & kStockFlag) == 0 ? 1 : 0;
  return count;
}

}  // namespace

ProcessCounts CountProcessObjects(HANDLE process, DWORD processId) {
  ProcessCounts counts;
  ::GetProcessHandleCount(process, &counts.handles);
  if (counts.handles == 0) counts.handles = HandlesFromSystemList(processId);
  counts.gdiObjects = ::GetGuiResources(process, GR_GDIOBJECTS);
  if (counts.gdiObjects == 0) counts.gdiObjects = GdiObjectsFromTable(process);
  counts.userObjects = ::GetGuiResources(process, GR_USEROBJECTS);
  return counts;
}

}  // namespace tovira::tools
