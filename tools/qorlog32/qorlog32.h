// The optional log library's one entry. The program looks it up by plain name
// at start-up and hands it every log message: level, module name, the call
// site's own word (left untouched here) and the formatted text.
#pragma once

#include <cstdint>

#ifdef _WIN32
// Exported through qorlog32.def, under the plain name only.
#define QORLOG32_API extern "C"
#define QORLOG32_CALL __stdcall
#else
#define QORLOG32_API extern "C" __attribute__((visibility("default")))
#define QORLOG32_CALL
#endif

// Appends one line "time level module text" to the log file: the path in the
// environment variable QORLOG32_FILE, else QORLOG32.LOG in the temporary
// folder. Returns 0, or -1 when the line could not be written.
QORLOG32_API int QORLOG32_CALL QORLOG32_LogAddComment(int level, const char* module, uint32_t* site, const char* text);
