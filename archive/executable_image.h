// Where a program file's own image ends, from its headers: a PE file at the
// end of its last section's raw data (or its symbol table, or a certificate
// table), an ELF file at the end of its section header table or of its last
// section. Bytes past that end are something appended to the program, such
// as a self-extractor's archive.
#pragma once

#include <cstdint>

#include "foundation/file.h"

// A signer pads the file with up to this many zero bytes before it appends
// the certificate table, which starts on an 8-byte boundary.
constexpr uint32_t CERTIFICATE_ALIGNMENT_LIMIT = 7;
constexpr uint32_t PE_DIRECTORY_ENTRY_SIZE = 8;
constexpr uint32_t PE_CHECKSUM_SIZE = 4;

// A PE file's security directory: where its entry lies in the header and the
// certificate table it names, and where the header's checksum lies, which a
// signer sets. The table's offset is a file offset.
struct pe_security_directory {
  uint32_t checksum = 0;  // file offset of the checksum
  uint32_t entry = 0;     // file offset of the directory entry
  uint32_t offset = 0;    // the certificate table's file offset; 0 when none
  uint32_t size = 0;      // the table's size; 0 when none
};
// 0 and *directory set (offset and size as the header gives them, unchecked);
// ERROR_ARCHIVE_SIGNATURE (layout.h) when the file is no PE image with a
// security directory. Moves the file's position.
int pe_security_find(file_handle file, pe_security_directory* directory);

// 0 and *end set; ERROR_ARCHIVE_SIGNATURE when the file is neither a PE nor
// an ELF file, or its headers cannot be read. A certificate table counts as
// part of the image, with its alignment, when it follows the image directly;
// bytes between the image and the table were appended before signing and are
// past the end. Moves the file's position.
int executable_image_end(file_handle file, uint32_t* end);
// The same end with no certificate table counted: where the image ended
// before it was signed.
int executable_image_unsigned_end(file_handle file, uint32_t* end);

// How many bytes follow the program's image, as executable_image_end draws
// it: 0 when nothing is appended. 0 and *count set; ERROR_ARCHIVE_SIGNATURE
// when the file is no PE or ELF file or its size cannot be had. Moves the
// file's position.
int executable_bytes_past_image(file_handle file, uint32_t* count);
