// Helpers for the foundation tests: every test starts from empty tables and a
// stopped pool, and may change the current directory only for its own scope.
#pragma once

#include <filesystem>

#include "foundation/log.h"
#include "foundation/module.h"
#include "foundation/pool.h"

inline void reset_foundation() {
  pool_term();
  log_close();
  log_set_entry(nullptr);
  log_set_debug_sink(nullptr);
  module_clear_table();
  module_clear_hooks();
  module_set_fatal_handler(nullptr);
}

// Number of occupied exit-hook slots (they form a prefix of the table).
inline int hook_count() {
  int count = 0;
  while (count < HOOK_TABLE_SIZE && module_hook_slots()[count].flags != 0) ++count;
  return count;
}

class current_dir_guard {
 public:
  current_dir_guard() : saved_(std::filesystem::current_path()) {}
  ~current_dir_guard() { std::filesystem::current_path(saved_); }
  current_dir_guard(const current_dir_guard&) = delete;
  current_dir_guard& operator=(const current_dir_guard&) = delete;

 private:
  std::filesystem::path saved_;
};
