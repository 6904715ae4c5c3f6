// POSIX back-end of the diagnostics: the bounded formatter, the debugger
// output (standard error, only when QPK2EXE_DEBUG is set, as Win32 shows it
// only to a debugger), run-time library loading for the log library, and
// the system's error and its text.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/format.h"

int os_vformat(char* out, size_t size, const char* format, va_list args) {
  return bounded_vformat(out, size, format, args);
}

void debug_output(const char* text) {
  static const bool wanted = getenv("QPK2EXE_DEBUG") != nullptr;
  if (wanted) fputs(text, stderr);
}

// Only through the system's library search (LD_LIBRARY_PATH, the loader's
// cache, the system folders), never from the program's own folder: a library
// dropped beside a downloaded self-extractor must not be run.
void* os_library_load(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void os_library_search_restrict() {}

void* os_library_symbol(void* library, const char* name) { return dlsym(library, name); }

void os_library_free(void* library) { dlclose(library); }

int os_last_error() { return errno; }

bool os_error_is_held(int) { return false; }

void os_error_text(int error, char* out, size_t size) {
  if (size == 0) return;
  snprintf(out, size, "%s", strerror(error));
}
