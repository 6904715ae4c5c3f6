// The info command: a self-extractor's option block and archive offset.
#include <cstdio>
#include <cstring>

#include "archive/option_table.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/reading.h"

namespace {

std::string flags_text(uint32_t flags) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%03lX", static_cast<unsigned long>(flags));
  std::string result = text;
  uint32_t known = 0;
  for (const option_definition& option : OPTION_DEFINITIONS) {
    known |= option.flag;
    if (option.flag != 0 && (flags & option.flag) != 0) {
      result += ' ';
      result += option.shown_as;
    }
  }
  if (flags & ~known) {
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(flags & ~known));
    result += " unknown ";
    result += text;
  }
  return result;
}

// A text field shown as far as its zero, marked when the zero is missing.
std::string field_text(const option_block& block, const option_definition& option) {
  const char* field = reinterpret_cast<const char*>(&block) + option.field_offset;
  std::string text = "\"";
  text += printable_field(field, option.field_size);
  text += '"';
  if (std::memchr(field, 0, option.field_size) == nullptr) text += " (no terminating zero)";
  return text;
}

}  // namespace

int qpk_info(const std::string& file, std::ostream& out, std::ostream& err) {
  opened_archive opened;
  if (!open_archive(file, &opened, err)) return 1;
  const archive_file& archive = opened.archive;
  if (archive.start == 0) {
    err << "qpk: " << file << ": a plain archive, not a self-extractor\n";
    return 1;
  }
  option_block block;
  if (se_read_options(archive.file, archive.start, &block) != 0) {
    err << "qpk: " << file << ": not a self-extractor: the option block before the archive is missing or damaged\n";
    return 1;
  }
  out << "Archive offset: " << archive.start << '\n' << "Flags:          " << flags_text(block.flags) << '\n';
  for (const option_definition& option : OPTION_DEFINITIONS) {
    if (option.field_size == 0) continue;
    std::string label = std::string(option.shown_as) + ":";
    label.resize(16, ' ');
    out << label << field_text(block, option) << '\n';
  }
  return 0;
}
