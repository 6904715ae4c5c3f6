// Win32 volume roots of full paths; either slash separates.
#include "foundation/volume_root.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

bool slash(char c) { return c == '\\' || c == '/'; }

// Length of the name at text, up to a separator or the end.
size_t name_length(const char* text) {
  size_t length = 0;
  while (text[length] != 0 && !slash(text[length])) ++length;
  return length;
}

bool drive_root(const char* path, char* out, size_t size) {
  if (!isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':') return false;
  int written = snprintf(out, size, "%c:\\", path[0]);
  return written > 0 && static_cast<size_t>(written) < size;
}

// at points to "server\share..." of a network path.
bool share_root(const char* at, char* out, size_t size) {
  size_t server = name_length(at);
  if (server == 0 || !slash(at[server])) return false;
  const char* share_at = at + server + 1;
  size_t share = name_length(share_at);
  if (share == 0) return false;
  int written = snprintf(out, size, "\\\\%.*s\\%.*s\\", static_cast<int>(server), at, static_cast<int>(share), share_at);
  return written > 0 && static_cast<size_t>(written) < size;
}

}  // namespace

bool volume_root(const char* path, char* out, size_t size) {
  if (path == nullptr || out == nullptr || size == 0) return false;
  if (!slash(path[0]) || !slash(path[1])) return drive_root(path, out, size);
  const char* rest = path + 2;
  // "\\?\" and "\\.\" lead to a drive, a network share or a device.
  if ((rest[0] == '?' || rest[0] == '.') && slash(rest[1])) {
    rest += 2;
    if (strncmp(rest, "UNC", 3) == 0 && slash(rest[3])) return share_root(rest + 4, out, size);
    return drive_root(rest, out, size) && slash(rest[2]);
  }
  return share_root(rest, out, size);
}
