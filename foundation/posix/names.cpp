// POSIX back-end of file-system names: attributes, directories, full paths,
// the program's own file, temporary names and free space.
#include <errno.h>
#include <limits.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/path.h"

static_assert(PATH_SIZE == PATH_MAX, "a path buffer holds any path the system takes");

namespace {

mode_t current_umask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// A result that does not fit its buffer fails as the system would fail a
// path too long, so the caller's reason line says so.
bool too_long() {
  errno = ENAMETOOLONG;
  return false;
}

bool copy_text(const char* text, char* out, size_t size) {
  size_t length = strlen(text);
  if (length >= size) return too_long();
  memcpy(out, text, length + 1);
  return true;
}

}  // namespace

uint32_t os_get_attributes(const char* path) {
  struct stat info;
  if (lstat(path, &info) != 0) return OS_ATTR_INVALID;
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= OS_ATTR_DIRECTORY;
  if (S_ISLNK(info.st_mode)) attributes |= OS_ATTR_LINK;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= OS_ATTR_READONLY;
  if (S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR) != 0) attributes |= OS_ATTR_EXECUTE;
  return attributes != 0 ? attributes : OS_ATTR_NORMAL;
}

bool os_set_attributes(const char* path, uint32_t attributes) {
  struct stat info;
  // chmod follows links: a link's target is never changed through it.
  if (lstat(path, &info) != 0 || S_ISLNK(info.st_mode)) return false;
  mode_t mode = info.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID);
  if ((attributes & OS_ATTR_READONLY) != 0)
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_IWUSR;
  if ((attributes & OS_ATTR_EXECUTE) != 0)
    mode |= S_IXUSR | ((S_IXGRP | S_IXOTH) & ~current_umask());
  if ((attributes & OS_ATTR_PRIVATE) != 0) mode &= ~static_cast<mode_t>(S_IRWXG | S_IRWXO);
  return mode == (info.st_mode & 07777) || chmod(path, mode) == 0;
}

bool os_dir_create(const char* path) { return mkdir(path, 0777) == 0; }

bool os_dir_create_private(const char* path) { return mkdir(path, 0700) == 0; }

bool os_dir_remove(const char* path) {
  struct stat info;
  if (lstat(path, &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) return unlink(path) == 0;
  return rmdir(path) == 0;
}

bool os_file_delete(const char* path) { return unlink(path) == 0; }

bool os_file_replace(const char* from, const char* to) { return rename(from, to) == 0; }

bool os_dir_change(const char* path) { return chdir(path) == 0; }

bool os_full_path(const char* name, char* out, size_t size) {
  if (name == nullptr || name[0] == 0 || size == 0) return false;
  char joined[PATH_MAX * 2];
  if (name[0] == '/') {
    if (!copy_text(name, joined, sizeof joined)) return false;
  } else {
    char current[PATH_MAX];
    if (getcwd(current, sizeof current) == nullptr) return false;
    int length = snprintf(joined, sizeof joined, "%s/%s", current, name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof joined) return too_long();
  }
  // Lexical normalisation: "." goes, ".." takes the component before it
  // (never above the root), repeated separators become one.
  size_t length = 0;
  const char* p = joined;
  while (*p != 0) {
    while (*p == '/') ++p;
    const char* start = p;
    while (*p != 0 && *p != '/') ++p;
    size_t part = static_cast<size_t>(p - start);
    if (part == 0 || (part == 1 && start[0] == '.')) continue;
    if (part == 2 && start[0] == '.' && start[1] == '.') {
      while (length > 0 && out[length - 1] != '/') --length;
      if (length > 0) --length;
      continue;
    }
    if (length + 1 + part >= size) return too_long();
    out[length++] = '/';
    memcpy(out + length, start, part);
    length += part;
  }
  bool trailing = joined[strlen(joined) - 1] == '/';
  if (length == 0 || trailing) {
    if (length + 1 >= size) return too_long();
    out[length++] = '/';
  }
  out[length] = 0;
  return true;
}

bool os_module_path(char* out, size_t size) {
  if (size == 0) return false;
  ssize_t length = readlink("/proc/self/exe", out, size);
  if (length > 0 && static_cast<size_t>(length) >= size) return too_long();
  if (length > 0) {
    out[length] = 0;
    return true;
  }
  // Without /proc (a bare root, a container) the kernel still hands every
  // program the name it was started by. A relative one is taken against the
  // current folder, which the program has not left when it first asks.
  const int proc_error = errno;
  const char* started_as = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (started_as == nullptr || started_as[0] == 0) {
    errno = proc_error;
    return false;
  }
  return os_full_path(started_as, out, size);
}

bool os_temp_folder(char* out, size_t size) {
  const char* folder = getenv("TMPDIR");
  if (folder == nullptr || folder[0] == 0) folder = "/tmp";
  size_t length = strlen(folder);
  bool add_separator = folder[length - 1] != '/';
  int written = snprintf(out, size, "%s%s", folder, add_separator ? "/" : "");
  if (written > 0 && static_cast<size_t>(written) >= size) return too_long();
  return written > 0;
}

bool os_temp_file_name(const char* folder, const char* prefix, char* out, size_t size) {
  if (folder == nullptr || prefix == nullptr || folder[0] == 0) return false;
  size_t length = strlen(folder);
  const char* separator = folder[length - 1] == '/' ? "" : "/";
  int written = snprintf(out, size, "%s%s%sXXXXXX", folder, separator, prefix);
  if (written < 0) return false;
  if (static_cast<size_t>(written) >= size) return too_long();
  int fd = mkstemp(out);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool os_disk_free_space(const char* path, double* bytes) {
  struct statvfs info;
  if (statvfs(path, &info) != 0) return false;
  *bytes = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
  return true;
}
