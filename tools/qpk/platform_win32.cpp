// Win32 file-system services of the qpk tool.
#include "tools/qpk/platform.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/backend.h"
#include "foundation/retry.h"
#include "foundation/text_encoding.h"
#include "foundation/win32/wide_path.h"

namespace {

// FILETIME counts 100 ns ticks from 1601; Unix time seconds from 1970.
constexpr int64_t TICKS_PER_SECOND = 10000000;
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;

int64_t unix_seconds(const FILETIME& time) {
  int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks / TICKS_PER_SECOND - SECONDS_1601_TO_1970;
}

}  // namespace

path_facts path_facts_of(const char* path) {
  path_facts facts;
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
    facts.kind = link ? path_kind::linked_folder : path_kind::folder;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    facts.kind = path_kind::other;
  } else {
    facts.kind = path_kind::file;
  }
  facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.modified = unix_seconds(data.ftLastWriteTime);
  facts.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  facts.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  facts.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
  facts.archive = (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
  return facts;
}

bool folder_names(const char* folder, std::vector<std::string>* names) {
  // Read wide, so that a name the ANSI code page cannot hold is not "?".
  wide_path pattern;
  const std::string pattern_text = std::string(folder) + "\\*";
  if (!wide_path_always(pattern_text.c_str(), &pattern)) return false;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(pattern.text, &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool converted = true;
  do {
    char name[MAX_PATH * 3];
    converted = narrow_of_wide(data.cFileName, -1, name, sizeof name);
    if (converted && strcmp(name, ".") != 0 && strcmp(name, "..") != 0) names->push_back(name);
  } while (converted && FindNextFileW(find, &data));
  bool complete = converted && GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

namespace {

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

bool same_file(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  if (!file_identity(a, &first) || !file_identity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

bool replace_file(const char* from, const char* to) { return file_replace_when_free(from, to); }

std::string shown_name(const std::string& name) {
  if (!text_is_wide_utf8(name)) return name;
  std::vector<WCHAR> wide(name.size() + 1);
  const int count = MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  const UINT console = GetConsoleOutputCP();
  std::vector<char> shown(4 * name.size() + 1);
  if (count == 0 || WideCharToMultiByte(console != 0 ? console : CP_ACP, 0, wide.data(), -1, shown.data(),
                                        static_cast<int>(shown.size()), nullptr, nullptr) == 0)
    return name;
  return shown.data();
}
