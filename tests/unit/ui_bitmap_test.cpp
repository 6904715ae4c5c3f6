// Loading a splash bitmap from a file and finding its pixel rows: the header
// checks, the colour-table counts, and bitmaps whose sizes lie. Also the
// centring rule the splash and status windows share.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/backend.h"
#include "foundation/pool.h"
#include "test_util.h"
#include "ui/bitmap.h"
#include "ui/center.h"

namespace {

struct bmp_shape {
  int32_t width = 4;
  int32_t height = 2;
  uint16_t planes = 1;
  uint16_t bits = 8;
  uint32_t compression = 0;
  uint32_t colors_used = 0;
  uint32_t header_size = 40;
  int64_t file_size_adjust = 0;  // added to the true size in the file header (1086 by default)
  int64_t pixel_bytes = -1;      // -1: exactly what the header needs
};

void put32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}
void put16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value));
  out.push_back(static_cast<char>(value >> 8));
}

uint32_t table_entries(const bmp_shape& s) {
  if (s.colors_used != 0) return s.colors_used;
  return s.bits <= 8 ? 1u << s.bits : 0;
}

int64_t needed_pixel_bytes(const bmp_shape& s) {
  int64_t rows = s.height < 0 ? -int64_t{s.height} : s.height;
  return (int64_t{s.width} * s.bits + 31) / 32 * 4 * rows;
}

// A whole bitmap file as the test case describes; the pixel bytes count up.
std::string make_bmp(const bmp_shape& s) {
  std::string info;
  put32(info, s.header_size);
  put32(info, static_cast<uint32_t>(s.width));
  put32(info, static_cast<uint32_t>(s.height));
  put16(info, s.planes);
  put16(info, s.bits);
  put32(info, s.compression);
  put32(info, 0);
  put32(info, 2834);
  put32(info, 2834);
  put32(info, s.colors_used);
  put32(info, s.colors_used);
  info.resize(s.header_size < 40 ? 40 : s.header_size, '\0');
  uint32_t entries = table_entries(s) > 4096 ? 4096 : table_entries(s);
  std::string body = info + std::string(4 * entries, '\x11');
  int64_t pixels = s.pixel_bytes >= 0 ? s.pixel_bytes : needed_pixel_bytes(s);
  for (int64_t i = 0; i < pixels; ++i) body.push_back(static_cast<char>(i));
  std::string file = "BM";
  put32(file, static_cast<uint32_t>(14 + static_cast<int64_t>(body.size()) + s.file_size_adjust));
  put32(file, 0);
  put32(file, 14 + 40 + 4 * entries);
  return file + body;
}

class UiBitmap : public ::testing::Test {
 protected:
  int load(const std::string& bytes, const void** out) {
    std::string path = dir.path("picture.bmp");
    write_file(path, bytes);
    int status = ui_load_bitmap(nullptr, path.c_str(), out);
    if (status == 0) loaded.push_back(*out);
    return status;
  }
  // The program keeps its one bitmap for its whole life; tests load many.
  ~UiBitmap() override {
    for (const void* block : loaded) os_bitmap_block_free(const_cast<void*>(block));
  }
  scratch_dir dir;
  std::vector<const void*> loaded;
};

ptrdiff_t bits_offset(const void* bitmap) {
  return static_cast<const unsigned char*>(ui_bitmap_bits(bitmap)) - static_cast<const unsigned char*>(bitmap);
}

struct good_case {
  const char* name;
  bmp_shape shape;
  ptrdiff_t offset;
};

TEST_F(UiBitmap, AcceptedBitmapsFindTheirRowsAfterTheColourTable) {
  bmp_shape splash;
  splash.width = 400;
  splash.height = 300;
  splash.colors_used = 250;
  bmp_shape four_bit;
  four_bit.bits = 4;
  bmp_shape true_colour;
  true_colour.bits = 24;
  bmp_shape mono;
  mono.bits = 1;
  bmp_shape top_down;
  top_down.height = -3;
  bmp_shape with_trailing_bytes;
  with_trailing_bytes.pixel_bytes = needed_pixel_bytes(with_trailing_bytes) + 2;
  const std::vector<good_case> cases = {
      {"250 colours used: 250 entries", splash, 1040},
      {"4 bits, colours used 0: 16 entries", four_bit, 40 + 64},
      {"24 bits, colours used 0: no table", true_colour, 40},
      {"1 bit: 2 entries", mono, 48},
      {"8 bits, colours used 0: 256 entries", bmp_shape{}, 40 + 1024},
      {"rows stored top-down", top_down, 40 + 1024},
      {"padding after the rows", with_trailing_bytes, 40 + 1024},
  };
  for (const good_case& c : cases) {
    SCOPED_TRACE(c.name);
    const void* bitmap = nullptr;
    ASSERT_EQ(0, load(make_bmp(c.shape), &bitmap));
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(c.offset, bits_offset(bitmap));
    ui_bitmap_info info = ui_bitmap_read_info(bitmap);
    EXPECT_EQ(c.shape.width, info.width);
    EXPECT_EQ(c.shape.height, info.height);
    EXPECT_EQ(0, static_cast<const unsigned char*>(ui_bitmap_bits(bitmap))[0]) << "the first pixel byte";
  }
}

struct bad_case {
  const char* name;
  std::string bytes;
  int status;
};

std::string with(bmp_shape s, void (*change)(bmp_shape&)) {
  change(s);
  return make_bmp(s);
}

TEST_F(UiBitmap, RefusedFilesLeaveThePointerAlone) {
  std::string no_bm = make_bmp(bmp_shape{});
  no_bm[0] = 'X';
  const std::vector<bad_case> cases = {
      {"empty file", "", ERROR_BITMAP_FILE_SHORT},
      {"shorter than the file header", "BM\x10\0\0\0", ERROR_BITMAP_FILE_SHORT},
      {"no BM", no_bm, ERROR_BITMAP_BAD_FORMAT},
      {"12-byte core header", with({}, [](bmp_shape& s) { s.header_size = 12; }), ERROR_BITMAP_BAD_FORMAT},
      {"108-byte header", with({}, [](bmp_shape& s) { s.header_size = 108; }), ERROR_BITMAP_BAD_FORMAT},
      {"124-byte header", with({}, [](bmp_shape& s) { s.header_size = 124; }), ERROR_BITMAP_BAD_FORMAT},
      {"file size too small for a header", with({}, [](bmp_shape& s) { s.file_size_adjust = 53 - 1086; }), ERROR_BITMAP_BAD_FORMAT},
      {"file size below 14", with({}, [](bmp_shape& s) { s.file_size_adjust = 10 - 1086; }), ERROR_BITMAP_BAD_FORMAT},
      {"file shorter than its size field", with({}, [](bmp_shape& s) { s.file_size_adjust = 100; }), ERROR_BITMAP_FILE_SHORT},
      {"width larger than the rows", with({}, [](bmp_shape& s) { s.width = 100000; s.pixel_bytes = 8; }), ERROR_BITMAP_BAD_FORMAT},
      {"height larger than the rows", with({}, [](bmp_shape& s) { s.height = 0x7fffffff; s.pixel_bytes = 8; }), ERROR_BITMAP_BAD_FORMAT},
      {"most negative height", with({}, [](bmp_shape& s) { s.height = INT32_MIN; s.pixel_bytes = 8; }), ERROR_BITMAP_BAD_FORMAT},
      {"one pixel row short", with({}, [](bmp_shape& s) { s.pixel_bytes = 4; }), ERROR_BITMAP_BAD_FORMAT},
      {"colour table beyond the block", with({}, [](bmp_shape& s) { s.colors_used = 0x40000000; s.pixel_bytes = 8; }), ERROR_BITMAP_BAD_FORMAT},
      {"zero width", with({}, [](bmp_shape& s) { s.width = 0; }), ERROR_BITMAP_BAD_FORMAT},
      {"negative width", with({}, [](bmp_shape& s) { s.width = -4; s.pixel_bytes = 8; }), ERROR_BITMAP_BAD_FORMAT},
      {"zero height", with({}, [](bmp_shape& s) { s.height = 0; }), ERROR_BITMAP_BAD_FORMAT},
      {"7 bits per pixel", with({}, [](bmp_shape& s) { s.bits = 7; s.colors_used = 2; }), ERROR_BITMAP_BAD_FORMAT},
      {"run-length compressed", with({}, [](bmp_shape& s) { s.compression = 1; }), ERROR_BITMAP_BAD_FORMAT},
      {"no planes", with({}, [](bmp_shape& s) { s.planes = 0; }), ERROR_BITMAP_BAD_FORMAT},
  };
  for (const bad_case& c : cases) {
    SCOPED_TRACE(c.name);
    const void* before = &cases;
    const void* bitmap = before;
    EXPECT_EQ(c.status, load(c.bytes, &bitmap));
    EXPECT_EQ(before, bitmap) << "a refused bitmap must not replace the one held";
  }

  const void* bitmap = nullptr;
  EXPECT_EQ(ERROR_BITMAP_NOT_FOUND, ui_load_bitmap(nullptr, dir.path("missing.bmp").c_str(), &bitmap));
  EXPECT_EQ(nullptr, bitmap);
}

TEST_F(UiBitmap, AHugeSizeFieldIsRefusedBeforeAnyBlockIsTaken) {
  const void* bitmap = nullptr;
  // Refused for the file being short, never for a block of nearly 4 GiB that
  // could not be had.
  EXPECT_EQ(ERROR_BITMAP_FILE_SHORT, load(with({}, [](bmp_shape& s) { s.file_size_adjust = 0xF0000000LL; }), &bitmap));
  EXPECT_EQ(nullptr, bitmap);
}

TEST(UiBitmapFile, WhatIsLeftToReadIsCountedFromThePosition) {
  scratch_dir dir;
  write_file(dir.path("ten.bin"), "0123456789");
  os_file file = os_bitmap_file_open(dir.path("ten.bin").c_str());
  ASSERT_NE(-1, file);
  EXPECT_EQ(10u, os_bitmap_file_left(file));
  char first[4];
  ASSERT_EQ(4u, os_bitmap_file_read(file, first, sizeof first));
  EXPECT_EQ(6u, os_bitmap_file_left(file));
  char rest[6];
  EXPECT_EQ(6u, os_bitmap_file_read(file, rest, sizeof rest)) << "asking must not move the position";
  EXPECT_EQ(0, memcmp(rest, "456789", 6));
  EXPECT_EQ(0u, os_bitmap_file_left(file));
  os_bitmap_file_close(file);
}

TEST(UiBitmapBits, OnlyAFortyByteHeaderHasRows) {
  unsigned char header[40] = {};
  EXPECT_EQ(nullptr, ui_bitmap_bits(nullptr));
  for (uint32_t size : {12u, 108u, 124u, 0u}) {
    SCOPED_TRACE(size);
    memcpy(header, &size, 4);
    EXPECT_EQ(nullptr, ui_bitmap_bits(header));
  }
}

TEST(UiCenter, WindowsAreCentredInTheWorkAreasSize) {
  struct center_case {
    int work;
    int window;
    int origin;
  };
  for (const center_case& c : std::vector<center_case>{
           {1024, 400, 312}, {738, 300, 219}, {1124 - 100, 400, 312}, {768, 300, 234}, {801, 400, 200}, {300, 501, -100}}) {
    SCOPED_TRACE(c.work);
    EXPECT_EQ(c.origin, ui_center_origin(c.work, c.window));
  }
}

}  // namespace
