// POSIX file-system services of the qpk tool.
#include "tools/qpk/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"

path_facts path_facts_of(const char* path) {
  path_facts facts;
  struct stat info {};
  if (stat(path, &info) != 0) {
    struct stat link_info {};
    if (lstat(path, &link_info) == 0) facts.kind = path_kind::other;  // a dangling link
    return facts;
  }
  if (S_ISDIR(info.st_mode)) {
    // Only a folder needs to know whether it was reached through a link.
    struct stat link_info {};
    bool linked = lstat(path, &link_info) == 0 && S_ISLNK(link_info.st_mode);
    facts.kind = linked ? path_kind::linked_folder : path_kind::folder;
  } else if (S_ISREG(info.st_mode)) {
    facts.kind = path_kind::file;
  } else {
    facts.kind = path_kind::other;
  }
  facts.size = static_cast<uint64_t>(info.st_size);
  facts.modified = static_cast<int64_t>(info.st_mtime);
  facts.read_only = (info.st_mode & S_IWUSR) == 0;
  facts.executable = (info.st_mode & S_IXUSR) != 0;
  const mode_t shared = S_ISDIR(info.st_mode) ? S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH : S_IRGRP | S_IROTH;
  facts.private_to_owner = (info.st_mode & shared) != shared;
  return facts;
}

bool folder_names(const char* folder, std::vector<std::string>* names) {
  DIR* dir = opendir(folder);
  if (dir == nullptr) return false;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(dir);
  return true;
}

bool same_file(const char* a, const char* b) {
  struct stat first {}, second {};
  if (stat(a, &first) != 0 || stat(b, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool replace_file(const char* from, const char* to) {
  // Temporary files are private (0600); the archive gets the usual 0666 less
  // the umask, which can only be read by setting it.
  mode_t mask = umask(022);
  umask(mask);
  if (chmod(from, 0666 & ~mask) != 0) return false;
  return rename(from, to) == 0;
}

std::string shown_name(const std::string& name) {
  if (text_is_utf8(name)) return name;
  std::vector<char> converted(3 * name.size() + 1);
  return os_ansi_to_utf8(name.c_str(), converted.data(), converted.size()) ? converted.data() : name;
}
