// What the runs share with the launch and the clean-up: the result of the
// latest step of the run, and the full path the run works on (the
// destination directory, or the output executable of a build).
#pragma once

#include "foundation/path.h"

extern int g_run_status;
extern char g_target_path[PATH_SIZE];
