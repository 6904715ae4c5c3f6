// Win32 clean-up key store: the registry. Keys are created non-volatile with
// all access rights and no class; values are REG_SZ.
#include <windows.h>

#include <cstring>

#include "foundation/backend.h"
#include "foundation/win32/key_roots.h"

namespace {

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
  return RegSetValueExA(static_cast<HKEY>(key), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

bool os_key_get_value(os_key key, const char* name, char* data, uint32_t size) {
  DWORD type = 0;
  DWORD length = size;
  if (RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &length) !=
      ERROR_SUCCESS) {
    return false;
  }
  return type == REG_SZ;
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
