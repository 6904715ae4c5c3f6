// The module table, the exit-hook table and the fatal-error report: the hub
// through which every foundation service registers itself and arranges its
// own shut-down.
#include "foundation/module.h"

#include <cstdio>

namespace {

struct module_entry {
  uint32_t flags;  // bit 0: in use
  int key;
  module_name_function name_function;
};

constexpr uint32_t MODULE_IN_USE = 1;

module_entry module_table[MODULE_TABLE_SIZE];
exit_hook_slot hook_table[HOOK_TABLE_SIZE];
fatal_handler installed_fatal_handler;

}  // namespace

int module_error_name(int status, char* text) {
  const char* name = nullptr;
  if (status == ERROR_ERROR_MODULE_ALREADY_REGISTERED) name = "ERROR_ERROR_MODULE_ALREADY_REGISTERED";
  if (status == ERROR_ERROR_MODULE_NOT_REGISTERED) name = "ERROR_ERROR_MODULE_NOT_REGISTERED";
  if (name == nullptr || text == nullptr) return 0;
  snprintf(text, MODULE_NAME_SIZE, "%s", name);
  return 1;
}

int module_register(int key, module_name_function name_function) {
  for (const module_entry& entry : module_table)
    if ((entry.flags & MODULE_IN_USE) != 0 && entry.key == key) return ERROR_ERROR_MODULE_ALREADY_REGISTERED;
  for (module_entry& entry : module_table) {
    if ((entry.flags & MODULE_IN_USE) == 0) {
      entry = {MODULE_IN_USE, key, name_function};
      return 0;
    }
  }
  return ERROR_ERROR_MODULE_NOT_REGISTERED;
}

int module_unregister(int key) {
  for (module_entry& entry : module_table) {
    if ((entry.flags & MODULE_IN_USE) != 0 && entry.key == key) {
      entry = {};
      return 0;
    }
  }
  return ERROR_ERROR_MODULE_NOT_REGISTERED;
}

bool module_is_registered(int key) {
  for (const module_entry& entry : module_table)
    if ((entry.flags & MODULE_IN_USE) != 0 && entry.key == key) return true;
  return false;
}

void module_clear_table() {
  for (module_entry& entry : module_table) entry = {};
}

void module_clear_hooks() {
  for (exit_hook_slot& slot : hook_table) slot = {};
}

const exit_hook_slot* module_hook_slots() { return hook_table; }

void module_add_exit_hook(exit_hook hook, uint32_t flags) {
  // A slot with flags 0 counts as free, and a null hook would be called at
  // shut-down: neither can be recorded.
  if (hook == nullptr || flags == 0) return;
  for (exit_hook_slot& slot : hook_table) {
    if (slot.flags == 0) {
      slot = {hook, flags};
      return;
    }
  }
  module_fatal(ERROR_HOOK_TABLE_FULL, "module", 171);
}

void module_remove_exit_hook(exit_hook hook, uint32_t flags) {
  for (int i = HOOK_TABLE_SIZE - 1; i >= 0; --i) {
    if (hook_table[i].hook != hook || (hook_table[i].flags & flags) != flags) continue;
    for (int j = i; j + 1 < HOOK_TABLE_SIZE; ++j) hook_table[j] = hook_table[j + 1];
    hook_table[HOOK_TABLE_SIZE - 1] = {};
    return;
  }
}

void module_run_exit_hooks() {
  for (int i = HOOK_TABLE_SIZE - 1; i >= 0; --i)
    if ((hook_table[i].flags & HOOK_RELEASE) != 0) hook_table[i].hook();
  // A terminate hook may remove records, its own included; the slot is read
  // before the call and cleared after it, whatever it holds by then.
  for (int i = HOOK_TABLE_SIZE - 1; i >= 0; --i) {
    const exit_hook_slot slot = hook_table[i];
    if ((slot.flags & HOOK_TERMINATE) != 0) slot.hook();
    hook_table[i] = {};
  }
}

void module_set_fatal_handler(fatal_handler handler) { installed_fatal_handler = handler; }

void module_fatal(int status, const char* source, int line) {
  if (installed_fatal_handler != nullptr) installed_fatal_handler(status, source, line);
}
