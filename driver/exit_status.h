// The process's exit status, on both platforms (-1 is 255 on Linux): 0 only
// when the run did all it was asked.
#pragma once

constexpr int EXIT_STATUS_SUCCESS = 0;
constexpr int EXIT_STATUS_FAILURE = -1;
