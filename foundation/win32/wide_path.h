// Win32 paths that are valid UTF-8 and not ASCII name their files through the
// wide (W) functions; every other path goes to the ANSI (A) function as it is.
// Each back-end function converts its path with wide_path_of and then calls
// the A or the W function.
#pragma once

#include <windows.h>

#include <cstddef>

// Wide characters of a converted path with its zero: more than any path a
// PATH_SIZE buffer holds (one UTF-8 byte or more per wide character).
constexpr size_t WIDE_PATH_SIZE = 1024;

struct wide_path {
  bool wide;  // text holds the path; else call the A function with the path itself
  WCHAR text[WIDE_PATH_SIZE];
};

// False, with the system's error set, when a UTF-8 path does not fit.
bool wide_path_of(const char* path, wide_path* out);
// The path in wide form whatever it is (UTF-8, else ANSI): for a call taking
// two paths of which one is UTF-8.
bool wide_path_always(const char* path, wide_path* out);
// Wide text (count characters, or -1 up to its zero) as UTF-8 with its zero,
// into size bytes; false when it does not fit.
bool utf8_of_wide(const WCHAR* text, int count, char* out, size_t size);
// Wide text as ANSI when the code page holds every character exactly, else
// as UTF-8, with its zero, into size bytes; false when it does not fit.
bool narrow_of_wide(const WCHAR* text, int count, char* out, size_t size);
