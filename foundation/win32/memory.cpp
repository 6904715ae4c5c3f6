// Win32 back-end of the memory pool: fixed, zero-filled global memory with one
// compaction retry.
#include <windows.h>

#include "foundation/backend.h"
#include "foundation/pool.h"

namespace {

void* global_zeroed(uint32_t size) {
  HGLOBAL handle = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
  return handle != nullptr ? GlobalLock(handle) : nullptr;
}

}  // namespace

int os_mem_alloc(uint32_t size, void** out) {
  void* memory = global_zeroed(size);
  if (memory == nullptr) {
    GlobalCompact(0xFFFFFFFF);
    memory = global_zeroed(size);
  }
  if (memory == nullptr) return ERROR_SYSTEM_MEMORY;
  *out = memory;
  return 0;
}

int os_mem_free(void* memory) {
  GlobalUnlock(GlobalHandle(memory));
  GlobalFree(GlobalHandle(memory));
  return 0;
}
