// Naming a clean-up key and its values, and recording a path as the next value.
#include <cstdio>
#include <cstring>

#include "cleanup/cleanup_key.h"
#include "foundation/backend.h"
#include "foundation/log.h"

void cleanup_key_name_of(unsigned long process_id, char* out, size_t size) {
  snprintf(out, size, "%s\\%8lx", CLEANUP_KEY_ROOT, process_id);
}

void cleanup_value_name(uint32_t index, char* out, size_t size) {
  snprintf(out, size, "%lu", static_cast<unsigned long>(index));
}

bool cleanup_record(const char* key_name, const char* path) {
  if (strlen(path) >= CLEANUP_VALUE_SIZE) {
    LOG_MESSAGE(LOG_ERROR, "Path too long to record [%s].", path);
    return false;
  }
  os_key key = nullptr;
  if (!os_key_create(key_name, &key)) {
    LOG_MESSAGE(LOG_ERROR, "Unable to open main key");
    return false;
  }
  uint32_t count = 0;
  // Without the count there is no safe value name: writing one could replace
  // a recorded path.
  bool recorded = os_key_value_count(key, &count);
  if (!recorded) LOG_MESSAGE(LOG_ERROR, "Unable to open main key");
  if (recorded) {
    char value_name[CLEANUP_VALUE_NAME_SIZE];
    cleanup_value_name(count, value_name, sizeof value_name);
    char field[CLEANUP_VALUE_SIZE] = {};
    memcpy(field, path, strlen(path));
    recorded = os_key_set_value(key, value_name, field, sizeof field);
    if (!recorded) LOG_MESSAGE(LOG_ERROR, "Unable to set value [%s].", field);
  }
  os_key_close(key);
  return recorded;
}
