// The memory pool: block layout after sequences of allocations and frees, the
// limits of the table, and start and stop.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "foundation/pool.h"
#include "foundation_test_support.h"

namespace {

constexpr uint32_t REGION = 1000000;

struct layout_entry {
  uint32_t offset;
  uint32_t size;
  bool used;
  bool operator==(const layout_entry&) const = default;
};

std::vector<layout_entry> layout() {
  std::vector<layout_entry> entries;
  for (uint16_t i = 0; i < pool_count(); ++i)
    entries.push_back({pool_blocks()[i].offset, pool_blocks()[i].size, (pool_blocks()[i].flags & 1) != 0});
  return entries;
}

void PrintTo(const layout_entry& e, std::ostream* os) {
  *os << "{" << e.offset << "," << e.size << (e.used ? ",used}" : ",free}");
}

uint32_t offset_of(const void* p) {
  return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - static_cast<const uint8_t*>(pool_base()));
}

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_foundation(); }
  void TearDown() override { reset_foundation(); }
  void start(uint32_t size = REGION) { ASSERT_EQ(0, pool_init(&size)); }
};

TEST_F(PoolTest, BlocksAreTakenFirstFitInAddressOrder) {
  start();
  void* first = pool_alloc(64000);
  void* second = pool_alloc(64000);
  EXPECT_EQ(pool_base(), first);
  EXPECT_EQ(static_cast<uint8_t*>(pool_base()) + 64000, second);
  EXPECT_EQ((std::vector<layout_entry>{{0, 64000, true}, {64000, 64000, true}, {128000, 872000, false}}), layout());
}

TEST_F(PoolTest, AnUnalignedFreeBlockLosesAGapEntryBeforeTheBlock) {
  start();
  void* five = pool_alloc(5);
  void* eight = pool_alloc(8);
  ASSERT_NE(nullptr, five);
  ASSERT_NE(nullptr, eight);
  EXPECT_EQ(8u, offset_of(eight)) << "blocks start on multiples of 4";
  EXPECT_EQ((std::vector<layout_entry>{{0, 5, true}, {5, 3, false}, {8, 8, true}, {16, REGION - 16, false}}), layout());

  // The 3-byte gap cannot serve an aligned request; a later one of 3 bytes
  // needs its start moved too and so goes further up.
  void* three = pool_alloc(3);
  EXPECT_EQ(16u, offset_of(three));
}

TEST_F(PoolTest, FreeingMergesWithBothNeighbours) {
  start();
  void* a = pool_alloc(100);
  void* b = pool_alloc(200);
  void* c = pool_alloc(300);
  ASSERT_EQ(0, pool_free(a));
  EXPECT_EQ(4u, pool_count()) << "a free block with a used neighbour stays on its own";
  ASSERT_EQ(0, pool_free(b));
  EXPECT_EQ((std::vector<layout_entry>{{0, 300, false}, {300, 300, true}, {600, REGION - 600, false}}), layout());
  ASSERT_EQ(0, pool_free(c));
  EXPECT_EQ((std::vector<layout_entry>{{0, REGION, false}}), layout()) << "three free entries merge into one";
}

TEST_F(PoolTest, FreeTakesAnyPointerIntoABlockAndRefusesOthers) {
  start();
  uint8_t* a = static_cast<uint8_t*>(pool_alloc(100));
  ASSERT_NE(nullptr, pool_alloc(100));
  EXPECT_EQ(0, pool_free(a + 57)) << "a pointer into the middle frees the whole block";
  EXPECT_EQ((std::vector<layout_entry>{{0, 100, false}, {100, 100, true}, {200, REGION - 200, false}}), layout());

  int outside = 0;
  EXPECT_EQ(0, pool_free(nullptr));
  EXPECT_EQ(ERROR_POOL_BAD_BLOCK, pool_free(&outside));
  EXPECT_EQ(ERROR_POOL_BAD_BLOCK, pool_free(a + REGION)) << "one past the region is outside it";
  EXPECT_EQ(3u, pool_count()) << "refused frees change nothing";
}

TEST_F(PoolTest, RequestsThatCannotBeServedReturnNullWithTheirReason) {
  uint8_t before_start[4];
  EXPECT_EQ(nullptr, pool_alloc(16));
  EXPECT_EQ(ERROR_POOL_NO_MEMORY, pool_alloc_status()) << "the pool is not running";
  EXPECT_EQ(ERROR_POOL_BAD_BLOCK, pool_free(before_start));
  start();
  struct {
    uint32_t size;
    int status;
  } cases[] = {{0, ERROR_POOL_ZERO_SIZE}, {REGION + 1, ERROR_POOL_NO_MEMORY}, {UINT32_MAX, ERROR_POOL_NO_MEMORY}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(nullptr, pool_alloc(c.size));
    EXPECT_EQ(c.status, pool_alloc_status());
    EXPECT_EQ(1u, pool_count());
  }
  EXPECT_EQ(pool_base(), pool_alloc(REGION)) << "the whole region is one exact fit";
  EXPECT_EQ(nullptr, pool_alloc(1));
}

TEST_F(PoolTest, MemoryIsZeroOnlyUntilItIsFirstHandedOut) {
  start(4096);
  uint8_t* block = static_cast<uint8_t*>(pool_alloc(64));
  for (int i = 0; i < 64; ++i) ASSERT_EQ(0, block[i]);
  memset(block, 0xAB, 64);
  ASSERT_EQ(0, pool_free(block));
  uint8_t* again = static_cast<uint8_t*>(pool_alloc(64));
  ASSERT_EQ(block, again);
  EXPECT_EQ(0xAB, again[10]) << "a block taken again is not cleared";
}

TEST_F(PoolTest, AFullTableStillServesAnAlignedExactFit) {
  // 1999 blocks of 4 bytes and the free rest fill all 2000 entries.
  start(4 * (POOL_TABLE_SIZE - 1) + 100);
  std::vector<void*> blocks;
  for (int i = 0; i < POOL_TABLE_SIZE - 1; ++i) {
    blocks.push_back(pool_alloc(4));
    ASSERT_NE(nullptr, blocks.back());
  }
  ASSERT_EQ(POOL_TABLE_SIZE, pool_count());
  EXPECT_EQ(nullptr, pool_alloc(8));
  EXPECT_EQ(ERROR_POOL_TABLE_FULL, pool_alloc_status()) << "cutting the free rest needs an entry";
  EXPECT_EQ(nullptr, pool_alloc(100 - 1));
  EXPECT_EQ(ERROR_POOL_TABLE_FULL, pool_alloc_status());

  ASSERT_EQ(0, pool_free(blocks[10]));
  EXPECT_EQ(POOL_TABLE_SIZE, pool_count()) << "the freed block sits between used ones";
  EXPECT_EQ(blocks[10], pool_alloc(4)) << "an aligned exact fit needs no new entry";
  EXPECT_EQ(nullptr, pool_alloc(100 - 1));
  EXPECT_EQ(ERROR_POOL_TABLE_FULL, pool_alloc_status());
  EXPECT_EQ(static_cast<uint8_t*>(pool_base()) + 4 * (POOL_TABLE_SIZE - 1), pool_alloc(100))
      << "the free rest taken whole";
}

TEST_F(PoolTest, StartStopAndReleaseAll) {
  start();
  EXPECT_EQ(2, hook_count());
  EXPECT_EQ(&pool_term, module_hook_slots()[0].hook);
  EXPECT_EQ(HOOK_TERMINATE, module_hook_slots()[0].flags);
  EXPECT_EQ(&pool_release_all, module_hook_slots()[1].hook);
  EXPECT_EQ(HOOK_RELEASE, module_hook_slots()[1].flags);

  uint32_t size = REGION;
  EXPECT_EQ(ERROR_POOL_ACTIVE, pool_init(&size)) << "the pool must not be started twice";
  ASSERT_NE(nullptr, pool_alloc(10));
  ASSERT_NE(nullptr, pool_alloc(20));
  EXPECT_EQ(0, pool_release_all());
  EXPECT_EQ((std::vector<layout_entry>{{0, REGION, false}}), layout()) << "release frees everything at once";

  pool_term();
  EXPECT_FALSE(pool_running());
  EXPECT_EQ(nullptr, pool_base());
  EXPECT_EQ(0u, pool_count());
  EXPECT_EQ(0, hook_count()) << "the pool removes its own hooks";
  EXPECT_EQ(ERROR_POOL_NO_MEMORY, pool_release_all());
  EXPECT_EQ(nullptr, pool_alloc(10));

  uint32_t empty = 0;
  EXPECT_EQ(ERROR_POOL_NO_MEMORY, pool_init(&empty)) << "a region of no bytes is refused";
  EXPECT_EQ(ERROR_POOL_NO_MEMORY, pool_init(nullptr));
  EXPECT_FALSE(pool_running());
  start();
  EXPECT_TRUE(pool_running()) << "the pool starts again after pool_term";
}

// Random allocations and frees keep the table describing the region exactly,
// and no block ever overlaps another: each keeps its own fill pattern.
TEST_F(PoolTest, RandomUseKeepsTheTableConsistent) {
  start(200000);
  std::mt19937 random(12345);
  struct live_block {
    uint8_t* p;
    uint32_t size;
    uint8_t fill;
  };
  std::vector<live_block> live;
  for (int step = 0; step < 4000; ++step) {
    if (live.empty() || random() % 3 != 0) {
      uint32_t size = 1 + random() % 3000;
      uint8_t* p = static_cast<uint8_t*>(pool_alloc(size));
      if (p == nullptr) continue;
      ASSERT_EQ(0u, offset_of(p) % 4);
      uint8_t fill = static_cast<uint8_t>(random());
      memset(p, fill, size);
      live.push_back({p, size, fill});
    } else {
      size_t index = random() % live.size();
      const live_block& b = live[index];
      for (uint32_t i = 0; i < b.size; ++i) ASSERT_EQ(b.fill, b.p[i]) << "another block overwrote this one";
      ASSERT_EQ(0, pool_free(b.p + random() % b.size));
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
    }
    uint32_t expected_offset = 0;
    bool previous_free = false;
    for (const layout_entry& e : layout()) {
      ASSERT_EQ(expected_offset, e.offset) << "entries must follow each other without gaps";
      ASSERT_FALSE(!e.used && previous_free) << "neighbouring free entries must have merged";
      ASSERT_NE(0u, e.size) << "no entry may be empty";
      previous_free = !e.used;
      expected_offset += e.size;
    }
    ASSERT_EQ(200000u, expected_offset) << "the entries must cover the region";
  }
}

}  // namespace
