// POSIX back-end of the archive tool's view of its inputs: what is at a path,
// the names in a folder and whether two paths are one file. Only qpk links it.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "foundation/backend.h"

os_path_facts os_path_facts_of(const char* path) {
  os_path_facts facts;
  struct stat info {};
  if (stat(path, &info) != 0) {
    struct stat link_info {};
    if (lstat(path, &link_info) == 0) facts.kind = OS_PATH_OTHER;  // a dangling link
    return facts;
  }
  if (S_ISDIR(info.st_mode)) {
    // Only a folder needs to know whether it was reached through a link.
    struct stat link_info {};
    bool linked = lstat(path, &link_info) == 0 && S_ISLNK(link_info.st_mode);
    facts.kind = linked ? OS_PATH_LINKED_FOLDER : OS_PATH_FOLDER;
  } else if (S_ISREG(info.st_mode)) {
    facts.kind = OS_PATH_FILE;
  } else {
    facts.kind = OS_PATH_OTHER;
  }
  facts.size = static_cast<uint64_t>(info.st_size);
  facts.modified = static_cast<int64_t>(info.st_mtime);
  if ((info.st_mode & S_IWUSR) == 0) facts.attributes |= OS_ATTR_READONLY;
  if ((info.st_mode & S_IXUSR) != 0) facts.attributes |= OS_ATTR_EXECUTE;
  const mode_t shared = S_ISDIR(info.st_mode) ? S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH : S_IRGRP | S_IROTH;
  if ((info.st_mode & shared) != shared) facts.attributes |= OS_ATTR_PRIVATE;
  return facts;
}

bool os_folder_names(const char* folder, void (*visit)(const char* name, void* context), void* context) {
  DIR* dir = opendir(folder);
  if (dir == nullptr) return false;
  while (const dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) visit(entry->d_name, context);
  }
  closedir(dir);
  return true;
}

bool os_same_file(const char* a, const char* b) {
  struct stat first {}, second {};
  if (stat(a, &first) != 0 || stat(b, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
