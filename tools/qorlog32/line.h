// Builds one log line: "time level module text" and the line end.
#pragma once

#include <string>

#include "tools/qorlog32/sink.h"

// The level word: INFO for 0, ERROR for 3, otherwise the number. Line breaks
// inside the text become spaces so that every call makes exactly one line.
std::string format_log_line(const utc_time& time, int level, const char* module, const char* text);
