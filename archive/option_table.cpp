// Reading and writing an option block through the option table.
#include "archive/option_table.h"

#include <cstring>

namespace {

char* field_of(option_block* block, const option_definition& option) {
  return reinterpret_cast<char*>(block) + option.field_offset;
}

}  // namespace

const option_definition* option_definition_of(const char* word) {
  for (const option_definition& option : OPTION_DEFINITIONS)
    if (strcmp(option.word, word) == 0) return &option;
  return nullptr;
}

void option_block_start(option_block* block) {
  memset(block, 0, sizeof *block);
  memcpy(block->signature, OPTION_SIGNATURE, sizeof OPTION_SIGNATURE);
}

bool option_block_record(option_block* block, const option_definition& option, bool given, const char* parameter) {
  if (given && option.field_size > 0) {
    size_t length = strnlen(parameter, option.field_size);
    if (length >= option.field_size) return false;
    memcpy(field_of(block, option), parameter, length + 1);
  }
  if (option.flag != 0 && given != option.flag_when_absent) block->flags |= option.flag;
  return true;
}

void option_block_text(const option_block& block, const option_definition& option, char* out, size_t size) {
  if (size == 0) return;
  const char* field = reinterpret_cast<const char*>(&block) + option.field_offset;
  size_t length = strnlen(field, option.field_size);
  if (length >= size) length = size - 1;
  memcpy(out, field, length);
  out[length] = '\0';
}
