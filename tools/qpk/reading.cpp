// Opening an archive for the reading commands, and showing its texts.
#include "tools/qpk/reading.h"

#include <cstdio>

#include "archive/layout.h"

namespace {

const char* open_problem(int status) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_FILE_OPEN: return "cannot open the file";
    case ERROR_ARCHIVE_SIGNATURE: return "not an archive or self-extractor";
    case ERROR_FILE_END: return "not an archive or self-extractor (the archive it points at is cut short)";
    default: return "cannot read the file";
  }
}

}  // namespace

bool open_archive(const std::string& file, opened_archive* opened, std::ostream& err) {
  int status = archive_file_open(&opened->archive, file.c_str());
  if (status == 0) return true;
  err << "qpk: " << file << ": " << open_problem(status) << '\n';
  return false;
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
