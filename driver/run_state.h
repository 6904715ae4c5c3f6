// What the runs share with the launch and the clean-up: the full path the run
// works on (the destination directory, or the output executable of a build).
#pragma once

#include "foundation/path.h"

extern char g_target_path[PATH_SIZE];
