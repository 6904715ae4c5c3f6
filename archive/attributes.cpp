// One table of the entry attribute bits, read in each direction.
#include "archive/attributes.h"

#include "archive/layout.h"
#include "foundation/backend.h"

namespace {

struct attribute_bit {
  uint32_t entry;
  uint32_t system;  // none: the bit has no meaning on this system
  char letter;      // none: not shown
};

#ifdef _WIN32
constexpr uint32_t SYSTEM_EXECUTE = 0;
constexpr uint32_t SYSTEM_PRIVATE = 0;
#else
constexpr uint32_t SYSTEM_EXECUTE = OS_ATTR_EXECUTE;
constexpr uint32_t SYSTEM_PRIVATE = OS_ATTR_PRIVATE;
#endif

constexpr attribute_bit BITS[] = {
    {ENTRY_ATTR_READONLY, OS_ATTR_READONLY, 'R'}, {ENTRY_ATTR_ARCHIVE, OS_ATTR_ARCHIVE, 'A'},
    {ENTRY_ATTR_HIDDEN, OS_ATTR_HIDDEN, 'H'},     {ENTRY_ATTR_SYSTEM, OS_ATTR_SYSTEM, 'S'},
    {ENTRY_ATTR_EXECUTE, SYSTEM_EXECUTE, 'X'},    {ENTRY_ATTR_PRIVATE, SYSTEM_PRIVATE, '\0'},
};

}  // namespace

uint32_t entry_attributes_to_system(uint32_t attributes) {
  uint32_t result = 0;
  for (const attribute_bit& bit : BITS)
    if ((attributes & bit.entry) != 0) result |= bit.system;
  return result;
}

uint32_t entry_attributes_from_system(uint32_t attributes) {
  uint32_t result = 0;
  for (const attribute_bit& bit : BITS)
    if ((attributes & bit.system) != 0) result |= bit.entry;
  return result;
}

void entry_attribute_letters(uint32_t attributes, char (&text)[ENTRY_ATTR_LETTERS_SIZE]) {
  size_t length = 0;
  for (const attribute_bit& bit : BITS)
    if (bit.letter != '\0' && length + 1 < ENTRY_ATTR_LETTERS_SIZE)
      text[length++] = (attributes & bit.entry) != 0 ? bit.letter : '-';
  text[length] = '\0';
}
