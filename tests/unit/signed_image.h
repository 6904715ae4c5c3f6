// Crafted PE images for the tests of signed programs: the fewest headers a
// reader of the image's end needs, one section, and a certificate table
// appended the way a signer does (zero alignment, then the table, named by
// the security directory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline void store_le(std::string& bytes, size_t offset, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr size_t CRAFTED_PE_HEADER = 0x40;
constexpr size_t CRAFTED_SECTION_START = 0x200;

inline size_t crafted_optional_size(bool wide) { return wide ? 240 : 224; }
// The file offsets of the checksum (the same in both forms) and of the
// security directory's entry (offset, size).
constexpr size_t CRAFTED_CHECKSUM = CRAFTED_PE_HEADER + 24 + 64;
inline size_t crafted_security_entry(bool wide) { return CRAFTED_PE_HEADER + 24 + (wide ? 112 : 96) + 4 * 8; }

// A PE32 (or PE32+, wide) image whose one section's raw data ends the image
// at image_end, past the headers.
inline std::string crafted_pe(bool wide, size_t image_end) {
  std::string bytes(image_end, '\0');
  bytes.replace(0, 2, "MZ");
  store_le(bytes, 0x3C, CRAFTED_PE_HEADER, 4);
  bytes.replace(CRAFTED_PE_HEADER, 4, std::string("PE\0\0", 4));
  store_le(bytes, CRAFTED_PE_HEADER + 6, 1, 2);  // sections
  store_le(bytes, CRAFTED_PE_HEADER + 20, static_cast<uint32_t>(crafted_optional_size(wide)), 2);
  const size_t optional = CRAFTED_PE_HEADER + 24;
  store_le(bytes, optional, wide ? 0x20B : 0x10B, 2);
  store_le(bytes, optional + (wide ? 108 : 92), 16, 4);  // data directories
  const size_t section = optional + crafted_optional_size(wide);
  bytes.replace(section, 5, ".text");
  store_le(bytes, section + 16, static_cast<uint32_t>(image_end - CRAFTED_SECTION_START), 4);
  store_le(bytes, section + 20, CRAFTED_SECTION_START, 4);
  return bytes;
}

// Appends padding zero bytes and a certificate table of table_size bytes,
// names the table in the security directory (as given, when offset or size
// is passed, to craft hostile entries) and sets a checksum.
inline std::string append_certificate(std::string bytes, bool wide, size_t padding, uint32_t table_size = 64,
                                      const uint32_t* offset = nullptr, const uint32_t* size = nullptr) {
  bytes.append(padding, '\0');
  const uint32_t table = static_cast<uint32_t>(bytes.size());
  std::string certificate(table_size, '\0');
  store_le(certificate, 0, table_size, 4);  // the table's own length
  store_le(certificate, 4, 0x0200, 2);      // revision
  store_le(certificate, 6, 0x0002, 2);      // a PKCS #7 signature
  bytes += certificate;
  store_le(bytes, CRAFTED_CHECKSUM, 0x5EED, 4);
  store_le(bytes, crafted_security_entry(wide), offset != nullptr ? *offset : table, 4);
  store_le(bytes, crafted_security_entry(wide) + 4, size != nullptr ? *size : table_size, 4);
  return bytes;
}
