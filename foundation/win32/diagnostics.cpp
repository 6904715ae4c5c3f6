// Win32 back-end of the diagnostics: the system's formatted printing, the
// debugger output, run-time library loading for the log library, and the
// system's error and its text.
#include <windows.h>

#include <cstring>

#include "foundation/backend.h"

namespace {

// The system formatter writes at most 1024 bytes with its zero; one spare.
constexpr size_t SCRATCH_SIZE = 1025;
constexpr int LIMIT = 1024;

}  // namespace

int os_vformat(char* out, size_t size, const char* format, va_list args) {
  if (out == nullptr || size == 0) return 0;
  char scratch[SCRATCH_SIZE] = {};
  int written = wvsprintfA(scratch, format != nullptr ? format : "", args);
  scratch[SCRATCH_SIZE - 1] = 0;
  // At the limit the count includes a byte the formatter did not keep.
  size_t length = written >= 0 && written < LIMIT ? static_cast<size_t>(written) : strlen(scratch);
  if (length > size - 1) length = size - 1;
  memcpy(out, scratch, length);
  out[length] = 0;
  return static_cast<int>(length);
}

void debug_output(const char* text) { OutputDebugStringA(text); }

void* os_library_load(const char* name) { return reinterpret_cast<void*>(LoadLibraryA(name)); }

void os_library_search_restrict() {
  // Each call exists only on later systems, so each is looked up.
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return;
  using default_directories = BOOL(WINAPI*)(DWORD);
  using dll_directory = BOOL(WINAPI*)(LPCSTR);
  using search_path_mode = BOOL(WINAPI*)(DWORD);
  if (auto set = reinterpret_cast<default_directories>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories"))))
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // An empty string takes the current folder out of the older search.
  if (auto set = reinterpret_cast<dll_directory>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA"))))
    set("");
  if (auto set = reinterpret_cast<search_path_mode>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "SetSearchPathMode"))))
    set(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

void* os_library_symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void os_library_free(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

int os_last_error() { return static_cast<int>(GetLastError()); }

bool os_error_is_held(int error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

void os_error_text(int error, char* out, size_t size) {
  if (size == 0) return;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(error), 0, out, static_cast<DWORD>(size), nullptr);
  // The system's text ends in a line end and often a full stop.
  while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r' || out[length - 1] == '.')) --length;
  out[length < size ? length : size - 1] = '\0';
}
