// Fuzz target: any file read as a self-extractor's option block, then used
// the way the extraction run and `qpk info` use it. The block sits in a
// heap block of exactly its size, so a field read past the block's end is a
// sanitizer finding; every text field is taken only within its own size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "archive/layout.h"
#include "archive/locate.h"
#include "archive/option_table.h"
#include "driver/launch.h"
#include "driver/run_state.h"
#include "driver/substitute.h"
#include "foundation/foundation.h"
#include "options/options.h"
#include "tools/qpk/commands.h"

namespace fs = std::filesystem;

namespace {

fs::path input_path;

void remove_input() {
  std::error_code error;
  fs::remove_all(input_path.parent_path(), error);
}

void start() {
  const uint32_t pool_size = 1000000;
  if (foundation_init(&pool_size) < 0) std::abort();
  char folder[] = "/tmp/qpk-fuzz-block-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  input_path = fs::path(folder) / "input.exe";
  std::atexit(remove_input);
  // The longest target path the run can hold, so that expansion is pushed
  // against the command line's size.
  std::memset(g_target_path, 'd', PATH_SIZE - 1);
  g_target_path[PATH_SIZE - 1] = '\0';
}

// A field as the extraction run reads it: up to its zero or its size.
std::string field_text(const option_block& block, const char* word) {
  char text[OPTION_PARAMETER_SIZE];
  option_block_text(block, *option_definition_of(word), text, sizeof text);
  return text;
}

void use_block(const option_block& block) {
  (void)signature_matches(block.signature, OPTION_SIGNATURE);
  const std::string command = field_text(block, "e");
  const std::string name = field_text(block, "name");
  const std::string destination = field_text(block, "destinationdirectory");
  if (name.size() >= sizeof block.name + 1 || destination.size() > sizeof block.destination) std::abort();

  // The command line: the expanded command, then the run's own words.
  auto line = std::make_unique<char[]>(COMMAND_LINE_SIZE);
  if (expand_destination(command.c_str(), line.get(), COMMAND_LINE_SIZE, true) == 0) {
    if (std::strlen(line.get()) >= COMMAND_LINE_SIZE) std::abort();
  } else if (line[0] != '\0') {
    std::fprintf(stderr, "a refused expansion must leave an empty command line\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (start(), true);
  (void)started;
  {
    std::ofstream file(input_path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto block = std::make_unique<option_block>();
  int status = ERROR_FILE_OPEN;
  file_handle file = NO_FILE;
  archive_bounds bounds;
  if (file_open(input_path.c_str(), &file, FILE_MODE_READ) == 0) {
    if (archive_locate(file, &bounds) == 0) status = se_read_options(file, bounds.start, block.get());
    file_close(file);
  }
  if (status == 0 && !signature_matches(block->signature, OPTION_SIGNATURE)) {
    std::fprintf(stderr, "an accepted block must carry the signature\n");
    std::abort();
  }
  use_block(*block);

  std::ostringstream out, err;
  int exit_status = qpk_info(input_path.string(), out, err);
  if (exit_status != 0 && exit_status != 1) std::abort();
  return 0;
}
