// The info command: a self-extractor's option block and archive offset.
#include <cstdio>
#include <cstring>

#include "tools/qpk/archive_reader.h"
#include "tools/qpk/commands.h"

namespace {

struct flag_name {
  uint32_t bit;
  const char* name;
};
constexpr flag_name FLAG_NAMES[] = {
    {SEF_USE_PATHS, "use-paths"},         {SEF_SILENT, "silent"},           {SEF_QUIET, "quiet"},
    {SEF_AUTO_YES, "auto-yes"},           {SEF_AUTO_NO, "auto-no"},         {SEF_DELETE_AFTER, "delete-after"},
    {SEF_NO_SPLASH, "no-splash"},         {SEF_NO_STATUS, "no-status"},
    {SEF_FORCE_DELETE_PROMPT, "force-delete-prompt"},
};

std::string flags_text(uint32_t flags) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%03lX", static_cast<unsigned long>(flags));
  std::string result = text;
  uint32_t known = 0;
  for (const flag_name& flag : FLAG_NAMES) {
    known |= flag.bit;
    if (flags & flag.bit) {
      result += ' ';
      result += flag.name;
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
std::string field_text(const char* field, size_t size) {
  std::string text = "\"";
  text += printable_field(field, size);
  text += '"';
  if (std::memchr(field, 0, size) == nullptr) text += " (no terminating zero)";
  return text;
}

}  // namespace

int qpk_info(const std::string& file, std::ostream& out, std::ostream& err) {
  uint32_t offset = 0;
  {
    archive_reader reader;
    std::string problem = reader.open(file);
    if (!problem.empty()) {
      err << "qpk: " << file << ": " << problem << '\n';
      return 1;
    }
    offset = reader.offset();
  }
  if (offset == 0) {
    err << "qpk: " << file << ": a plain archive, not a self-extractor\n";
    return 1;
  }
  option_block block;
  int status = se_read_options(file.c_str(), &block);
  if (status == ERROR_OPTION_BLOCK) {
    err << "qpk: " << file << ": not a self-extractor: the option block before the archive is missing or damaged\n";
    return 1;
  }
  if (status < 0) {
    err << "qpk: " << file << ": cannot read the option block (status " << status << ")\n";
    return 1;
  }
  out << "Archive offset: " << offset << '\n'
      << "Flags:          " << flags_text(block.flags) << '\n'
      << "Command:        " << field_text(block.command, sizeof block.command) << '\n'
      << "Name:           " << field_text(block.name, sizeof block.name) << '\n'
      << "Destination:    " << field_text(block.destination, sizeof block.destination) << '\n';
  return 0;
}
