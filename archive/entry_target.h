// From an entry name to the file it is written to: names that would leave the
// destination are refused, and the target path must fit its buffer.
#pragma once

#include <cstddef>

// 0, or ERROR_ENTRY_NAME for an empty name, an absolute or drive name, a ".."
// component, a name ending in a separator or "." and, on POSIX, a "/" inside
// a name (entry names separate with "\" only).
int entry_name_check(const char* name);
// base (ending in the platform separator) followed by the name, or by its last
// component alone when paths are not used; "\" becomes the platform
// separator. ERROR_ENTRY_NAME when the result does not fit size bytes.
int entry_target_path(const char* base, const char* name, int use_paths, char* target, size_t size);
