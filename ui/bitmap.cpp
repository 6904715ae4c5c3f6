// Loading the splash bitmap and finding its pixel rows. Every header field
// that decides how many bytes drawing reads is checked against the block
// before a bitmap is handed out.
#include "ui/bitmap.h"

#include "foundation/backend.h"
#include "foundation/little_endian.h"
#include "foundation/pool.h"

namespace {

constexpr uint32_t BI_RGB_COMPRESSION = 0;

uint32_t color_table_entries(const ui_bitmap_info& info) {
  if (info.colors_used != 0) return info.colors_used;
  if (info.bit_count == 1 || info.bit_count == 4 || info.bit_count == 8) return 1u << info.bit_count;
  return 0;
}

// True when the header describes an uncompressed bitmap whose colour table
// and pixel rows all lie inside the size bytes of the block.
bool bitmap_fits(const void* bitmap, uint32_t size) {
  if (size < BITMAP_INFO_HEADER_SIZE) return false;
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  if (info.header_size != BITMAP_INFO_HEADER_SIZE || info.planes != 1) return false;
  if (info.compression != BI_RGB_COMPRESSION) return false;
  switch (info.bit_count) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (info.width <= 0 || info.height == 0) return false;
  int64_t rows = info.height < 0 ? -int64_t{info.height} : int64_t{info.height};
  int64_t row_bytes = (int64_t{info.width} * info.bit_count + 31) / 32 * 4;
  int64_t room = int64_t{size} - BITMAP_INFO_HEADER_SIZE - 4 * int64_t{color_table_entries(info)};
  // Divided, not multiplied: rows times row bytes can pass any 64-bit limit.
  return room >= 0 && rows <= room / row_bytes;
}

int load_bitmap_file(const char* name, const void** out) {
  os_file file = os_bitmap_file_open(name);
  if (file == OS_NO_FILE) return ERROR_BITMAP_NOT_FOUND;

  unsigned char file_header[BITMAP_FILE_HEADER_SIZE];
  if (os_bitmap_file_read(file, file_header, sizeof file_header) < sizeof file_header) {
    os_bitmap_file_close(file);
    return ERROR_BITMAP_FILE_SHORT;
  }
  uint32_t file_size = le_u32(file_header + 2);
  // A size too small for an information header would make the block smaller
  // than the fields read from it.
  if (file_header[0] != 'B' || file_header[1] != 'M' ||
      file_size < BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE) {
    os_bitmap_file_close(file);
    return ERROR_BITMAP_BAD_FORMAT;
  }

  uint32_t size = file_size - BITMAP_FILE_HEADER_SIZE;
  // A size field larger than the file is refused before its block is taken.
  if (os_bitmap_file_left(file) < size) {
    os_bitmap_file_close(file);
    return ERROR_BITMAP_FILE_SHORT;
  }
  void* block = os_bitmap_block_alloc(size);
  if (block == nullptr) {
    os_bitmap_file_close(file);
    return ERROR_SYSTEM_MEMORY;
  }
  uint32_t got = os_bitmap_file_read(file, block, size);
  os_bitmap_file_close(file);

  int status = 0;
  if (got < size)
    status = ERROR_BITMAP_FILE_SHORT;  // zero fill must not pass for pixels
  else if (!bitmap_fits(block, size))
    status = ERROR_BITMAP_BAD_FORMAT;
  if (status != 0) {
    os_bitmap_block_free(block);
    return status;
  }
  *out = block;
  return 0;
}

}  // namespace

ui_bitmap_info ui_bitmap_read_info(const void* bitmap) {
  const unsigned char* p = static_cast<const unsigned char*>(bitmap);
  ui_bitmap_info info;
  info.header_size = le_u32(p);
  info.width = static_cast<int32_t>(le_u32(p + 4));
  info.height = static_cast<int32_t>(le_u32(p + 8));
  info.planes = le_u16(p + 12);
  info.bit_count = le_u16(p + 14);
  info.compression = le_u32(p + 16);
  info.colors_used = le_u32(p + 32);
  return info;
}

const void* ui_bitmap_bits(const void* bitmap) {
  if (bitmap == nullptr) return nullptr;
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  if (info.header_size != BITMAP_INFO_HEADER_SIZE) return nullptr;
  return static_cast<const unsigned char*>(bitmap) + info.header_size + 4 * color_table_entries(info);
}

int ui_load_bitmap(void* module, const char* name, const void** out) {
  if (name == nullptr || out == nullptr) return ERROR_BITMAP_NOT_FOUND;
  const void* data = nullptr;
  uint32_t size = 0;
  int found = os_bitmap_resource_find(module, name, &data, &size);
  if (found < 0) return ERROR_BITMAP_LOAD_FAILED;
  if (found == 0) return load_bitmap_file(name, out);
  if (!bitmap_fits(data, size)) return ERROR_BITMAP_BAD_FORMAT;
  *out = data;
  return 0;
}
