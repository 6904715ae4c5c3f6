// Worker threads that turn content blocks into finished zlib streams with
// the engine's deflate codec, each worker with a codec state of its own.
// Blocks are independent, so the output does not depend on the worker count.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct content_block {
  std::vector<uint8_t> input;   // at most PUMP_BUFFER_SIZE bytes
  std::vector<uint8_t> output;  // one complete zlib stream once done
  int status = 0;               // 0, or the codec's failure
  bool done = false;
};

class compressor {
 public:
  compressor(unsigned workers, int level);
  ~compressor();  // waits for the blocks already submitted
  compressor(const compressor&) = delete;
  compressor& operator=(const compressor&) = delete;

  // The block must stay put until wait() has returned for it.
  void submit(content_block* block);
  void wait(content_block* block);

 private:
  void work();

  int level_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<content_block*> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

// Deflates one block into one complete zlib stream through an initialised
// deflate codec state; 0 or the codec's failure.
int deflate_block(void* state, const std::vector<uint8_t>& input, std::vector<uint8_t>* output);

// A zlib stream's header, one stored block's header and the Adler-32: what a
// block of at most 64000 bytes grows by when kept uncompressed in a stream.
constexpr uint32_t STORED_STREAM_OVERHEAD = 2 + 5 + 4;
// Keeps one block of at most PUMP_BUFFER_SIZE bytes as it is, in one zlib
// stream of a single stored deflate block, so that every reader still checks
// it against its Adler-32.
void store_block(const std::vector<uint8_t>& input, std::vector<uint8_t>* output);
// The size of a whole entry's content kept that way, one stream per block.
uint64_t stored_streams_size(uint64_t content);
