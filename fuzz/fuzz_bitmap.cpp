// Fuzz target: any file loaded as the splash bitmap, then everything drawing
// reads (information header, colour table, pixel rows) read byte by byte. A
// file's contents live in a block of exactly the size its header gives, so a
// bitmap that would make drawing read past its block is a sanitizer finding;
// the bounds are also checked directly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "foundation/backend.h"
#include "ui/bitmap.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t DECLARED_SIZE_SLACK = 1 << 20;

fs::path input_path;

void remove_input() {
  std::error_code error;
  fs::remove_all(input_path.parent_path(), error);
}

void start() {
  char folder[] = "/tmp/qpk-fuzz-bitmap-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  input_path = fs::path(folder) / "splash.bmp";
  std::atexit(remove_input);
}

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The bytes drawing reads from the start of the bitmap: up to the end of the
// last pixel row.
uint64_t drawn_extent(const void* bitmap, const void* bits) {
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  uint64_t rows = info.height < 0 ? uint64_t(-int64_t{info.height}) : uint64_t(info.height);
  uint64_t row_bytes = (uint64_t(uint32_t(info.width)) * info.bit_count + 31) / 32 * 4;
  uint64_t offset = uint64_t(static_cast<const unsigned char*>(bits) - static_cast<const unsigned char*>(bitmap));
  return offset + rows * row_bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (start(), true);
  (void)started;
  // The loader allocates the size the file header declares before reading
  // (a short read is then refused). Declared sizes far beyond the input only
  // measure the allocator, so they are left out here.
  if (size >= BITMAP_FILE_HEADER_SIZE) {
    uint32_t declared;
    std::memcpy(&declared, data + 2, sizeof declared);
    if (declared > size + DECLARED_SIZE_SLACK) return 0;
  }
  {
    std::ofstream file(input_path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const void* bitmap = nullptr;
  int status = ui_load_bitmap(nullptr, input_path.c_str(), &bitmap);
  if (status != 0) {
    if (bitmap != nullptr) fail("a refused bitmap must leave the pointer unchanged");
    return 0;
  }
  if (bitmap == nullptr) fail("an accepted bitmap without a pointer");
  // An accepted file has at least its headers; the block holds the file
  // size field's count less the file header.
  uint32_t file_size;
  std::memcpy(&file_size, data + 2, sizeof file_size);
  const uint64_t block_size = file_size - BITMAP_FILE_HEADER_SIZE;

  const void* bits = ui_bitmap_bits(bitmap);
  if (bits == nullptr) fail("an accepted bitmap has no pixel rows");
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  if (info.width <= 0 || info.height == 0) fail("drawing an empty bitmap");
  if (drawn_extent(bitmap, bits) > block_size) fail("drawing would read past the bitmap's block");

  // Read it all, as StretchDIBits would.
  const unsigned char* bytes = static_cast<const unsigned char*>(bitmap);
  unsigned sum = 0;
  for (uint64_t i = 0, end = drawn_extent(bitmap, bits); i < end; ++i) sum += bytes[i];
  if (sum == 0xFFFFFFFFu) std::printf(" ");  // keeps the reads
  os_bitmap_block_free(const_cast<void*>(bitmap));
  return 0;
}
