// qpk's usage text. The builder options sfx takes are those whose effect a
// self-extractor's option block keeps, listed from the option table, so a
// new builder option shows here too.
#include "tools/qpk/usage.h"

#include <cstddef>

#include "archive/option_table.h"

namespace {

constexpr char USAGE_HEAD[] =
    "Usage: qpk create [--level N] [--store] [-j N] [--exclude PATTERN]...\n"
    "                  [--allow-case-clash] ARCHIVE PATH...\n"
    "       qpk sfx [--stub FILE | --windows] [--level N] [--store] [-j N]\n"
    "               [--exclude PATTERN]... [--allow-case-clash] [builder options]\n"
    "               ARCHIVE|PATH... OUTPUT\n"
    "       qpk list FILE\n"
    "       qpk test FILE\n"
    "       qpk info FILE\n"
    "       qpk cleanup [--apply]\n"
    "\n"
    "  create  store files and folders (recursively) in a new archive\n"
    "  sfx     make a self-extractor as the builder does: its program, the options,\n"
    "          the archive (first made from the files and folders when not one\n"
    "          archive) and the trailer, written to OUTPUT (replaced if it exists)\n"
    "  list    show the entries of an archive or self-extractor\n"
    "  test    check every entry's data without writing files\n"
    "  info    show a self-extractor's options and archive offset\n"
    "  cleanup list what self-extractors that ended early left to delete\n"
    "\n"
    "  --level N  deflate level, 0 (fastest) to 9 (smallest, the default)\n"
    "  --store    keep every entry's data as it is, without deflating (still in\n"
    "             checked zlib streams, 11 bytes more per 64000-byte block)\n"
    "  -j N       compress on N threads (default: one per core)\n"
    "  --exclude PATTERN\n"
    "             leave out what the pattern matches, and everything under a\n"
    "             folder it matches (may be given again). * ? [...] as in a\n"
    "             shell, never across a folder separator; a pattern without /\n"
    "             matches any one file or folder name, one with / the path\n"
    "             from the top of the archive; case counts\n"
    "  --allow-case-clash\n"
    "             store names that differ only in case, with a warning: for\n"
    "             archives meant for Linux (Windows keeps only one of them)\n"
    "  --stub FILE  (sfx) the builder program to copy; by default the qpk2exe\n"
    "             beside qpk (QPK2EXE.exe on Windows)\n"
    "  --windows  (sfx) the installed 32-bit Windows program,\n"
    "             <qpk's folder>/../share/qpk2exe/windows/QPK2EXE.exe\n"
    "  --apply    (cleanup) delete those paths and their keys\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n";

constexpr char SFX_OPTIONS_START[] = "sfx takes the builder's options with / or - (";
constexpr char SFX_OPTIONS_END[] =
    "), with the builder's checks and limits. One input that holds an archive or is named .qpk is the "
    "archive itself.";

constexpr char USAGE_TAIL[] =
    "\n"
    "list shows times as UTC and attributes as five letters, '-' where one is\n"
    "not set: R read-only, A archive, H hidden, S system, X executable (POSIX),\n"
    "and ends with the totals: bytes, stored bytes and files.\n";

constexpr size_t LINE_WIDTH = 79;

// The text with each space that would take a line past LINE_WIDTH made a
// line break; every line ends in one.
std::string wrapped(const std::string& text) {
  std::string result;
  size_t line_start = 0;
  size_t word_start = 0;
  while (word_start < text.size()) {
    size_t word_end = text.find(' ', word_start);
    if (word_end == std::string::npos) word_end = text.size();
    const bool first = word_start == line_start;
    if (!first && word_end - line_start > LINE_WIDTH) {
      result += '\n';
      line_start = word_start;
    } else if (!first) {
      result += ' ';
    }
    result.append(text, word_start, word_end - word_start);
    word_start = word_end + 1;
  }
  return result + '\n';
}

std::string sfx_options() {
  std::string text = SFX_OPTIONS_START;
  const char* separator = "";
  for (const option_definition& option : OPTION_DEFINITIONS) {
    if (option.flag == 0 && option.field_size == 0) continue;  // acts on the build alone
    text.append(separator).append("/").append(option.word);
    if (option.parameter_name != nullptr) text.append(" ").append(option.parameter_name);
    separator = " ";
  }
  return wrapped(text + SFX_OPTIONS_END);
}

}  // namespace

std::string qpk_usage() { return USAGE_HEAD + sfx_options() + USAGE_TAIL; }
