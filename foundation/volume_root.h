// The root of the Win32 volume a full path lies on, as the free-space query
// wants it: "X:\" for a drive path, "\\server\share\" for a network path
// (also when written "\\?\X:\..." or "\\?\UNC\server\share\..."). Kept free
// of <windows.h> so that both builds test it.
#pragma once

#include <cstddef>

// The root into out (size bytes); false for any other path (relative, a
// server without a share, a device) and for a root that does not fit.
bool volume_root(const char* path, char* out, size_t size);
