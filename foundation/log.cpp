// The diagnostic log, handed to the optional log library when it is present
// (Win32) or written to the file QORLOG32_FILE names (POSIX), and the debug
// print, which always goes to the debugger output.
#include "foundation/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/module.h"
#include "foundation/path.h"

namespace {

#ifdef _WIN32
constexpr const char* LOG_LIBRARY_NAME = "QORLOG32.DLL";
constexpr const char* LOG_FOLDER_VARIABLE = "QORLOG32_DIR";
constexpr const char* LOG_ENTRY_NAME = "QORLOG32_LogAddComment";
#endif
constexpr const char* DPRINTF_TOO_LONG = "String too long for dprintf().  This will probably GPF.";

struct log_state {
  void* library;
  os_log_entry entry;
  bool enabled;
  void (*debug_sink)(const char* text);
};
log_state state;

void send_debug_text(const char* text) {
  if (state.debug_sink != nullptr)
    state.debug_sink(text);
  else
    debug_output(text);
}

#ifdef _WIN32
// Loads the library at name and finds its entry; a library without the entry
// is let go again.
int load_library(const char* name) {
  state.library = os_library_load(name);
  if (state.library == nullptr) return ERROR_LOG_UNAVAILABLE;
  state.entry = reinterpret_cast<os_log_entry>(os_library_symbol(state.library, LOG_ENTRY_NAME));
  if (state.entry != nullptr) return 0;
  os_library_free(state.library);
  state.library = nullptr;
  return ERROR_LOG_UNAVAILABLE;
}

// Loads the library by its full path in folder. A bare or relative name
// would send the system searching, the current folder included.
int load_from_folder(const char* folder) {
  if (folder == nullptr || folder[0] == 0) return ERROR_LOG_UNAVAILABLE;
  char joined[PATH_SIZE];
  char full[PATH_SIZE];
  const char* separator = is_separator(folder[strlen(folder) - 1]) ? "" : "\\";
  int written = snprintf(joined, sizeof joined, "%s%s%s", folder, separator, LOG_LIBRARY_NAME);
  if (written <= 0 || static_cast<size_t>(written) >= sizeof joined) return ERROR_LOG_UNAVAILABLE;
  if (!os_full_path(joined, full, sizeof full)) return ERROR_LOG_UNAVAILABLE;
  return load_library(full);
}
#endif

}  // namespace

int log_open() {
  // Recorded first, so that shut-down frees whatever gets loaded.
  module_add_exit_hook(log_close, HOOK_TERMINATE);
#ifdef _WIN32
  return load_from_folder(getenv(LOG_FOLDER_VARIABLE));
#else
  state.entry = os_log_file_entry();
  return state.entry != nullptr ? 0 : ERROR_LOG_UNAVAILABLE;
#endif
}

int log_open_beside_program() {
  if (state.library != nullptr) return 0;
#ifdef _WIN32
  char program[PATH_SIZE];
  char drive[PATH_SIZE];
  char dir[PATH_SIZE];
  char folder[PATH_SIZE];
  if (!os_module_path(program, sizeof program) || !path_split(program, drive, dir, nullptr, nullptr) ||
      !path_join(folder, sizeof folder, drive, dir, nullptr, nullptr))
    return ERROR_LOG_UNAVAILABLE;
  return load_from_folder(folder);
#else
  return state.entry != nullptr ? 0 : ERROR_LOG_UNAVAILABLE;  // the file log of log_open
#endif
}

int log_close() {
  state.enabled = false;
  module_remove_exit_hook(log_close, HOOK_TERMINATE);
  if (state.library != nullptr) {
    state.entry = nullptr;
    os_library_free(state.library);
    state.library = nullptr;
  }
  return 0;
}

bool log_enabled() { return state.enabled; }

void log_set_enabled(bool enabled) { state.enabled = enabled; }

void log_set_entry(os_log_entry entry) { state.entry = entry; }

void log_set_debug_sink(void (*sink)(const char* text)) { state.debug_sink = sink; }

void log_message(int level, const char* module, uint32_t* site, const char* format, ...) {
  // Enabled without an entry cannot happen through log_open; checked anyway.
  if (!state.enabled || state.entry == nullptr) return;
  char text[LOG_TEXT_SIZE] = {};
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    os_vformat(text, sizeof text, format, args);
    va_end(args);
  }
  state.entry(level, module, site, text);
}

int dprintf(const char* format, ...) {
  // Formatted at the full limit first, so that an over-long text is known.
  char full[LOG_TEXT_SIZE] = {};
  va_list args;
  va_start(args, format);
  int needed = os_vformat(full, sizeof full, format, args);
  va_end(args);

  char text[DPRINTF_BUFFER_SIZE] = {};
  size_t length = needed > 0 ? static_cast<size_t>(needed) : 0;
  if (length >= sizeof text) {
    send_debug_text(DPRINTF_TOO_LONG);
    length = sizeof text - 1;
  }
  memcpy(text, full, length);
  text[length] = 0;
  send_debug_text(text);
  return static_cast<int>(strlen(text));
}
