// The file attributes an entry's attribute bits give the extracted file.
#include "archive/extract.h"
#include "archive/layout.h"
#include "foundation/backend.h"

uint32_t entry_attributes_to_system(uint32_t attributes) {
  struct bit_map {
    uint32_t entry;
    uint32_t system;
  };
  static constexpr bit_map MAP[] = {
      {ENTRY_ATTR_READONLY, OS_ATTR_READONLY},
      {ENTRY_ATTR_ARCHIVE, OS_ATTR_ARCHIVE},
      {ENTRY_ATTR_HIDDEN, OS_ATTR_HIDDEN},
      {ENTRY_ATTR_SYSTEM, OS_ATTR_SYSTEM},
#ifndef _WIN32
      // Win32 has no execute or owner-only attribute; the bits are ignored there.
      {ENTRY_ATTR_EXECUTE, OS_ATTR_EXECUTE},
      {ENTRY_ATTR_PRIVATE, OS_ATTR_PRIVATE},
#endif
  };
  uint32_t result = 0;
  for (const bit_map& bit : MAP)
    if ((attributes & bit.entry) != 0) result |= bit.system;
  return result;
}
