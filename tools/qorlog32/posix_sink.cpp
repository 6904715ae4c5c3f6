// POSIX side of the log library: clock_gettime, $TMPDIR and an O_APPEND write.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tools/qorlog32/sink.h"

const char LOG_LINE_END[] = "\n";

utc_time utc_now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm fields{};
  gmtime_r(&now.tv_sec, &fields);
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
          fields.tm_min, fields.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

bool log_file_path(char* out, size_t size) {
  const char* named = getenv("QORLOG32_FILE");
  int length;
  if (named != nullptr && named[0] != '\0') {
    length = snprintf(out, size, "%s", named);
  } else {
    const char* folder = getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
    length = snprintf(out, size, "%s/QORLOG32.LOG", folder);
  }
  return length > 0 && static_cast<size_t>(length) < size;
}

bool append_to_file(const char* path, const char* data, size_t size) {
  int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return false;
  ssize_t written = write(file, data, size);
  bool whole = written >= 0 && static_cast<size_t>(written) == size;
  return close(file) == 0 && whole;
}
