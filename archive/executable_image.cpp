// Reading the PE and ELF headers far enough to find where the image ends.
// Every offset comes from the file, so each is checked against the file's
// size before it is read, and tables are read whole into bounded buffers.
#include "archive/executable_image.h"

#include <algorithm>
#include <cstring>

#include "archive/layout.h"

namespace {

// Larger section tables than this are no program this project builds.
constexpr uint32_t TABLE_LIMIT = 64 * 1024;
constexpr uint32_t PE_SECTION_SIZE = 40;
constexpr uint32_t PE_SYMBOL_SIZE = 18;
constexpr uint32_t PE_SECURITY_DIRECTORY = 4;
constexpr uint32_t ELF_SHT_NOBITS = 8;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return u16(p) | static_cast<uint32_t>(u16(p + 2)) << 16; }
uint64_t u64(const uint8_t* p) { return u32(p) | static_cast<uint64_t>(u32(p + 4)) << 32; }

struct image_reader {
  file_handle file;
  uint64_t size;  // the file's size
  // Reads count bytes at offset into out; false when they are not all there.
  bool read(uint64_t offset, void* out, uint32_t count) const {
    // Compared with what is left rather than added, which could wrap.
    return offset <= size && count <= size - offset &&
           file_seek(file, static_cast<int32_t>(offset), FILE_SEEK_SET) == 0 &&
           file_read(file, out, static_cast<int>(count), nullptr) == 0;
  }
};

bool pe_end(const image_reader& image, uint64_t* end) {
  uint8_t dos[64];
  if (!image.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint32_t pe = u32(dos + 0x3C);
  uint8_t header[24 + 240];  // signature, file header and the longest optional header
  if (!image.read(pe, header, 24) || memcmp(header, "PE\0\0", 4) != 0) return false;
  const uint32_t sections = u16(header + 6);
  const uint32_t symbol_table = u32(header + 12);
  const uint32_t symbols = u32(header + 16);
  const uint32_t optional_size = u16(header + 20);
  const uint64_t table = uint64_t{pe} + 24 + optional_size;
  if (sections * PE_SECTION_SIZE > TABLE_LIMIT) return false;
  uint8_t rows[TABLE_LIMIT];
  if (!image.read(table, rows, sections * PE_SECTION_SIZE)) return false;
  uint64_t last = table + sections * PE_SECTION_SIZE;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint8_t* row = rows + i * PE_SECTION_SIZE;
    if (u32(row + 16) > 0) last = std::max(last, uint64_t{u32(row + 20)} + u32(row + 16));
  }
  // An image that was not stripped keeps its symbols and their names after
  // the sections; the names' table begins with its own length.
  if (symbol_table != 0) {
    uint64_t names = uint64_t{symbol_table} + uint64_t{symbols} * PE_SYMBOL_SIZE;
    uint8_t length[4];
    last = std::max(last, image.read(names, length, 4) ? names + u32(length) : names);
  }
  // A signature's certificate table lies past the sections, at the file
  // offset the security directory gives.
  const uint32_t magic = optional_size >= 2 && image.read(pe + 24, header + 24, std::min(optional_size, 240u))
                             ? u16(header + 24)
                             : 0;
  const uint32_t directories = magic == 0x20B ? 112 : 96;
  const uint32_t security = directories + PE_SECURITY_DIRECTORY * 8;
  if ((magic == 0x10B || magic == 0x20B) && optional_size >= security + 8) {
    const uint32_t offset = u32(header + 24 + security), length = u32(header + 24 + security + 4);
    if (offset != 0 && length != 0) last = std::max(last, uint64_t{offset} + length);
  }
  *end = last;
  return true;
}

bool elf_end(const image_reader& image, uint64_t* end) {
  uint8_t header[64];
  if (!image.read(0, header, 52) || memcmp(header, "\x7F" "ELF", 4) != 0 || header[5] != 1) return false;
  const bool wide = header[4] == 2;
  if (wide && !image.read(0, header, 64)) return false;
  const uint64_t table = wide ? u64(header + 0x28) : u32(header + 0x20);
  const uint32_t entry_size = u16(header + (wide ? 0x3A : 0x2E));
  const uint32_t entries = u16(header + (wide ? 0x3C : 0x30));
  if (entry_size < (wide ? 64u : 40u) || entries * entry_size > TABLE_LIMIT) return false;
  uint8_t rows[TABLE_LIMIT];
  if (!image.read(table, rows, entries * entry_size)) return false;
  uint64_t last = table + uint64_t{entries} * entry_size;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* row = rows + i * entry_size;
    if (u32(row + 4) == ELF_SHT_NOBITS) continue;
    const uint64_t offset = wide ? u64(row + 0x18) : u32(row + 0x10);
    const uint64_t length = wide ? u64(row + 0x20) : u32(row + 0x14);
    last = std::max(last, offset + length);
  }
  *end = last;
  return true;
}

}  // namespace

int executable_image_end(file_handle file, uint32_t* end) {
  int size = 0;
  file_size(file, &size);
  if (size < 0) return ERROR_ARCHIVE_SIGNATURE;
  const image_reader image{file, static_cast<uint64_t>(size)};
  uint64_t last = 0;
  if (!pe_end(image, &last) && !elf_end(image, &last)) return ERROR_ARCHIVE_SIGNATURE;
  *end = static_cast<uint32_t>(std::min<uint64_t>(last, static_cast<uint64_t>(size)));
  return 0;
}
