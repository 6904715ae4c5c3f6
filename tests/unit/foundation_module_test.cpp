// Module registry, exit hooks and the fatal report, as the services and the
// archive engine use them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/module.h"
#include "foundation_test_support.h"

namespace {

std::vector<std::string> calls;

int hook_a() { calls.push_back("a"); return 0; }
int hook_b() { calls.push_back("b"); return 0; }
int hook_c() { calls.push_back("c"); return 0; }
int hook_d() { calls.push_back("d"); return 0; }

// Like the archive engine's terminate hook: removes a lower record, then its own.
int remove_lower_then_self() {
  calls.push_back("engine");
  module_remove_exit_hook(hook_a, HOOK_TERMINATE);
  module_remove_exit_hook(remove_lower_then_self, HOOK_TERMINATE);
  return 0;
}

// Removes a lower record but forgets its own: the pass meets it again.
int remove_lower_only() {
  calls.push_back("careless");
  module_remove_exit_hook(hook_b, HOOK_TERMINATE);
  return 0;
}

struct fatal_report {
  int status;
  std::string source;
  int line;
};
std::vector<fatal_report> fatal_reports;
void record_fatal(int status, const char* source, int line) { fatal_reports.push_back({status, source, line}); }

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_foundation();
    calls.clear();
    fatal_reports.clear();
  }
  void TearDown() override { reset_foundation(); }
};

TEST_F(ModuleTest, RegistryRefusesDuplicatesUnknownKeysAndAFullTable) {
  EXPECT_EQ(0, module_register(7, nullptr));
  EXPECT_EQ(ERROR_ERROR_MODULE_ALREADY_REGISTERED, module_register(7, module_error_name))
      << "a key may be registered once";
  EXPECT_EQ(0, module_unregister(7));
  EXPECT_EQ(ERROR_ERROR_MODULE_NOT_REGISTERED, module_unregister(7))
      << "the duplicate must not have left a second entry behind";

  for (int key = 0; key < MODULE_TABLE_SIZE; ++key) ASSERT_EQ(0, module_register(1000 + key, nullptr));
  EXPECT_EQ(ERROR_ERROR_MODULE_NOT_REGISTERED, module_register(5000, nullptr)) << "the 101st key must be refused";
  EXPECT_FALSE(module_is_registered(5000));
  EXPECT_EQ(0, module_unregister(1050));
  EXPECT_EQ(0, module_register(5000, nullptr)) << "a freed entry is used again";
  EXPECT_TRUE(module_is_registered(5000));
}

TEST_F(ModuleTest, RegistryNamesItsOwnTwoCodes) {
  struct {
    int status;
    int owned;
    const char* name;
  } cases[] = {
      {-4500, 1, "ERROR_ERROR_MODULE_ALREADY_REGISTERED"},
      {-4501, 1, "ERROR_ERROR_MODULE_NOT_REGISTERED"},
      {-4502, 0, "untouched"},
      {0, 0, "untouched"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    char text[MODULE_NAME_SIZE] = "untouched";
    EXPECT_EQ(c.owned, module_error_name(c.status, text));
    EXPECT_STREQ(c.name, text);
  }
}

TEST_F(ModuleTest, RemovingAHookTakesTheNewestMatchingRecordAndClosesTheGap) {
  module_add_exit_hook(hook_a, HOOK_TERMINATE);
  module_add_exit_hook(hook_b, HOOK_TERMINATE);
  module_add_exit_hook(hook_a, HOOK_TERMINATE);
  module_add_exit_hook(hook_c, HOOK_RELEASE);
  module_remove_exit_hook(hook_a, HOOK_TERMINATE);
  const exit_hook_slot* slots = module_hook_slots();
  ASSERT_EQ(3, hook_count());
  EXPECT_EQ(&hook_a, slots[0].hook) << "the record in the lower slot must stay";
  EXPECT_EQ(&hook_b, slots[1].hook);
  EXPECT_EQ(&hook_c, slots[2].hook) << "slots above the removed one move down";

  module_remove_exit_hook(hook_c, HOOK_TERMINATE);
  module_remove_exit_hook(hook_d, HOOK_RELEASE);
  EXPECT_EQ(3, hook_count()) << "flags the record does not carry, or an unknown hook, change nothing";
  module_remove_exit_hook(hook_c, 0);
  EXPECT_EQ(2, hook_count()) << "flags 0 are contained in every record";
}

TEST_F(ModuleTest, ExitHooksRunNewestFirstInAReleaseThenATerminatePass) {
  module_add_exit_hook(hook_a, HOOK_TERMINATE);
  module_add_exit_hook(hook_b, HOOK_RELEASE);
  module_add_exit_hook(hook_c, HOOK_RELEASE | HOOK_TERMINATE);
  module_add_exit_hook(hook_d, HOOK_TERMINATE);
  module_run_exit_hooks();
  EXPECT_EQ((std::vector<std::string>{"c", "b", "d", "c", "a"}), calls)
      << "release pass newest first, then terminate pass newest first";
  EXPECT_EQ(0, hook_count()) << "the terminate pass clears every slot";
  calls.clear();
  module_run_exit_hooks();
  EXPECT_TRUE(calls.empty()) << "nothing runs twice across shut-downs";
}

TEST_F(ModuleTest, TerminateHooksMayRemoveRecordsWhileThePassRuns) {
  struct {
    const char* name;
    std::vector<exit_hook> hooks;
    std::vector<std::string> expected;
  } cases[] = {
      {"a hook removing a lower record and then its own", {hook_a, hook_b, remove_lower_then_self},
       {"engine", "b"}},
      {"a hook removing only a lower record is met again", {hook_b, hook_c, remove_lower_only},
       {"careless", "careless", "c"}},
      {"the same hook recorded twice runs twice", {hook_a, hook_d, hook_a}, {"a", "d", "a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    reset_foundation();
    calls.clear();
    for (exit_hook hook : c.hooks) module_add_exit_hook(hook, HOOK_TERMINATE);
    module_run_exit_hooks();
    EXPECT_EQ(c.expected, calls);
    EXPECT_EQ(0, hook_count());
  }
}

TEST_F(ModuleTest, AFullHookTableDropsTheHookAndReportsIt) {
  module_set_fatal_handler(record_fatal);
  for (int i = 0; i < HOOK_TABLE_SIZE; ++i) module_add_exit_hook(hook_a, HOOK_TERMINATE);
  EXPECT_TRUE(fatal_reports.empty());
  module_add_exit_hook(hook_b, HOOK_TERMINATE);
  ASSERT_EQ(1u, fatal_reports.size());
  EXPECT_EQ(ERROR_HOOK_TABLE_FULL, fatal_reports[0].status);
  EXPECT_EQ("module", fatal_reports[0].source);
  EXPECT_EQ(171, fatal_reports[0].line);
  module_run_exit_hooks();
  EXPECT_EQ(std::vector<std::string>(HOOK_TABLE_SIZE, "a"), calls) << "the 101st hook must not be called";
}

TEST_F(ModuleTest, HooksThatCouldNeverRunSafelyAreNotRecorded) {
  module_add_exit_hook(nullptr, HOOK_TERMINATE);
  module_add_exit_hook(hook_a, 0);
  EXPECT_EQ(0, hook_count()) << "a null hook would crash shut-down; flags 0 mark a free slot";
  module_run_exit_hooks();
  EXPECT_TRUE(calls.empty());
}

TEST_F(ModuleTest, FatalReportReachesOnlyAnInstalledHandler) {
  module_fatal(-1, "main", 338);
  EXPECT_TRUE(fatal_reports.empty());
  module_set_fatal_handler(record_fatal);
  module_fatal(-300, "main", 338);
  ASSERT_EQ(1u, fatal_reports.size());
  EXPECT_EQ(-300, fatal_reports[0].status);
  EXPECT_EQ("main", fatal_reports[0].source);
  EXPECT_EQ(338, fatal_reports[0].line);
}

}  // namespace
