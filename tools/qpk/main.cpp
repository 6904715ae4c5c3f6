// qpk: creates, lists, tests and inspects archives and self-extractors.
#include <iostream>

#include "foundation/foundation.h"
#include "tools/qpk/commands.h"

int main(int argc, char** argv) {
  // The file layer and a small pool for the engine's self-extractor reader.
  const uint32_t pool_size = 1000000;
  if (foundation_init(&pool_size) < 0) {
    std::cerr << "qpk: cannot start the file services\n";
    return 1;
  }
  int status = qpk_run(argc, argv, std::cout, std::cerr);
  std::cout.flush();
  foundation_term();
  return status;
}
