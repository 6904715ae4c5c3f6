// A run's failure message, with the reason behind it (foundation/failure.h).
#pragma once

#include <cstddef>

#include "foundation/failure.h"

// A failure's reason line: a path and the system's words for what went wrong.
constexpr size_t FAILURE_REASON_SIZE = FAILURE_PATH_SIZE + 128;
// Shows a failure message; on POSIX followed by a line naming the file the
// failure concerned and its reason, when one is known.
void notify_failure(const char* message);
