// The two file layouts: the archive ("QOR ARCHIVE FORMAT 2.0": a signature
// field, then entries of a 146-byte header and their data) and the
// self-extractor (stub, 324-byte option block, archive, 4-byte trailer with
// the archive's offset). All records are packed little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/file.h"

constexpr char ARCHIVE_SIGNATURE[] = "QOR ARCHIVE FORMAT 2.0";
constexpr char OPTION_SIGNATURE[] = "QOR SE ARCHIVE FORMAT 2.0";
constexpr int SIGNATURE_FIELD_SIZE = 32;
constexpr int ENTRY_NAME_SIZE = 128;
constexpr int OPTION_COMMAND_SIZE = 128;
constexpr int OPTION_NAME_SIZE = 32;
constexpr int OPTION_DESTINATION_SIZE = 128;
constexpr int TRAILER_SIZE = 4;
constexpr uint32_t COPY_BUFFER_SIZE = 65520;

constexpr int ERROR_ARCHIVE_SIGNATURE = -301;
// The option block before a self-extractor's archive is missing or not signed.
constexpr int ERROR_OPTION_BLOCK = -8001;
// An entry's data runs past the archive's end, bytes too few for a header
// follow the last entry, or the data is cut short or damaged.
constexpr int ERROR_ENTRY_DATA = -310;

constexpr uint16_t METHOD_DEFLATED = 1;
constexpr uint16_t METHOD_STORED = 2;

constexpr uint32_t ENTRY_ATTR_READONLY = 0x02;
constexpr uint32_t ENTRY_ATTR_ARCHIVE = 0x04;
constexpr uint32_t ENTRY_ATTR_HIDDEN = 0x08;
constexpr uint32_t ENTRY_ATTR_SYSTEM = 0x10;
// Not read by Win32 extractors: the owner-execute permission of a POSIX file,
// so that scripts archived on POSIX stay runnable when extracted there.
constexpr uint32_t ENTRY_ATTR_EXECUTE = 0x100;
// Not read by Win32 extractors either: group or others could not read the
// POSIX file (or a folder it was stored from), so only its owner may.
constexpr uint32_t ENTRY_ATTR_PRIVATE = 0x200;

constexpr uint32_t SEF_USE_PATHS = 0x001;
constexpr uint32_t SEF_SILENT = 0x002;
constexpr uint32_t SEF_QUIET = 0x004;
constexpr uint32_t SEF_AUTO_YES = 0x008;
constexpr uint32_t SEF_AUTO_NO = 0x010;
constexpr uint32_t SEF_DELETE_AFTER = 0x020;
constexpr uint32_t SEF_NO_SPLASH = 0x040;
constexpr uint32_t SEF_NO_STATUS = 0x080;
constexpr uint32_t SEF_FORCE_DELETE_PROMPT = 0x100;

#pragma pack(push, 1)
struct entry_header {
  char name[ENTRY_NAME_SIZE];
  uint16_t dos_date;
  uint16_t dos_time;
  uint16_t method;
  uint32_t content_size;
  uint32_t stored_size;
  uint32_t attributes;
};
struct option_block {
  char signature[SIGNATURE_FIELD_SIZE];
  uint32_t flags;
  char command[OPTION_COMMAND_SIZE];
  char name[OPTION_NAME_SIZE];
  char destination[OPTION_DESTINATION_SIZE];
};
#pragma pack(pop)

static_assert(sizeof(entry_header) == 146);
static_assert(offsetof(entry_header, dos_date) == 128);
static_assert(offsetof(entry_header, method) == 132);
static_assert(offsetof(entry_header, content_size) == 134);
static_assert(offsetof(entry_header, stored_size) == 138);
static_assert(offsetof(entry_header, attributes) == 142);
static_assert(sizeof(option_block) == 324);
static_assert(offsetof(option_block, flags) == 32);
static_assert(offsetof(option_block, command) == 36);
static_assert(offsetof(option_block, name) == 164);
static_assert(offsetof(option_block, destination) == 196);

// True when the 32 bytes match the signature up to and including its zero.
bool signature_matches(const char* field, const char* signature);

// Where a file's archive lies: its signature field at start, its entries
// ending at end (the trailer's position, or the end of a plain archive).
struct archive_bounds {
  uint32_t start = 0;
  uint32_t end = 0;
};
// A plain archive carries the signature at offset 0; otherwise the file's last
// 4 bytes give the offset of an attached archive, or in a signed PE file (its
// security directory names a certificate table that ends the file) the 4
// bytes before that table and its zero alignment. 0; ERROR_FILE_END when the
// signature field at the located offset cannot be read whole before the end
// (or the file is too short for one); ERROR_ARCHIVE_SIGNATURE when the bytes
// there are not the signature. Moves the file's position.
int archive_locate(file_handle file, archive_bounds* bounds);
// Reads the 324 bytes before the archive at start into block (zero where
// there is no room for them). 0, or ERROR_OPTION_BLOCK when there is no
// block, it cannot be read or its signature does not match.
int se_read_options(file_handle file, uint32_t start, option_block* block);

// The steps that make a self-extractor, each on the open output file and each
// appending at its end: the option block, the archive file whole, the
// trailer with the archive's offset (which also stamps the current time).
int se_write_options(file_handle exe, const option_block* block);
// The file's length: after the option block, the archive's offset. 0 when it
// cannot be told.
uint32_t se_measure(file_handle file);
int se_append_archive(file_handle archive, file_handle exe);
int se_fix(file_handle exe, uint32_t archive_offset);

// Copies count bytes from the source's position to the target's. A source
// that ends early gives ERROR_FILE_END, a short write ERROR_FILE_WRITE.
int copy_bytes(file_handle source, file_handle target, uint32_t count);
