// The memory pool: one region from the system, handed out first fit in
// 4-byte aligned blocks described by a table of at most 2000 entries in
// address order; freeing merges neighbours; shut-down releases everything.
#pragma once

#include <cstdint>

constexpr int ERROR_POOL_NO_MEMORY = -300;
constexpr int ERROR_POOL_BAD_BLOCK = -301;
constexpr int ERROR_POOL_TABLE_FULL = -302;
constexpr int ERROR_POOL_ACTIVE = -303;
constexpr int ERROR_POOL_ZERO_SIZE = -309;
constexpr int ERROR_SYSTEM_MEMORY = -950;

constexpr int POOL_TABLE_SIZE = 2000;

int pool_init(const uint32_t* size);
int pool_term();
int pool_release_all();
void* pool_alloc(uint32_t size);
int pool_free(void* pointer);
// Why the latest pool_alloc returned null (-300, -302 or -309), 0 after a
// success.
int pool_alloc_status();

// Read access for tests.
struct pool_block {
  uint32_t offset;
  uint32_t size;
  uint8_t flags;  // bit 0: in use
};
bool pool_running();
void* pool_base();
uint16_t pool_count();
const pool_block* pool_blocks();
