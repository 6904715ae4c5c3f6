// The bounded archive walk shared by list, test and info.
#include "tools/qpk/archive_reader.h"

#include <cstdio>
#include <cstring>

#include "foundation/file.h"

archive_reader::~archive_reader() {
  if (file_ != NO_FILE) file_close(file_);
}

std::string archive_reader::open(const std::string& path) {
  if (file_open(path.c_str(), &file_, FILE_MODE_READ) < 0) {
    file_ = NO_FILE;
    return "cannot open the file";
  }
  int size = 0;
  if (file_size(file_, &size) < 0 || size < 0) return "cannot read the file's size";
  archive_seek_start(file_);
  int position = 0;
  char signature[SIGNATURE_FIELD_SIZE];
  int done = 0;
  if (file_tell(file_, &position) < 0 || position < 0 ||
      file_read(file_, signature, sizeof signature, &done) < 0 || done != sizeof signature ||
      !signature_matches(signature, ARCHIVE_SIGNATURE)) {
    return "not an archive or self-extractor";
  }
  offset_ = static_cast<uint32_t>(position);
  // A self-extractor's entries end where its 4-byte trailer begins.
  uint32_t end = static_cast<uint32_t>(size);
  if (offset_ > 0) end -= TRAILER_SIZE;
  if (end < offset_ + SIGNATURE_FIELD_SIZE) return "the archive overlaps the self-extractor's trailer";
  end_ = end;
  next_ = offset_ + SIGNATURE_FIELD_SIZE;
  return "";
}

archive_reader::step archive_reader::next(entry_header* header, uint32_t* data_at, std::string* problem) {
  uint32_t left = end_ - next_;
  if (left == 0) return END;
  if (left < sizeof(entry_header)) {
    *problem = std::to_string(left) + " stray bytes after the last entry";
    return DAMAGED;
  }
  int done = 0;
  if (file_seek(file_, static_cast<int32_t>(next_), FILE_SEEK_SET) < 0 ||
      file_read(file_, header, sizeof *header, &done) < 0 || done != sizeof *header) {
    *problem = "cannot read an entry header";
    return DAMAGED;
  }
  if (std::memchr(header->name, 0, sizeof header->name) == nullptr) {
    *problem = "an entry name has no terminating zero";
    return DAMAGED;
  }
  *data_at = next_ + sizeof(entry_header);
  if (header->stored_size > end_ - *data_at) {
    *problem = "the data of \"" + printable_field(header->name, sizeof header->name) +
               "\" reaches past the end of the archive";
    return DAMAGED;
  }
  next_ = *data_at + header->stored_size;
  return ENTRY;
}

std::string printable_field(const char* field, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && field[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(field[i]);
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      text += escape;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}
