// The log library's entry: one appended line per call.
#include "tools/qorlog32/qorlog32.h"

#include "tools/qorlog32/line.h"
#include "tools/qorlog32/sink.h"

QORLOG32_API int QORLOG32_CALL QORLOG32_LogAddComment(int level, const char* module, uint32_t* site, const char* text) {
  (void)site;  // the call-site word belongs to the caller; nothing is kept in it
  char path[LOG_PATH_SIZE];
  if (!log_file_path(path, sizeof path)) return -1;
  try {
    std::string line = format_log_line(utc_now(), level, module, text);
    return append_to_file(path, line.data(), line.size()) ? 0 : -1;
  } catch (...) {
    return -1;  // no exception may cross into the program
  }
}
