// Win32 back-end of the archive tool's view of its inputs: what is at a path,
// the names in a folder and whether two paths are one file. Only qpk links it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/win32/wide_path.h"

namespace {

// FILETIME counts 100 ns ticks from 1601; Unix time seconds from 1970.
constexpr int64_t TICKS_PER_SECOND = 10000000;
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;

int64_t unix_seconds(const FILETIME& time) {
  int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks / TICKS_PER_SECOND - SECONDS_1601_TO_1970;
}

bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  HANDLE file = wide.wide ? CreateFileW(wide.text, 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                          : CreateFileA(path, 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

os_path_facts os_path_facts_of(const char* path) {
  os_path_facts facts;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  wide_path wide;
  if (!wide_path_of(path, &wide)) return facts;
  if (!(wide.wide ? GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data)
                  : GetFileAttributesExA(path, GetFileExInfoStandard, &data)))
    return facts;
  DWORD attributes = data.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // Junctions and folder links are not followed: they can form loops. A
    // cloud-synced folder is a reparse point too, but no link.
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (os_get_attributes(path) & OS_ATTR_LINK);
    facts.kind = link ? OS_PATH_LINKED_FOLDER : OS_PATH_FOLDER;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    facts.kind = OS_PATH_OTHER;
  } else {
    facts.kind = OS_PATH_FILE;
  }
  facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.modified = unix_seconds(data.ftLastWriteTime);
  // The OS_ATTR_* bits are the system's own.
  facts.attributes = attributes & (OS_ATTR_READONLY | OS_ATTR_HIDDEN | OS_ATTR_SYSTEM | OS_ATTR_ARCHIVE);
  return facts;
}

bool os_folder_names(const char* folder, void (*visit)(const char* name, void* context), void* context) {
  // Read wide, so that a name the ANSI code page cannot hold is not "?".
  // Any pattern whose wide form fits takes at most 3 bytes per wide character.
  char pattern_text[3 * WIDE_PATH_SIZE];
  const int length = snprintf(pattern_text, sizeof pattern_text, "%s\\*", folder);
  if (length < 0 || static_cast<size_t>(length) >= sizeof pattern_text) return false;
  wide_path pattern;
  if (!wide_path_always(pattern_text, &pattern)) return false;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(pattern.text, &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool converted = true;
  do {
    char name[MAX_PATH * 3];
    converted = narrow_of_wide(data.cFileName, -1, name, sizeof name);
    if (converted && strcmp(name, ".") != 0 && strcmp(name, "..") != 0) visit(name, context);
  } while (converted && FindNextFileW(find, &data));
  bool complete = converted && GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

bool os_same_file(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  if (!file_identity(a, &first) || !file_identity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
