// Fuzz target: any file, opened as an archive and extracted with and without
// its paths into a scratch folder, on one thread and on four. Besides the
// sanitizers' findings, a file written anywhere outside the scratch folder is
// a crash.
//
// The scratch folder sits eight levels below a private base folder, so that
// names climbing out with ".." land in a folder that is checked after every
// input: each level must still hold exactly its one child.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "archive/access.h"
#include "archive/extract.h"
#include "foundation/foundation.h"

namespace fs = std::filesystem;

namespace {

constexpr int DEPTH = 8;

fs::path scratch_base;

void remove_scratch() {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(scratch_base, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(scratch_base, error);
}

struct scratch_layout {
  fs::path base;
  fs::path work;         // base/l0/.../l7: holds the input and the destination
  fs::path input;        // work/input.qpk
  fs::path destination;  // work/out
};

scratch_layout start() {
  const uint32_t pool_size = 1000000;
  if (foundation_init(&pool_size) < 0 || archive_init() != 0) std::abort();
  char base_template[] = "/tmp/qpk-fuzz-XXXXXX";
  if (mkdtemp(base_template) == nullptr) std::abort();
  scratch_layout layout;
  layout.base = base_template;
  layout.work = layout.base;
  for (int level = 0; level < DEPTH; ++level) layout.work /= "l" + std::to_string(level);
  layout.input = layout.work / "input.qpk";
  layout.destination = layout.work / "out";
  fs::create_directories(layout.destination);
  scratch_base = layout.base;
  std::atexit(remove_scratch);
  return layout;
}

// Extracted files may be read-only; make everything removable, then remove.
void wipe(const fs::path& folder) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  for (const auto& item : fs::directory_iterator(folder, error)) fs::remove_all(item.path(), error);
}

// Nothing may appear beside the chain of folders leading to the scratch folder.
void check_nothing_escaped(const scratch_layout& layout) {
  fs::path level = layout.base;
  for (int depth = 0; depth < DEPTH; ++depth) {
    size_t count = 0;
    for (const auto& item : fs::directory_iterator(level)) {
      (void)item;
      ++count;
    }
    if (count != 1) {
      std::fprintf(stderr, "an extracted file escaped to %s\n", level.c_str());
      std::abort();
    }
    level /= "l" + std::to_string(depth);
  }
  size_t count = 0;
  for (const auto& item : fs::directory_iterator(layout.work)) {
    if (item.path() != layout.input && item.path() != layout.destination) {
      std::fprintf(stderr, "an extracted file escaped to %s\n", item.path().c_str());
      std::abort();
    }
    ++count;
  }
  if (count != 2) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const scratch_layout layout = start();
  {
    std::ofstream file(layout.input, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // On one thread and on several, whose jobs finish out of entry order.
  for (unsigned threads : {1u, 4u}) {
    if (archive_open(layout.input.c_str(), ARCHIVE_OPEN_READ) == 0) {
      archive_set_threads(threads);
      archive_extract("*.*", layout.destination.c_str(), 1);
      archive_extract("*.*", layout.destination.c_str(), 0);
      archive_close();
    }
    check_nothing_escaped(layout);
    wipe(layout.destination);
  }
  return 0;
}
