// Start-up and shut-down of all foundation services in their fixed order.
#include <gtest/gtest.h>

#include "foundation/file.h"
#include "foundation/foundation.h"
#include "foundation_test_support.h"

namespace {

constexpr uint32_t POOL_SIZE = 1000000;

// What an archive-engine hook sees when the terminate pass reaches it.
struct shutdown_view {
  bool called;
  bool pool_running;
  bool blocks_released;
  bool file_layer_registered;
  bool log_hook_recorded;
};
shutdown_view seen;

int engine_terminate_hook() {
  const pool_block* blocks = pool_blocks();
  bool log_hook = false;
  for (int i = 0; i < HOOK_TABLE_SIZE; ++i)
    if (module_hook_slots()[i].hook == &log_close) log_hook = true;
  seen = {true, pool_running(), pool_count() == 1 && blocks[0].flags == 0, module_is_registered(0), log_hook};
  module_remove_exit_hook(engine_terminate_hook, HOOK_TERMINATE);
  return 0;
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_foundation();
    seen = {};
  }
  void TearDown() override { reset_foundation(); }
};

TEST_F(StartupTest, InitRecordsTheFourHooksInOrder) {
  uint32_t size = POOL_SIZE;
  ASSERT_EQ(0, foundation_init(&size));
  struct {
    exit_hook hook;
    uint32_t flags;
  } expected[] = {{pool_term, HOOK_TERMINATE}, {pool_release_all, HOOK_RELEASE}, {file_stop, HOOK_TERMINATE},
                  {log_close, HOOK_TERMINATE}};
  ASSERT_EQ(4, hook_count());
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].hook, module_hook_slots()[i].hook);
    EXPECT_EQ(expected[i].flags, module_hook_slots()[i].flags);
  }
  EXPECT_TRUE(module_is_registered(ERROR_ERROR_MODULE_ALREADY_REGISTERED));
  EXPECT_TRUE(module_is_registered(0)) << "the file layer registers key 0";
  EXPECT_TRUE(pool_running());
  foundation_term();
}

TEST_F(StartupTest, TermRunsTheHooksNewestFirstAndEmptiesTheTables) {
  uint32_t size = POOL_SIZE;
  ASSERT_EQ(0, foundation_init(&size));
  module_add_exit_hook(engine_terminate_hook, HOOK_TERMINATE);
  ASSERT_NE(nullptr, pool_alloc(64000));
  foundation_term();

  ASSERT_TRUE(seen.called);
  EXPECT_TRUE(seen.pool_running) << "the pool stops last";
  EXPECT_TRUE(seen.blocks_released) << "the release pass comes before every terminate hook";
  EXPECT_TRUE(seen.file_layer_registered) << "the file layer stops after the archive engine";
  EXPECT_TRUE(seen.log_hook_recorded) << "the log closes after the archive engine";

  EXPECT_EQ(0, hook_count());
  EXPECT_FALSE(module_is_registered(ERROR_ERROR_MODULE_ALREADY_REGISTERED));
  EXPECT_FALSE(module_is_registered(0));
  EXPECT_FALSE(pool_running());
  EXPECT_FALSE(log_enabled());
  EXPECT_EQ(nullptr, pool_alloc(16));
}

TEST_F(StartupTest, ASecondInitFailsOnTheRunningPool) {
  uint32_t size = POOL_SIZE;
  ASSERT_EQ(0, foundation_init(&size));
  EXPECT_EQ(ERROR_POOL_ACTIVE, foundation_init(&size));
  EXPECT_TRUE(module_is_registered(ERROR_ERROR_MODULE_ALREADY_REGISTERED)) << "the registry's key registers afresh";
  EXPECT_EQ(0, hook_count()) << "the second start wiped the hook table";
  EXPECT_TRUE(pool_running());
}

TEST_F(StartupTest, APoolFailureStopsStartUpBeforeTheFileLayerAndTheLog) {
  uint32_t size = 0;
  EXPECT_EQ(ERROR_POOL_NO_MEMORY, foundation_init(&size));
  EXPECT_TRUE(module_is_registered(ERROR_ERROR_MODULE_ALREADY_REGISTERED));
  EXPECT_FALSE(module_is_registered(0)) << "the file layer must not have started";
  EXPECT_EQ(0, hook_count());
  EXPECT_FALSE(pool_running());
  EXPECT_FALSE(log_enabled());
  foundation_term();
  EXPECT_FALSE(module_is_registered(ERROR_ERROR_MODULE_ALREADY_REGISTERED));
}

}  // namespace
