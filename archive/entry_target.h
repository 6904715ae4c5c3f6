// From an entry name to the file it is written to. Entry names are untrusted
// input: the one name check below is used by the extraction, by `qpk test`
// and by `qpk create`, on every platform alike, so an archive is accepted or
// refused the same way wherever it is read or made (but for a name in a
// double-byte ANSI code page, which a Win32 system of that code page splits
// by character, so its "\" second bytes are no separators there).
#pragma once

#include <cstddef>
#include <string_view>

// An entry name that would leave the destination, or a target path too long.
constexpr int ERROR_ENTRY_NAME = -311;

// Why the name cannot be an entry's, or null: empty, longer than 127 bytes,
// beginning with "\", holding "/", ":" (a drive or stream) or a control
// character, with an empty component or one of dots and spaces alone (Win32
// drops trailing dots and spaces, so "..." or ". ." would name the parent).
const char* entry_name_problem(std::string_view name);
// base (ending in the platform separator) followed by the name, or by its last
// component alone when paths are not used; "\" becomes the platform
// separator. Names are split by character (an ANSI name in a double-byte code
// page may hold "\" as a second byte). The path is in one encoding: on POSIX
// a name that is not UTF-8 is converted from Windows-1252; on Win32 a UTF-8
// name that is not ASCII joins a base converted to UTF-8. ERROR_ENTRY_NAME
// when the result does not fit size bytes.
int entry_target_path(const char* base, const char* name, int use_paths, char* target, size_t size);
