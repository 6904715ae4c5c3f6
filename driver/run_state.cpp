// The process-wide value the runs share with the launch and the clean-up: the
// full path the run works on.
#include "driver/run_state.h"

char g_target_path[PATH_SIZE] = "";
