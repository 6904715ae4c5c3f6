// Win32 back-end of file-system names: attributes, directories, full paths,
// the program's own file, temporary names and free space.
#include <windows.h>

#include <cstring>

#include "foundation/backend.h"
#include "foundation/reparse_rule.h"
#include "foundation/volume_root.h"

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
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return attributes;
  // The search reports the reparse tag of the name itself.
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(path, &found);
  const uint32_t tag = found.dwReserved0;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return reparse_is_link(attributes, search != INVALID_HANDLE_VALUE ? &tag : nullptr) ? attributes | OS_ATTR_LINK
                                                                                       : attributes;
}

bool os_set_attributes(const char* path, uint32_t attributes) {
  // The execute bit has no meaning here.
  return SetFileAttributesA(path, attributes & ~(OS_ATTR_EXECUTE | OS_ATTR_LINK)) != FALSE;
}

bool os_dir_create(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool os_dir_create_private(const char* path) { return os_dir_create(path); }

bool os_dir_remove(const char* path) { return RemoveDirectoryA(path) != FALSE; }

bool os_file_delete(const char* path) { return DeleteFileA(path) != FALSE; }

bool os_file_replace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool os_dir_change(const char* path) { return SetCurrentDirectoryA(path) != FALSE; }

bool os_full_path(const char* name, char* out, size_t size) {
  if (name == nullptr || name[0] == 0 || size == 0) return false;
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
  // The system writes up to MAX_PATH characters; the caller's buffer may be
  // smaller, so the name is made in a full-size buffer and copied.
  char name[MAX_PATH];
  if (GetTempFileNameA(folder, prefix, 0, name) == 0) return false;
  size_t length = strlen(name);
  if (length >= size) {
    DeleteFileA(name);
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
  if (!GetDiskFreeSpaceA(root_path, &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters))
    return false;
  *bytes = static_cast<double>(sectors_per_cluster) * bytes_per_sector * free_clusters;
  return true;
}
