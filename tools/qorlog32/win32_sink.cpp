// Win32 side of the log library: the system clock, the temporary folder and
// an append-only handle, whose writes always land at the end of the file.
#include <windows.h>

#include <cstdio>

#include "tools/qorlog32/sink.h"

const char LOG_LINE_END[] = "\r\n";

utc_time utc_now() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

bool log_file_path(char* out, size_t size) {
  DWORD length = GetEnvironmentVariableA("QORLOG32_FILE", out, static_cast<DWORD>(size));
  if (length > 0 && length < size) return true;
  if (length >= size) return false;  // set but too long: do not write elsewhere
  char folder[MAX_PATH + 1];
  DWORD folder_length = GetTempPathA(sizeof folder, folder);
  if (folder_length == 0 || folder_length >= sizeof folder) return false;
  int written = snprintf(out, size, "%sQORLOG32.LOG", folder);
  return written > 0 && static_cast<size_t>(written) < size;
}

bool append_to_file(const char* path, const char* data, size_t size) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}
