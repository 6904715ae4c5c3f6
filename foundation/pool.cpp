// The memory pool: one region from the system, served first fit in 4-byte
// aligned blocks described by a fixed table kept in address order.
#include "foundation/pool.h"

#include <cstring>

#include "foundation/backend.h"
#include "foundation/module.h"

namespace {

constexpr uint8_t BLOCK_IN_USE = 1;
constexpr uint32_t POOL_ALIGNMENT = 4;

struct pool_state {
  bool running;
  uint8_t* base;
  uint32_t total;
  uint16_t count;
  pool_block blocks[POOL_TABLE_SIZE];
};
pool_state pool;

// Inserts a copy of entry i right behind it; the caller has checked the room.
void insert_copy_after(uint16_t i) {
  memmove(&pool.blocks[i + 1], &pool.blocks[i], (pool.count - i) * sizeof(pool_block));
  ++pool.count;
}

void remove_entry(uint16_t i) {
  memmove(&pool.blocks[i], &pool.blocks[i + 1], (pool.count - i - 1) * sizeof(pool_block));
  --pool.count;
  pool.blocks[pool.count] = {};
}

// Takes n bytes from free entry i, cutting an alignment gap off first when the
// entry does not start on a multiple of 4. False when the entry cannot serve
// the request; *status then says why.
bool take_from(uint16_t i, uint32_t n, int* status) {
  pool_block& entry = pool.blocks[i];
  bool aligned = entry.offset % POOL_ALIGNMENT == 0;
  if (entry.size == n && aligned) {
    entry.flags = BLOCK_IN_USE;
    return true;
  }
  if (entry.size <= n) return false;
  uint32_t pad = aligned ? 0 : POOL_ALIGNMENT - entry.offset % POOL_ALIGNMENT;
  if (entry.size < pad || entry.size - pad < n) return false;
  if (pad != 0) {
    if (pool.count >= POOL_TABLE_SIZE) {
      *status = ERROR_POOL_TABLE_FULL;
      return false;
    }
    insert_copy_after(i);
    pool.blocks[i].size = pad;
    pool.blocks[i + 1].offset += pad;
    pool.blocks[i + 1].size -= pad;
    ++i;
  }
  pool_block& block = pool.blocks[i];
  // What is left after the gap may fit exactly: no empty entry behind it.
  if (block.size == n) {
    block.flags = BLOCK_IN_USE;
    return true;
  }
  if (pool.count >= POOL_TABLE_SIZE) {
    *status = ERROR_POOL_TABLE_FULL;
    return false;
  }
  insert_copy_after(i);
  pool.blocks[i].size = n;
  pool.blocks[i].flags = BLOCK_IN_USE;
  pool.blocks[i + 1].offset += n;
  pool.blocks[i + 1].size -= n;
  return true;
}

// The reason of the latest failed allocation, for pool_alloc_status.
int last_alloc_status;

}  // namespace

int pool_init(const uint32_t* size) {
  if (pool.running) return ERROR_POOL_ACTIVE;
  // A region of no bytes could serve nothing.
  if (size == nullptr || *size == 0) return ERROR_POOL_NO_MEMORY;
  void* region = nullptr;
  if (os_mem_alloc(*size, &region) != 0 || region == nullptr) return ERROR_POOL_NO_MEMORY;
  memset(pool.blocks, 0, sizeof pool.blocks);
  pool.base = static_cast<uint8_t*>(region);
  pool.total = *size;
  pool.count = 1;
  pool.blocks[0] = {0, *size, 0};
  pool.running = true;
  module_add_exit_hook(pool_term, HOOK_TERMINATE);
  module_add_exit_hook(pool_release_all, HOOK_RELEASE);
  return 0;
}

int pool_release_all() {
  if (!pool.running) return ERROR_POOL_NO_MEMORY;
  pool.blocks[0].flags = 0;
  while (pool.count > 1) {
    pool.blocks[0].size += pool.blocks[1].size;
    remove_entry(1);
  }
  return 0;
}

int pool_term() {
  if (!pool.running) return 0;
  pool_release_all();
  os_mem_free(pool.base);
  pool.base = nullptr;
  pool.count = 0;
  pool.blocks[0] = {};
  pool.total = 0;
  pool.running = false;
  module_remove_exit_hook(pool_release_all, HOOK_RELEASE);
  module_remove_exit_hook(pool_term, HOOK_TERMINATE);
  return 0;
}

void* pool_alloc(uint32_t size) {
  last_alloc_status = ERROR_POOL_NO_MEMORY;
  if (!pool.running) return nullptr;
  if (size == 0) {
    last_alloc_status = ERROR_POOL_ZERO_SIZE;
    return nullptr;
  }
  for (uint16_t i = 0; i < pool.count; ++i) {
    if ((pool.blocks[i].flags & BLOCK_IN_USE) != 0) continue;
    int status = 0;
    if (take_from(i, size, &status)) {
      // take_from may have cut a gap off in front: the block taken is the
      // first entry in use from i on.
      while ((pool.blocks[i].flags & BLOCK_IN_USE) == 0) ++i;
      last_alloc_status = 0;
      return pool.base + pool.blocks[i].offset;
    }
    if (status != 0) {
      last_alloc_status = status;
      return nullptr;
    }
  }
  return nullptr;
}

int pool_alloc_status() { return last_alloc_status; }

int pool_free(void* pointer) {
  if (pointer == nullptr) return 0;
  uintptr_t address = reinterpret_cast<uintptr_t>(pointer);
  uintptr_t base = reinterpret_cast<uintptr_t>(pool.base);
  if (!pool.running || address < base || address - base >= pool.total) return ERROR_POOL_BAD_BLOCK;
  uint32_t offset = static_cast<uint32_t>(address - base);
  uint16_t i = 0;
  while (i < pool.count && !(pool.blocks[i].offset <= offset && offset - pool.blocks[i].offset < pool.blocks[i].size)) ++i;
  if (i == pool.count) return ERROR_POOL_BAD_BLOCK;
  pool.blocks[i].flags = 0;
  if (i > 0 && (pool.blocks[i - 1].flags & BLOCK_IN_USE) == 0) {
    pool.blocks[i - 1].size += pool.blocks[i].size;
    remove_entry(i);
    --i;
  }
  if (i + 1 < pool.count && (pool.blocks[i + 1].flags & BLOCK_IN_USE) == 0) {
    pool.blocks[i].size += pool.blocks[i + 1].size;
    remove_entry(i + 1);
  }
  return 0;
}

bool pool_running() { return pool.running; }
void* pool_base() { return pool.base; }
uint16_t pool_count() { return pool.count; }
const pool_block* pool_blocks() { return pool.blocks; }
