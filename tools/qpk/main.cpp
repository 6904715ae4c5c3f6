// qpk: creates, lists, tests and inspects archives and self-extractors.
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "foundation/foundation.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/pending_files.h"

namespace {

// An interrupted create or sfx leaves no temporary file behind.
void on_interrupt(int) {
  pending_remove_all();
  std::_Exit(130);
}

}  // namespace

int main(int argc, char** argv) {
  // The file layer and a small pool for the engine's self-extractor reader.
  const uint32_t pool_size = 1000000;
  if (foundation_init(&pool_size) < 0) {
    std::cerr << "qpk: cannot start the file services\n";
    return 1;
  }
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
  int status = qpk_run(argc, argv, std::cout, std::cerr);
  std::cout.flush();
  foundation_term();
  return status;
}
