// The qpk commands read archives through the file layer and open them with
// the engine: both are started once for the whole test program.
#include <gtest/gtest.h>

#include "archive/access.h"
#include "foundation/foundation.h"

namespace {

class engine_environment : public ::testing::Environment {
 public:
  void SetUp() override {
    const uint32_t pool_size = 1000000;
    ASSERT_GE(foundation_init(&pool_size), 0);
    ASSERT_EQ(0, archive_init());
  }
  void TearDown() override { foundation_term(); }
};

[[maybe_unused]] ::testing::Environment* const ENVIRONMENT =
    ::testing::AddGlobalTestEnvironment(new engine_environment);

}  // namespace
