// The two process-wide values the runs share with the launch and the
// clean-up: the latest step's status and the full path the run works on.
#include "driver/run_state.h"

int g_run_status = 0;
char g_target_path[PATH_SIZE] = "";
