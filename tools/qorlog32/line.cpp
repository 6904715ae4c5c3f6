// Formatting of the log library's lines.
#include "tools/qorlog32/line.h"

#include <cstdio>

static std::string level_word(int level) {
  if (level == 0) return "INFO";
  if (level == 3) return "ERROR";
  return std::to_string(level);
}

std::string format_log_line(const utc_time& time, int level, const char* module, const char* text) {
  char stamp[48];
  snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", time.year, time.month, time.day, time.hour,
           time.minute, time.second, time.millisecond);
  std::string line = std::string(stamp) + " " + level_word(level) + " " +
                     (module != nullptr && module[0] != '\0' ? module : "-") + " ";
  std::string body = text != nullptr ? text : "";
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
  for (char& c : body)
    if (c == '\n' || c == '\r') c = ' ';
  return line + body + LOG_LINE_END;
}
