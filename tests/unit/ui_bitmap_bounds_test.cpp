// Splash bitmaps whose header sizes multiply past 64 bits: the row count times
// the row length must not wrap into a size that passes for a small block.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "foundation/backend.h"
#include "test_util.h"
#include "ui/bitmap.h"

namespace {

void put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// A file with a 40-byte header, no colour table and pixel_bytes bytes after it.
std::string bitmap_file(int32_t width, int32_t height, uint16_t bits, uint32_t pixel_bytes) {
  std::string info;
  put(info, 40, 4);
  put(info, static_cast<uint32_t>(width), 4);
  put(info, static_cast<uint32_t>(height), 4);
  put(info, 1, 2);
  put(info, bits, 2);
  for (int field = 0; field < 6; ++field) put(info, 0, 4);
  std::string file = "BM";
  put(file, 14 + 40 + pixel_bytes, 4);
  put(file, 0, 4);
  put(file, 14 + 40, 4);
  return file + info + std::string(pixel_bytes, '\x5a');
}

TEST(UiBitmapBounds, RowSizesThatWrapPast64BitsAreRefused) {
  struct shape {
    const char* name;
    int32_t width, height;
    uint16_t bits;
    int expected;
  };
  const shape shapes[] = {
      // (2^33 - 4) bytes a row times 2^31 rows wraps to minus 2^33.
      {"widest 32-bit rows, most negative height", INT32_MAX, INT32_MIN, 32, ERROR_BITMAP_BAD_FORMAT},
      {"found by fuzzing: 24-bit, huge top-down", 0x70600001, static_cast<int32_t>(0x90260100u), 24,
       ERROR_BITMAP_BAD_FORMAT},
      {"huge width, one row", INT32_MAX, 1, 32, ERROR_BITMAP_BAD_FORMAT},
      {"3 by 2, 24-bit rows padded to 12 bytes: fits exactly", 3, 2, 24, 0},
  };
  scratch_dir dir;
  for (const shape& s : shapes) {
    SCOPED_TRACE(s.name);
    std::string path = dir.path("splash.bmp");
    write_file(path, bitmap_file(s.width, s.height, s.bits, 24));
    const void* bitmap = nullptr;
    EXPECT_EQ(s.expected, ui_load_bitmap(nullptr, path.c_str(), &bitmap))
        << "a bitmap must be accepted only when every row it describes lies inside its 64-byte block";
    EXPECT_EQ(s.expected == 0, bitmap != nullptr);
    if (bitmap != nullptr) os_bitmap_block_free(const_cast<void*>(bitmap));
  }
}

}  // namespace
