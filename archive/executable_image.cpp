// Reading the PE and ELF headers far enough to find where the image ends.
// Every offset comes from the file, so each is checked against the file's
// size before it is read, and tables are read whole into bounded buffers.
#include "archive/executable_image.h"

#include <algorithm>
#include <cstring>

#include "archive/layout.h"
#include "foundation/little_endian.h"

namespace {

// Larger section tables than this are no program this project builds.
constexpr uint32_t TABLE_LIMIT = 64 * 1024;
constexpr uint32_t PE_SECTION_SIZE = 40;
constexpr uint32_t PE_SYMBOL_SIZE = 18;
constexpr uint32_t PE_SECURITY_DIRECTORY = 4;
constexpr uint32_t PE_CHECKSUM_FIELD = 64;  // in the optional header, in both forms
constexpr uint32_t PE32_MAGIC = 0x10B;
constexpr uint32_t PE32_PLUS_MAGIC = 0x20B;
constexpr uint32_t ELF_SHT_NOBITS = 8;

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

// The DOS and PE headers: where the PE header lies and what it says. The
// optional header is read as far as the longest one reaches.
struct pe_headers {
  uint32_t pe = 0;
  uint8_t header[24 + 240] = {};  // signature, file header, optional header
  uint32_t optional_size = 0;     // as the file header gives it
};

bool pe_read_headers(const image_reader& image, pe_headers* out) {
  uint8_t dos[64];
  if (!image.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  out->pe = le_u32(dos + 0x3C);
  if (!image.read(out->pe, out->header, 24) || memcmp(out->header, "PE\0\0", 4) != 0) return false;
  out->optional_size = le_u16(out->header + 20);
  // An optional header cut short by the file's end is read as none.
  const uint32_t readable = std::min<uint32_t>(out->optional_size, sizeof out->header - 24);
  if (!image.read(uint64_t{out->pe} + 24, out->header + 24, readable)) memset(out->header + 24, 0, readable);
  return true;
}

bool pe_security(const pe_headers& headers, pe_security_directory* out) {
  const uint8_t* optional = headers.header + 24;
  const uint32_t magic = headers.optional_size >= 2 ? le_u16(optional) : 0;
  if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC) return false;
  // The directory count and the directories follow the fixed fields, which
  // are longer in the 64-bit form.
  const uint32_t count_field = magic == PE32_PLUS_MAGIC ? 108 : 92;
  const uint32_t entry = count_field + 4 + PE_SECURITY_DIRECTORY * PE_DIRECTORY_ENTRY_SIZE;
  if (headers.optional_size < entry + PE_DIRECTORY_ENTRY_SIZE ||
      le_u32(optional + count_field) <= PE_SECURITY_DIRECTORY)
    return false;
  out->checksum = headers.pe + 24 + PE_CHECKSUM_FIELD;
  out->entry = headers.pe + 24 + entry;
  out->offset = le_u32(optional + entry);
  out->size = le_u32(optional + entry + 4);
  return true;
}

bool pe_end(const image_reader& image, bool with_certificate, uint64_t* end) {
  pe_headers headers;
  if (!pe_read_headers(image, &headers)) return false;
  const uint8_t* header = headers.header;
  const uint32_t sections = le_u16(header + 6);
  const uint32_t symbol_table = le_u32(header + 12);
  const uint32_t symbols = le_u32(header + 16);
  const uint64_t table = uint64_t{headers.pe} + 24 + headers.optional_size;
  if (sections * PE_SECTION_SIZE > TABLE_LIMIT) return false;
  uint8_t rows[TABLE_LIMIT];
  if (!image.read(table, rows, sections * PE_SECTION_SIZE)) return false;
  uint64_t last = table + sections * PE_SECTION_SIZE;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint8_t* row = rows + i * PE_SECTION_SIZE;
    if (le_u32(row + 16) > 0) last = std::max(last, uint64_t{le_u32(row + 20)} + le_u32(row + 16));
  }
  // An image that was not stripped keeps its symbols and their names after
  // the sections; the names' table begins with its own length.
  if (symbol_table != 0) {
    uint64_t names = uint64_t{symbol_table} + uint64_t{symbols} * PE_SYMBOL_SIZE;
    uint8_t length[4];
    last = std::max(last, image.read(names, length, 4) ? names + le_u32(length) : names);
  }
  // A signature's certificate table follows the image after its alignment;
  // one further away has something appended to the image before it.
  pe_security_directory security;
  if (with_certificate && pe_security(headers, &security) && security.offset != 0 && security.size != 0 &&
      security.offset <= last + CERTIFICATE_ALIGNMENT_LIMIT)
    last = std::max(last, uint64_t{security.offset} + security.size);
  *end = last;
  return true;
}

bool elf_end(const image_reader& image, uint64_t* end) {
  uint8_t header[64];
  if (!image.read(0, header, 52) || memcmp(header, "\x7F" "ELF", 4) != 0 || header[5] != 1) return false;
  const bool wide = header[4] == 2;
  if (wide && !image.read(0, header, 64)) return false;
  const uint64_t table = wide ? le_u64(header + 0x28) : le_u32(header + 0x20);
  const uint32_t entry_size = le_u16(header + (wide ? 0x3A : 0x2E));
  const uint32_t entries = le_u16(header + (wide ? 0x3C : 0x30));
  if (entry_size < (wide ? 64u : 40u) || entries * entry_size > TABLE_LIMIT) return false;
  uint8_t rows[TABLE_LIMIT];
  if (!image.read(table, rows, entries * entry_size)) return false;
  uint64_t last = table + uint64_t{entries} * entry_size;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* row = rows + i * entry_size;
    if (le_u32(row + 4) == ELF_SHT_NOBITS) continue;
    const uint64_t offset = wide ? le_u64(row + 0x18) : le_u32(row + 0x10);
    const uint64_t length = wide ? le_u64(row + 0x20) : le_u32(row + 0x14);
    last = std::max(last, offset + length);
  }
  *end = last;
  return true;
}

int image_end(file_handle file, bool with_certificate, uint32_t* end) {
  int size = 0;
  file_size(file, &size);
  if (size < 0) return ERROR_ARCHIVE_SIGNATURE;
  const image_reader image{file, static_cast<uint64_t>(size)};
  uint64_t last = 0;
  if (!pe_end(image, with_certificate, &last) && !elf_end(image, &last)) return ERROR_ARCHIVE_SIGNATURE;
  *end = static_cast<uint32_t>(std::min<uint64_t>(last, static_cast<uint64_t>(size)));
  return 0;
}

}  // namespace

int pe_security_find(file_handle file, pe_security_directory* directory) {
  int size = 0;
  file_size(file, &size);
  if (size < 0) return ERROR_ARCHIVE_SIGNATURE;
  pe_headers headers;
  const image_reader image{file, static_cast<uint64_t>(size)};
  return pe_read_headers(image, &headers) && pe_security(headers, directory) ? 0 : ERROR_ARCHIVE_SIGNATURE;
}

int executable_image_end(file_handle file, uint32_t* end) { return image_end(file, true, end); }

int executable_image_unsigned_end(file_handle file, uint32_t* end) { return image_end(file, false, end); }

int executable_bytes_past_image(file_handle file, uint32_t* count) {
  int size = 0;
  int status = file_size(file, &size);
  if (status == 0 && size < 0) status = ERROR_ARCHIVE_SIGNATURE;  // a size the file layer cannot give
  uint32_t end = 0;
  if (status == 0) status = executable_image_end(file, &end);
  if (status != 0) return status;
  *count = static_cast<uint32_t>(size) > end ? static_cast<uint32_t>(size) - end : 0;
  return 0;
}
