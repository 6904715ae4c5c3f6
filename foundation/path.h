// Path helpers with the platform's separator rules: Win32 takes "\" and "/"
// and a drive letter; POSIX takes "/" only and has no drive.
#pragma once

#include <cstddef>

// A path and its terminating zero. The Windows program keeps its MAX_PATH-style
// 256 bytes; on POSIX a path may be as long as the system allows (PATH_MAX).
#ifdef _WIN32
constexpr size_t PATH_SIZE = 256;
#else
constexpr size_t PATH_SIZE = 4096;
#endif

// POSIX file names are UTF-8 by convention; Win32 names are in the ANSI code
// page, or UTF-8 given to the wide functions (foundation/backend.h).
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
constexpr bool PATH_NAMES_UTF8 = false;
#else
constexpr char PATH_SEPARATOR = '/';
constexpr bool PATH_NAMES_UTF8 = true;
#endif

// Splits a path into drive, directory (with its trailing separator), file name
// and extension (with its leading "."), each PATH_SIZE bytes; any part may be
// null. False when a part does not fit (the parts are then empty).
bool path_split(const char* path, char* drive, char* dir, char* name, char* ext);
// Joins the parts, adding the separators that are missing, into size bytes.
// False when the result does not fit (out is then empty).
bool path_join(char* out, size_t size, const char* drive, const char* dir,
               const char* name, const char* ext);
bool is_separator(char c);

// Paths are split by character, not byte: in a double-byte ANSI code page the
// second byte of a character may be the byte of "\". A path that is valid
// UTF-8 is read byte by byte (no separator byte lies inside a UTF-8
// character); any other in the ANSI code page (one byte a character on POSIX).
bool path_is_utf8(const char* path);
// The character after the one at p (which is not the terminating zero).
const char* path_next_char(const char* p, bool utf8);
// The last separator of the path, or null when it has none.
const char* path_last_separator(const char* path);
