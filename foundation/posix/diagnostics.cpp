// POSIX back-end of the diagnostics: the bounded formatter, the system log as
// the debugger output, and run-time library loading for the log library.
#include <dlfcn.h>
#include <syslog.h>

#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/format.h"
#include "foundation/path.h"

int os_vformat(char* out, size_t size, const char* format, va_list args) {
  return bounded_vformat(out, size, format, args);
}

void debug_output(const char* text) {
  static bool opened = false;
  if (!opened) {
    openlog("qpk2exe", LOG_PID, LOG_USER);
    opened = true;
  }
  syslog(LOG_DEBUG, "%s", text);
}

void* os_library_load(const char* name) {
  // The program's own folder first, as the Win32 search order has it.
  char own[PATH_SIZE];
  char dir[PATH_SIZE];
  char beside[PATH_SIZE];
  if (strchr(name, '/') == nullptr && os_module_path(own, sizeof own) &&
      path_split(own, nullptr, dir, nullptr, nullptr) &&
      path_join(beside, sizeof beside, nullptr, dir, name, nullptr)) {
    if (void* library = dlopen(beside, RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* os_library_symbol(void* library, const char* name) { return dlsym(library, name); }

void os_library_free(void* library) { dlclose(library); }
