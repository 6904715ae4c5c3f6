// What an entry's attribute bits (ENTRY_ATTR_*, archive/layout.h) mean on
// this system: the file attributes (OS_ATTR_*) an extracted file gets, the
// bits a stored file's attributes give its entry, and the letters a listing
// shows. Win32 has no execute or owner-only attribute: there those two bits
// map to no attribute and back to none.
#pragma once

#include <cstddef>
#include <cstdint>

// Bits the format does not define are ignored both ways.
uint32_t entry_attributes_to_system(uint32_t attributes);
uint32_t entry_attributes_from_system(uint32_t attributes);

// "RAHSX" with '-' for each bit not set (read-only, archive, hidden, system,
// execute) and the zero.
constexpr size_t ENTRY_ATTR_LETTERS_SIZE = 6;
void entry_attribute_letters(uint32_t attributes, char (&text)[ENTRY_ATTR_LETTERS_SIZE]);
