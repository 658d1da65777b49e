#include <windows.h>

#include <cstdint>

#include "tests/support/held_resources.h"

namespace {

// Handle values are multiples of 4, and a small process stays far below this.
constexpr uintptr_t kHandleValueLimit = 0x10000;

long open_handles() {
  long open = 0;
  for (uintptr_t value = 4; value < kHandleValueLimit; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++open;
    }
  }
  return open;
}

long blocks_in_use(HANDLE heap) {
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry;
  entry.lpData = nullptr;
  long busy = 0;
  while (HeapWalk(heap, &entry)) {
    if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
      ++busy;
    }
  }
  HeapUnlock(heap);
  return busy;
}

}  // namespace

// Windows counts a process's handles, and a listing (FindFirstFileA) holds
// one on its folder until FindClose. Wine counts none (it reports 0), and
// lets go of the folder by itself once a listing reaches its end, keeping
// only a block of the process heap for the search: there the handles are
// found by trying every value, and the heap's blocks are counted too. The
// first look at the handles sets up what Wine keeps for it in that heap, so
// the blocks are counted after it.
std::string held_resources() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) {
    return std::to_string(count) + " handles";
  }
  long handles = open_handles();
  return std::to_string(handles) + " handles, " + std::to_string(blocks_in_use(GetProcessHeap())) +
         " blocks in the process heap";
}
