// Win32 back-end of file-system names: attributes, directories, full paths,
// the program's own file, temporary names and free space.
#include <windows.h>

#include <cstring>

#include "foundation/backend.h"
#include "foundation/reparse_rule.h"
#include "foundation/volume_root.h"
#include "foundation/win32/wide_path.h"

namespace {

using extended_free_space = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// The extended query exists on the later releases of the platform family that
// reports id 1; it is looked up at run time there.
bool extended_query(const char* root, double* bytes) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return false;
  if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS || (version.dwBuildNumber & 0xFFFF) <= 1000) return false;
  HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
  if (kernel == nullptr) return false;
  auto query = reinterpret_cast<extended_free_space>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
  ULARGE_INTEGER available = {};
  ULARGE_INTEGER total = {};
  ULARGE_INTEGER free_bytes = {};
  bool ok = query != nullptr && query(root, &available, &total, &free_bytes);
  FreeLibrary(kernel);
  if (ok) *bytes = static_cast<double>(available.QuadPart);
  return ok;
}

}  // namespace

uint32_t os_get_attributes(const char* path) {
  wide_path wide;
  if (!wide_path_of(path, &wide)) return OS_ATTR_INVALID;
  DWORD attributes = wide.wide ? GetFileAttributesW(wide.text) : GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return attributes;
  // The search reports the reparse tag of the name itself.
  uint32_t tag = 0;
  HANDLE search = INVALID_HANDLE_VALUE;
  if (wide.wide) {
    WIN32_FIND_DATAW found = {};
    search = FindFirstFileW(wide.text, &found);
    tag = found.dwReserved0;
  } else {
    WIN32_FIND_DATAA found = {};
    search = FindFirstFileA(path, &found);
    tag = found.dwReserved0;
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return reparse_is_link(attributes, search != INVALID_HANDLE_VALUE ? &tag : nullptr) ? attributes | OS_ATTR_LINK
                                                                                       : attributes;
}

bool os_set_attributes(const char* path, uint32_t attributes) {
  // The execute and owner-only bits have no meaning here.
  const DWORD system_attributes = attributes & ~(OS_ATTR_EXECUTE | OS_ATTR_PRIVATE | OS_ATTR_LINK);
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  return (wide.wide ? SetFileAttributesW(wide.text, system_attributes) : SetFileAttributesA(path, system_attributes)) !=
         FALSE;
}

bool os_dir_create(const char* path) {
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  return (wide.wide ? CreateDirectoryW(wide.text, nullptr) : CreateDirectoryA(path, nullptr)) != FALSE;
}

bool os_dir_create_private(const char* path) { return os_dir_create(path); }

bool os_dir_remove(const char* path) {
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  return (wide.wide ? RemoveDirectoryW(wide.text) : RemoveDirectoryA(path)) != FALSE;
}

bool os_file_delete(const char* path) {
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  return (wide.wide ? DeleteFileW(wide.text) : DeleteFileA(path)) != FALSE;
}

bool os_file_replace(const char* from, const char* to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  // Either path may be UTF-8: when one is, both go to the W function.
  wide_path wide_from, wide_to;
  if (!wide_path_of(from, &wide_from) || !wide_path_of(to, &wide_to)) return false;
  if (!wide_from.wide && !wide_to.wide) return MoveFileExA(from, to, flags) != FALSE;
  if (!wide_path_always(from, &wide_from) || !wide_path_always(to, &wide_to)) return false;
  return MoveFileExW(wide_from.text, wide_to.text, flags) != FALSE;
}

bool os_dir_change(const char* path) {
  wide_path wide;
  if (!wide_path_of(path, &wide)) return false;
  return (wide.wide ? SetCurrentDirectoryW(wide.text) : SetCurrentDirectoryA(path)) != FALSE;
}

bool os_full_path(const char* name, char* out, size_t size) {
  if (name == nullptr || name[0] == 0 || size == 0) return false;
  wide_path wide;
  if (!wide_path_of(name, &wide)) return false;
  if (wide.wide) {
    WCHAR full[WIDE_PATH_SIZE];
    DWORD length = GetFullPathNameW(wide.text, WIDE_PATH_SIZE, full, nullptr);
    return length > 0 && length < WIDE_PATH_SIZE && utf8_of_wide(full, -1, out, size);
  }
  char* file_part = nullptr;
  DWORD length = GetFullPathNameA(name, static_cast<DWORD>(size), out, &file_part);
  return length > 0 && length < size;
}

bool os_module_path(char* out, size_t size) {
  DWORD length = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
  return length > 0 && length < size;
}

bool os_temp_folder(char* out, size_t size) {
  DWORD length = GetTempPathA(static_cast<DWORD>(size), out);
  return length > 0 && length < size;
}

bool os_temp_file_name(const char* folder, const char* prefix, char* out, size_t size) {
  // The system writes up to MAX_PATH characters (up to 3 bytes each in
  // UTF-8); the caller's buffer may be smaller, so the name is made in a
  // full-size buffer and copied.
  char name[MAX_PATH * 3];
  wide_path wide;
  if (!wide_path_of(folder, &wide)) return false;
  if (wide.wide) {
    WCHAR wide_prefix[16];
    WCHAR wide_name[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, prefix, -1, wide_prefix, 16) == 0 ||
        GetTempFileNameW(wide.text, wide_prefix, 0, wide_name) == 0)
      return false;
    // The name keeps the folder's UTF-8 form; its own part is ASCII.
    if (!utf8_of_wide(wide_name, -1, name, sizeof name)) {
      DeleteFileW(wide_name);
      return false;
    }
  } else if (GetTempFileNameA(folder, prefix, 0, name) == 0) {
    return false;
  }
  size_t length = strlen(name);
  if (length >= size) {
    os_file_delete(name);
    return false;
  }
  memcpy(out, name, length + 1);
  return true;
}

bool os_disk_free_space(const char* path, double* bytes) {
  // A network share has a root of its own ("\\server\share\"); the
  // current drive is the last resort.
  char full[MAX_PATH];
  char root[MAX_PATH];
  const char* root_path = nullptr;
  if (path != nullptr && os_full_path(path, full, sizeof full) && volume_root(full, root, sizeof root))
    root_path = root;
  if (extended_query(root_path, bytes)) return true;
  DWORD sectors_per_cluster = 0;
  DWORD bytes_per_sector = 0;
  DWORD free_clusters = 0;
  DWORD total_clusters = 0;
  // A share's root may be named in UTF-8, as any path here.
  wide_path wide;
  if (root_path != nullptr && !wide_path_of(root_path, &wide)) return false;
  const BOOL found = root_path != nullptr && wide.wide
                         ? GetDiskFreeSpaceW(wide.text, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                                             &total_clusters)
                         : GetDiskFreeSpaceA(root_path, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                                             &total_clusters);
  if (!found) return false;
  *bytes = static_cast<double>(sectors_per_cluster) * bytes_per_sector * free_clusters;
  return true;
}
