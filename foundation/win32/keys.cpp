// Win32 clean-up key store: the registry. Keys are created non-volatile with
// all access rights and no class; values are REG_SZ (wide text for a value
// that is UTF-8 and not ASCII).
#include <windows.h>

#include <cstring>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"
#include "foundation/win32/key_roots.h"
#include "foundation/win32/wide_path.h"

namespace {

// Value names are short numbers; value texts hold at most 255 bytes, so as
// many wide characters and a zero.
constexpr int VALUE_NAME_SIZE = 64;
constexpr int VALUE_TEXT_SIZE = 257;

struct key_roots {
  HKEY machine;       // replaced only by tests
  HKEY used;          // the root the last successful create used; none before
};
key_roots roots = {HKEY_LOCAL_MACHINE, nullptr};

// The roots to look in for an existing key: the one this process created its
// key in, or (nothing created yet) the machine root first, then the user's.
int lookup_roots(HKEY out[2]) {
  if (roots.used != nullptr) {
    out[0] = roots.used;
    return 1;
  }
  out[0] = roots.machine;
  out[1] = HKEY_CURRENT_USER;
  return 2;
}

}  // namespace

void os_key_set_machine_root(void* root) {
  roots.machine = root != nullptr ? static_cast<HKEY>(root) : HKEY_LOCAL_MACHINE;
  roots.used = nullptr;
}

bool os_key_create(const char* path, os_key* out) {
  const HKEY order[2] = {roots.machine, HKEY_CURRENT_USER};
  for (HKEY root : order) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
      roots.used = root;
      *out = key;
      return true;
    }
  }
  return false;
}

bool os_key_open(const char* path, os_key* out) {
  HKEY order[2];
  int count = lookup_roots(order);
  for (int i = 0; i < count; ++i) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(order[i], path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      *out = key;
      return true;
    }
  }
  return false;
}

bool os_key_value_count(os_key key, uint32_t* count) {
  DWORD values = 0;
  if (RegQueryInfoKeyA(static_cast<HKEY>(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  *count = values;
  return true;
}

bool os_key_set_value(os_key key, const char* name, const char* data, uint32_t size) {
  if (size > 255) return false;
  const size_t length = strnlen(data, size);
  if (!text_is_wide_utf8(std::string_view(data, length)))
    return RegSetValueExA(static_cast<HKEY>(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
  // A UTF-8 path is kept as the wide text it names, which reads back the same
  // whatever the code page.
  WCHAR wide_name[VALUE_NAME_SIZE];
  WCHAR wide_data[VALUE_TEXT_SIZE];
  const int count = MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(length), wide_data, VALUE_TEXT_SIZE - 1);
  if (count <= 0 || MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, VALUE_NAME_SIZE) == 0) return false;
  wide_data[count] = L'\0';
  return RegSetValueExW(static_cast<HKEY>(key), wide_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide_data),
                        static_cast<DWORD>((count + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

// Read as wide text, so that a value kept in UTF-8 comes back whole: a text
// the ANSI code page holds exactly comes back in it (as every value written
// in it), any other in UTF-8.
bool os_key_get_value(os_key key, const char* name, char* data, uint32_t size) {
  WCHAR wide_name[VALUE_NAME_SIZE];
  WCHAR wide_data[VALUE_TEXT_SIZE] = {};
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, VALUE_NAME_SIZE) == 0) return false;
  DWORD type = 0;
  DWORD length = (VALUE_TEXT_SIZE - 1) * sizeof(WCHAR);
  if (RegQueryValueExW(static_cast<HKEY>(key), wide_name, nullptr, &type, reinterpret_cast<BYTE*>(wide_data),
                       &length) != ERROR_SUCCESS || type != REG_SZ) {
    return false;
  }
  const int count = static_cast<int>(wcsnlen(wide_data, VALUE_TEXT_SIZE - 1));
  if (count == 0) {
    if (size > 0) memset(data, 0, size);
    return true;
  }
  if (!narrow_of_wide(wide_data, count, data, size)) return false;
  const size_t used = strlen(data);
  memset(data + used, 0, size - used);
  return true;
}

bool os_key_delete_value(os_key key, const char* name) {
  return RegDeleteValueA(static_cast<HKEY>(key), name) == ERROR_SUCCESS;
}

void os_key_close(os_key key) { RegCloseKey(static_cast<HKEY>(key)); }

bool os_key_delete(const char* path) {
  HKEY order[2];
  int count = lookup_roots(order);
  for (int i = 0; i < count; ++i) {
    if (RegDeleteKeyA(order[i], path) == ERROR_SUCCESS) return true;
  }
  return false;
}

bool os_key_list(const char* path, void (*visit)(const char* name, void* context), void* context) {
  const HKEY order[2] = {roots.machine, HKEY_CURRENT_USER};
  bool any = false;
  for (HKEY root : order) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    any = true;
    char name[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      visit(name, context);
    }
    RegCloseKey(key);
  }
  return any;
}
