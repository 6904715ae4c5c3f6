// Device-independent bitmaps for the splash window: loading one from the
// program's resources or from a file, and finding its pixel rows. A bitmap
// is a pointer to its 40-byte information header, followed by the colour
// table and the rows. A bitmap that ui_load_bitmap accepted has been checked
// to hold every pixel row its header describes, so drawing it cannot read
// past its block.
#pragma once

#include <cstdint>

constexpr int ERROR_BITMAP_LOAD_FAILED = -100;  // the resource exists but cannot be loaded
constexpr int ERROR_BITMAP_NOT_FOUND = -101;    // no resource, and no file of that name opens
constexpr int ERROR_BITMAP_FILE_SHORT = -103;   // the file is shorter than its headers say
constexpr int ERROR_BITMAP_BAD_FORMAT = -104;   // no "BM", not a 40-byte header, or sizes that do not fit
// ERROR_SYSTEM_MEMORY (-950, foundation/pool.h): no memory for the file's contents.

constexpr uint32_t BITMAP_FILE_HEADER_SIZE = 14;
constexpr uint32_t BITMAP_INFO_HEADER_SIZE = 40;

// The fields of the information header that drawing relies on.
struct ui_bitmap_info {
  uint32_t header_size;
  int32_t width;
  int32_t height;  // negative: rows stored top-down
  uint16_t planes;
  uint16_t bit_count;
  uint32_t compression;
  uint32_t colors_used;
};
ui_bitmap_info ui_bitmap_read_info(const void* bitmap);

// Loads the bitmap from a resource of type bitmap in the module, or else from
// the file of that name. On 0 sets *out; on failure *out keeps its value. A
// bitmap lives until the process ends (a resource is the module's own data, a
// file's contents stay in their block).
int ui_load_bitmap(void* module, const char* name, const void** out);
// The first pixel row, or none when the information header is not 40 bytes.
const void* ui_bitmap_bits(const void* bitmap);
