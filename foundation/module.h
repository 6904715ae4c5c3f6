// Module registry and exit hooks: modules register their key (the base of
// their status codes) and arrange their own shut-down through exit hooks,
// which foundation_term runs newest first in a release and a terminate pass.
#pragma once

#include <cstdint>

constexpr int ERROR_ERROR_MODULE_ALREADY_REGISTERED = -4500;
constexpr int ERROR_ERROR_MODULE_NOT_REGISTERED = -4501;
constexpr int ERROR_HOOK_TABLE_FULL = -2300;

constexpr int MODULE_TABLE_SIZE = 100;
constexpr int HOOK_TABLE_SIZE = 100;

// Error-name functions write at most this many bytes, the zero included.
constexpr int MODULE_NAME_SIZE = 64;

constexpr uint32_t HOOK_RELEASE = 1;
constexpr uint32_t HOOK_TERMINATE = 2;

// Writes the symbolic name of status into text (at least MODULE_NAME_SIZE
// bytes) and returns 1 when the status belongs to the module; otherwise
// writes nothing and returns 0.
using module_name_function = int (*)(int status, char* text);
using exit_hook = int (*)();
using fatal_handler = void (*)(int status, const char* source, int line);

int module_register(int key, module_name_function name_function);
int module_unregister(int key);
void module_add_exit_hook(exit_hook hook, uint32_t flags);
void module_remove_exit_hook(exit_hook hook, uint32_t flags);
void module_run_exit_hooks();
// Calls the installed fatal-error handler, if any, and returns.
void module_fatal(int status, const char* source, int line);

// The registry's own error-name function (key -4500): knows -4500 and -4501.
int module_error_name(int status, char* text);

// Clears the tables (foundation_init's first two steps).
void module_clear_table();
void module_clear_hooks();

// Read access for tests and diagnostics.
struct exit_hook_slot {
  exit_hook hook;
  uint32_t flags;
};
const exit_hook_slot* module_hook_slots();  // HOOK_TABLE_SIZE slots
bool module_is_registered(int key);
void module_set_fatal_handler(fatal_handler handler);
