// The two file layouts: the archive ("QOR ARCHIVE FORMAT 2.0": a signature
// field, then entries of a 146-byte header and their data) and the
// self-extractor (stub, 324-byte option block, archive, 4-byte trailer with
// the archive's offset). All records are packed little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char ARCHIVE_SIGNATURE[] = "QOR ARCHIVE FORMAT 2.0";
constexpr char OPTION_SIGNATURE[] = "QOR SE ARCHIVE FORMAT 2.0";
constexpr int SIGNATURE_FIELD_SIZE = 32;
constexpr int ENTRY_NAME_SIZE = 128;
constexpr int OPTION_COMMAND_SIZE = 128;
constexpr int OPTION_NAME_SIZE = 32;
constexpr int OPTION_DESTINATION_SIZE = 128;
constexpr int TRAILER_SIZE = 4;

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
