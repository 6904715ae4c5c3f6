// The codec states behind INFLATE_CODEC and DEFLATE_CODEC (pump.h). A state
// is one zlib stream record and a little bookkeeping; declare one of these
// (its initialisers give the defaults) rather than raw memory of
// inflate_state_size()/deflate_state_size() bytes. One state serves one
// pump run at a time; separate states share nothing, so several may run on
// different threads.
#pragma once

#include <zlib.h>

#include <cstdint>

struct inflate_state {
  z_stream stream{};
  // Input of the current zlib stream has been taken but its end not reached.
  bool inside_stream = false;
};

struct deflate_state {
  z_stream stream{};
  int level = Z_BEST_COMPRESSION;
  // An input block is being finished into one stream.
  bool finishing = false;
};
