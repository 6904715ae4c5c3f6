// POSIX back-end of the memory pool: zero-filled memory from the C heap.
#include <cstdlib>

#include "foundation/backend.h"
#include "foundation/pool.h"

int os_mem_alloc(uint32_t size, void** out) {
  // calloc memory is zero-filled and aligned for any type.
  void* memory = calloc(1, size);
  if (memory == nullptr) return ERROR_SYSTEM_MEMORY;
  *out = memory;
  return 0;
}

int os_mem_free(void* memory) {
  free(memory);
  return 0;
}
