// The free space of a destination and the words for a shortage, for the
// check an extraction makes before it writes anything.
#pragma once

#include <cstdint>

// The selected entries do not fit the destination's free space, or it could
// not be found.
constexpr int ERROR_DISK_SPACE = -309;

// The free bytes of the volume that holds path (on Win32 the drive of an
// "X:" path; on POSIX the path or its nearest existing ancestor). 0, or
// ERROR_DISK_SPACE with *bytes 0 when it cannot be found, so that any
// selection with content fails the check.
int disk_free_space(const char* path, double* bytes);
// Notes the destination as the failure's path and, as its reason, what the
// selection needs against what is free ("needs 1.2 GiB, 300.0 MiB free"; in
// bytes where the rounded sizes would read the same), or that the free space
// could not be found (known false).
void note_space_shortage(const char* destination, uint64_t needed, double free_bytes, bool known);
