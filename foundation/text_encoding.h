// Names travel between systems as bytes: archives made on Linux hold UTF-8,
// archives made on Windows hold the ANSI code page. These portable checks
// tell the two apart; Windows-1252 is what a name that is not UTF-8 is read
// as where no ANSI code page exists (Linux).
#pragma once

#include <cstddef>
#include <string_view>

// Every byte below 0x80.
bool text_is_ascii(std::string_view text);
// Well-formed UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
bool text_is_utf8(std::string_view text);
// Valid UTF-8 holding at least one byte that is not ASCII: the names that
// Windows creates through its wide functions.
bool text_is_wide_utf8(std::string_view text);
// Reads text as Windows-1252 and writes it as UTF-8 with a terminating zero
// into size bytes (at most 3 bytes per input byte, and the zero). The five
// bytes Windows-1252 leaves undefined become U+0081, U+008D, U+008F, U+0090
// and U+009D, as the platform's own conversion makes them. False when the
// result does not fit (out is then empty).
bool text_cp1252_to_utf8(std::string_view text, char* out, size_t size);
