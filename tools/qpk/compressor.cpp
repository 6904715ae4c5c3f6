// The compression workers of the create command.
#include "tools/qpk/compressor.h"

#include "archive/codecs.h"
#include "archive/pump.h"

static_assert(PUMP_BUFFER_SIZE <= 0xFFFF, "a block fits the 16-bit length of one stored deflate block");

int deflate_block(void* state, const std::vector<uint8_t>& input, std::vector<uint8_t>* output) {
  // Larger than any stream a 64000-byte block can give, so one call suffices
  // in practice; the loop still takes whatever more the codec holds.
  constexpr uint32_t CHUNK_SIZE = 65536;
  static const uint8_t NO_BYTES = 0;
  uint8_t chunk[CHUNK_SIZE];
  output->clear();
  const uint8_t* data = input.empty() ? &NO_BYTES : input.data();
  uint32_t length = static_cast<uint32_t>(input.size());
  uint32_t produced = 0;
  int more = DEFLATE_CODEC.process(state, data, length, chunk, CHUNK_SIZE, &produced);
  while (more >= 0) {
    output->insert(output->end(), chunk, chunk + produced);
    if (more == 0) return 0;
    more = DEFLATE_CODEC.process(state, nullptr, length, chunk, CHUNK_SIZE, &produced);
  }
  return more;
}

void store_block(const std::vector<uint8_t>& input, std::vector<uint8_t>* output) {
  const auto length = static_cast<uint16_t>(input.size());
  const uint16_t complement = static_cast<uint16_t>(~length);
  // Deflate with a 32 KiB window at the fastest level; 0x7801 is a multiple
  // of 31, as the header's check bits require.
  const uint8_t head[] = {0x78, 0x01,
                          0x01,  // the final block, stored
                          static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                          static_cast<uint8_t>(complement), static_cast<uint8_t>(complement >> 8)};
  const uLong sum = adler32(adler32(0, nullptr, 0), input.data(), static_cast<uInt>(input.size()));
  const uint8_t tail[] = {static_cast<uint8_t>(sum >> 24), static_cast<uint8_t>(sum >> 16),
                          static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)};
  output->assign(head, head + sizeof head);
  output->insert(output->end(), input.begin(), input.end());
  output->insert(output->end(), tail, tail + sizeof tail);
}

uint64_t stored_streams_size(uint64_t content) {
  const uint64_t blocks = content == 0 ? 1 : (content + PUMP_BUFFER_SIZE - 1) / PUMP_BUFFER_SIZE;
  return content + blocks * STORED_STREAM_OVERHEAD;
}

compressor::compressor(unsigned workers, int level) : level_(level) {
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back(&compressor::work, this);
}

compressor::~compressor() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void compressor::submit(content_block* block) {
  {
    std::lock_guard lock(mutex_);
    block->done = false;
    block->status = 0;
    queue_.push_back(block);
  }
  queued_.notify_one();
}

void compressor::wait(content_block* block) {
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [block] { return block->done; });
}

void compressor::work() {
  deflate_state state;
  deflate_set_level(&state, level_);
  int started = DEFLATE_CODEC.init(&state);
  std::unique_lock lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopping, and nothing left to do
    content_block* block = queue_.front();
    queue_.pop_front();
    lock.unlock();
    int status = started < 0 ? started : deflate_block(&state, block->input, &block->output);
    lock.lock();
    block->status = status;
    block->done = true;
    finished_.notify_all();
  }
  lock.unlock();
  if (started >= 0) DEFLATE_CODEC.end(&state);
}
