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

#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
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
