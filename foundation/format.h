// A bounded formatter with the conversions of the Win32 formatted-printing
// function: %% %c %s %d %i %u %x %X, the "l" and "h" size letters, the flags
// "-", "#" and "0" (in that order), a width and a precision. Numbers are
// 32-bit on every platform ("l" included), so callers pass int or uint32_t.
// For %s the precision limits the characters taken and a null pointer prints
// "(null)"; for numbers it is the least number of characters, sign included.
// An unknown conversion prints its width in spaces (none when aligned left)
// and then its letter as ordinary text. "#" only prefixes hexadecimal numbers.
// Nothing is ever written past size.
#pragma once

#include <cstdarg>
#include <cstddef>

// Writes at most size-1 characters and a zero into out (nothing when size is
// 0) and returns the number of characters written.
int bounded_vformat(char* out, size_t size, const char* format, va_list args);
