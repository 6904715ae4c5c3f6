// POSIX log writer: the program appends the log lines itself, in the log
// library's format, to the file QORLOG32_FILE names. The shipped program is
// static and cannot load a library.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/backend.h"

namespace {

constexpr char LOG_FILE_VARIABLE[] = "QORLOG32_FILE";
constexpr size_t LOG_LINE_SIZE = 1024 + 128;  // a LOG_TEXT_SIZE text and its prefix

// "2026-01-31T12:00:00.000Z INFO QPK2EXE text" into out; line breaks inside
// the text become spaces so that one call makes exactly one line.
size_t format_line(char* out, size_t size, int level, const char* module, const char* text) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm fields{};
  gmtime_r(&now.tv_sec, &fields);
  const char* level_word = level == 0 ? "INFO" : level == 3 ? "ERROR" : nullptr;
  char number[16];
  if (level_word == nullptr) {
    snprintf(number, sizeof number, "%d", level);
    level_word = number;
  }
  int length = snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ %s %s ", fields.tm_year + 1900,
                        fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                        static_cast<int>(now.tv_nsec / 1000000), level_word,
                        module != nullptr && module[0] != '\0' ? module : "-");
  size_t used = length > 0 ? static_cast<size_t>(length) : 0;
  if (used > size - 2) used = size - 2;
  size_t body = text != nullptr ? strlen(text) : 0;
  while (body > 0 && (text[body - 1] == '\n' || text[body - 1] == '\r')) --body;
  for (size_t i = 0; i < body && used < size - 2; ++i)
    out[used++] = text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
  out[used++] = '\n';
  out[used] = '\0';
  return used;
}

// One write with O_APPEND, so that lines from several processes do not mix.
int append_log_line(int level, const char* module, uint32_t*, const char* text) {
  const char* path = getenv(LOG_FILE_VARIABLE);
  if (path == nullptr || path[0] == '\0') return -1;
  char line[LOG_LINE_SIZE];
  size_t length = format_line(line, sizeof line, level, module, text);
  int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return -1;
  ssize_t written = write(file, line, length);
  bool whole = written >= 0 && static_cast<size_t>(written) == length;
  return close(file) == 0 && whole ? 0 : -1;
}

}  // namespace

os_log_entry os_log_file_entry() {
  const char* path = getenv(LOG_FILE_VARIABLE);
  return path != nullptr && path[0] != '\0' ? append_log_line : nullptr;
}
