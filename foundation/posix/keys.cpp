// POSIX clean-up key store: a private file store under
// ${XDG_STATE_HOME:-$HOME/.local/state}/qpk2exe/. A key path "A\B\C" is the
// folder A/B/C there (folders 0700); each value is one file named after the
// value, written atomically (temporary file, fsync, rename).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "foundation/backend.h"
#include "foundation/path.h"

namespace {

constexpr uint32_t KEY_VALUE_LIMIT = PATH_SIZE;  // a path and its zero
constexpr char TEMPORARY_PREFIX = '.';  // value names never begin with it

struct key_folder {
  std::string path;
};

bool state_root(std::string* out) {
  const char* state = getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') {
    *out = std::string(state) + "/qpk2exe";
    return true;
  }
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] != '/') return false;
  *out = std::string(home) + "/.local/state/qpk2exe";
  return true;
}

// A component may not be empty, "." or "..", hold "/" or begin with the
// temporary prefix: nothing may reach outside the store or hide as a value.
bool safe_component(const std::string& part) {
  return !part.empty() && part != "." && part != ".." && part.find('/') == std::string::npos &&
         part[0] != TEMPORARY_PREFIX;
}

// The folder of a key path, relative to the store root, as its components.
bool key_components(const char* path, std::string* relative) {
  relative->clear();
  std::string part;
  for (const char* c = path;; ++c) {
    if (*c == '\\' || *c == '\0') {
      if (!safe_component(part)) return false;
      *relative += "/" + part;
      part.clear();
      if (*c == '\0') return true;
    } else {
      part += *c;
    }
  }
}

bool key_folder_path(const char* path, std::string* out) {
  std::string root, relative;
  if (!state_root(&root) || !key_components(path, &relative)) return false;
  *out = root + relative;
  return true;
}

bool make_folder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0) return true;
  struct stat info;
  return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_folders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (!make_folder(path.substr(0, slash))) return false;
  }
  return make_folder(path);
}

bool is_folder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

key_folder* as_folder(os_key key) { return static_cast<key_folder*>(key); }

bool value_path(os_key key, const char* name, std::string* out) {
  if (key == nullptr || !safe_component(name)) return false;
  *out = as_folder(key)->path + "/" + name;
  return true;
}

bool write_all(int fd, const char* data, uint32_t size) {
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<uint32_t>(done);
  }
  return true;
}

}  // namespace

bool os_key_create(const char* path, os_key* out) {
  std::string folder;
  if (!key_folder_path(path, &folder) || !make_folders(folder)) return false;
  *out = new key_folder{folder};
  return true;
}

bool os_key_open(const char* path, os_key* out) {
  std::string folder;
  if (!key_folder_path(path, &folder) || !is_folder(folder)) return false;
  *out = new key_folder{folder};
  return true;
}

bool os_key_value_count(os_key key, uint32_t* count) {
  if (key == nullptr) return false;
  DIR* dir = opendir(as_folder(key)->path.c_str());
  if (dir == nullptr) return false;
  uint32_t values = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != TEMPORARY_PREFIX) ++values;
  }
  closedir(dir);
  *count = values;
  return true;
}

bool os_key_set_value(os_key key, const char* name, const char* data, uint32_t size) {
  std::string target;
  if (size > KEY_VALUE_LIMIT || !value_path(key, name, &target)) return false;
  std::string temporary = as_folder(key)->path + "/" + TEMPORARY_PREFIX + name + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = write_all(fd, data, size) && fsync(fd) == 0;
  written = close(fd) == 0 && written;
  if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool os_key_get_value(os_key key, const char* name, char* data, uint32_t size) {
  std::string source;
  if (!value_path(key, name, &source)) return false;
  int fd = open(source.c_str(), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return false;
  uint32_t total = 0;
  bool ok = true;
  while (total < size) {
    ssize_t got = read(fd, data + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    total += static_cast<uint32_t>(got);
  }
  // A value longer than the caller's room is refused, as the registry does.
  char extra;
  if (ok && total == size && read(fd, &extra, 1) > 0) ok = false;
  close(fd);
  return ok;
}

bool os_key_delete_value(os_key key, const char* name) {
  std::string target;
  return value_path(key, name, &target) && unlink(target.c_str()) == 0;
}

void os_key_close(os_key key) { delete as_folder(key); }

// Like a registry key, the folder goes with its values (and any temporary
// file a crashed write left); a key with subkeys is not deleted.
bool os_key_delete(const char* path) {
  std::string folder;
  if (!key_folder_path(path, &folder)) return false;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    std::string child = folder + "/" + name;
    if (lstat(child.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) unlink(child.c_str());
  }
  closedir(dir);
  return rmdir(folder.c_str()) == 0;
}

bool os_key_list(const char* path, void (*visit)(const char* name, void* context), void* context) {
  std::string folder;
  if (!key_folder_path(path, &folder)) return false;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || !is_folder(folder + "/" + name)) continue;
    visit(name.c_str(), context);
  }
  closedir(dir);
  return true;
}
