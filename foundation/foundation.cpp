// Starts and stops the foundation services in their fixed order; shut-down is
// the exit hooks the services recorded, newest first.
#include "foundation/foundation.h"

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/module.h"
#include "foundation/pool.h"

int foundation_init(const uint32_t* pool_size) {
  module_clear_table();
  int status = module_register(ERROR_ERROR_MODULE_ALREADY_REGISTERED, module_error_name);
  if (status < 0) return status;
  module_clear_hooks();
  status = pool_init(pool_size);
  if (status < 0) return status;
  status = file_start();
  // A missing log library is no failure: the log simply stays off.
  log_set_enabled(log_open() == 0);
  return status;
}

void foundation_term() {
  module_run_exit_hooks();
  module_unregister(ERROR_ERROR_MODULE_ALREADY_REGISTERED);
}
