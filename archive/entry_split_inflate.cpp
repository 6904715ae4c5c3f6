// Deflated data on several threads. The entry's input is cut into units; a
// worker finds the first stream that starts in its unit (a plausible zlib
// header whose stream inflates whole, Adler-32 checked) and inflates stream
// after stream into the unit's buffer until the next stream starts in the
// next unit. The owner follows the one true chain of streams from the entry's
// start: it accepts a unit's bytes only where the chain lands on the unit's
// first stream, inflates from the chain itself where it does not, and hands
// the rest to inflate_entry at the first stream it cannot decode whole.
#include <algorithm>

#include "archive/codecs.h"
#include "archive/entry_data.h"
#include "archive/entry_split.h"
#include "archive/extract.h"
#include "archive/pump.h"
#include "foundation/work_crew.h"

#if QPK_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

// A unit's output room. A unit that fills it stops early and the owner
// inflates the rest of that unit itself: data far more compressible than the
// entry as a whole goes partly on one thread.
constexpr uint32_t UNIT_OUTPUT_SIZE = 1u << 20;
// Unit input lengths, sized by the entry's ratio to fill that room.
constexpr uint32_t UNIT_INPUT_MIN = 16u << 10;
constexpr uint32_t UNIT_INPUT_MAX = 256u << 10;
// A unit reads this far past its end for the stream that crosses it.
constexpr uint32_t UNIT_INPUT_OVERLAP = WHOLE_STREAM_INPUT_LIMIT;
// The search for a unit's first stream: a stream of our builder ends within
// the overlap, so one starts within it, after a few false headers in
// compressed bytes. The bound on tries bounds what an archive made to fool the
// search costs: each try inflates at most one pump buffer.
constexpr uint32_t SEARCH_TRIES_MAX = 128;
// Jobs in flight per thread: the owner writes one unit while others inflate.
constexpr uint32_t UNITS_PER_THREAD = 2;
constexpr uint32_t UNITS_MAX = UNITS_PER_THREAD * WORK_CREW_THREADS_MAX;
// 8 threads hold 16 units: about 21 MiB.
static_assert(uint64_t{UNITS_MAX} * (UNIT_INPUT_MAX + UNIT_INPUT_OVERLAP + UNIT_OUTPUT_SIZE) <= 24u << 20);

// ---- one thread's decoder of whole zlib streams ----

struct stream_decoder {
#if QPK_HAVE_LIBDEFLATE
  libdeflate_decompressor* decompressor = nullptr;
#else
  z_stream stream{};
  bool ready = false;
#endif
};

// Inflates the zlib stream at input whole into at most capacity bytes, its
// check value verified: false for a damaged, unfinished or larger stream.
bool decode_stream(stream_decoder* decoder, const uint8_t* input, uint32_t length, uint8_t* output,
                   uint32_t capacity, uint32_t* used, uint32_t* written) {
#if QPK_HAVE_LIBDEFLATE
  if (decoder->decompressor == nullptr) decoder->decompressor = libdeflate_alloc_decompressor();
  if (decoder->decompressor == nullptr) return false;
  size_t in = 0, out = 0;
  if (libdeflate_zlib_decompress_ex(decoder->decompressor, input, length, output, capacity, &in, &out) !=
      LIBDEFLATE_SUCCESS)
    return false;
  *used = static_cast<uint32_t>(in);
  *written = static_cast<uint32_t>(out);
  return true;
#else
  z_stream& stream = decoder->stream;
  if (!decoder->ready && inflateInit(&stream) != Z_OK) return false;
  decoder->ready = true;
  if (inflateReset(&stream) != Z_OK) return false;
  stream.next_in = const_cast<uint8_t*>(input);
  stream.avail_in = length;
  stream.next_out = output;
  stream.avail_out = capacity;
  if (inflate(&stream, Z_FINISH) != Z_STREAM_END) return false;
  *used = length - stream.avail_in;
  *written = capacity - stream.avail_out;
  return true;
#endif
}

void decoder_free(stream_decoder* decoder) {
#if QPK_HAVE_LIBDEFLATE
  if (decoder->decompressor != nullptr) libdeflate_free_decompressor(decoder->decompressor);
#else
  if (decoder->ready) inflateEnd(&decoder->stream);
#endif
  *decoder = stream_decoder{};
}

// A zlib header inflate accepts: deflate with a window of at most 32 KiB, its
// check bits right, no preset dictionary.
bool plausible_header(const uint8_t* at, uint32_t length) {
  return length >= 2 && (at[0] & 0x0F) == 8 && (at[0] >> 4) <= 7 && (at[0] * 256u + at[1]) % 31 == 0 &&
         (at[1] & 0x20) == 0;
}

// ---- units ----

struct split_unit {
  uint32_t start;  // where its input begins in the archive
  uint32_t stop;   // the next unit's start: the chain leaves at the first stream start at or past it
  uint32_t limit;  // where its input ends: past stop by the overlap, within the entry
  bool search;     // false: a stream is known to start at start
  // What the job found: its first stream, where the stream after its last one
  // starts (start: none), and the bytes they inflated to.
  bool found;
  uint32_t first;
  uint32_t reached;
  uint32_t produced;
  uint8_t* input;   // the unit input length + UNIT_INPUT_OVERLAP bytes
  uint8_t* output;  // UNIT_OUTPUT_SIZE bytes
};

struct split_run {
  file_handle archive;
  // One per crew thread and one for the owner, each used by its thread alone.
  stream_decoder decoders[WORK_CREW_THREADS_MAX + 1];
  split_unit units[UNITS_MAX];
};

// Inflates the stream at *at (from the unit's start) into the unit's output,
// at most capacity bytes, moving *at past it.
bool inflate_stream_at(stream_decoder* decoder, split_unit* unit, uint32_t* at, uint32_t capacity) {
  uint32_t used = 0, written = 0;
  const uint32_t length = unit->limit - unit->start;
  capacity = std::min(capacity, UNIT_OUTPUT_SIZE - unit->produced);
  if (!decode_stream(decoder, unit->input + *at, length - *at, unit->output + unit->produced, capacity, &used,
                     &written))
    return false;
  *at += used;
  unit->produced += written;
  return true;
}

// The first position in the search window, before the unit's stop, where a
// stream inflates whole to at most one pump buffer; its output is then in the
// unit's buffer.
bool find_first_stream(stream_decoder* decoder, split_unit* unit, uint32_t* at) {
  const uint32_t length = unit->limit - unit->start;
  const uint32_t window = std::min(unit->stop - unit->start, UNIT_INPUT_OVERLAP);
  uint32_t tries = 0;
  for (uint32_t candidate = 0; candidate < window && tries < SEARCH_TRIES_MAX; ++candidate) {
    if (!plausible_header(unit->input + candidate, length - candidate)) continue;
    ++tries;
    *at = candidate;
    if (inflate_stream_at(decoder, unit, at, PUMP_BUFFER_SIZE)) {
      unit->first = unit->start + candidate;
      return true;
    }
  }
  return false;
}

// The job: stream after stream until the next one starts at or past the
// unit's stop, the output is full or a stream fails.
void inflate_unit(split_run* run, stream_decoder* decoder, split_unit* unit) {
  unit->found = false;
  unit->first = unit->reached = unit->start;
  unit->produced = 0;
  if (file_read_at(run->archive, unit->start, unit->input, unit->limit - unit->start) != 0) return;
  uint32_t at = 0;
  if (unit->search && !find_first_stream(decoder, unit, &at)) return;
  unit->found = true;
  while (unit->start + at < unit->stop && inflate_stream_at(decoder, unit, &at, UINT32_MAX)) {
  }
  unit->reached = unit->start + at;
}

void run_unit(void* context, unsigned worker, uint32_t slot) {
  auto* run = static_cast<split_run*>(context);
  inflate_unit(run, &run->decoders[worker], &run->units[slot]);
}

// Unit input that inflates to a little less than the unit's room, by the
// ratio the header gives (a header that lies only costs speed).
uint32_t unit_input_length(const entry_header& header) {
  constexpr uint64_t ROOM = UNIT_OUTPUT_SIZE - 2 * PUMP_BUFFER_SIZE;
  if (header.content_size == 0) return UNIT_INPUT_MAX;
  const uint64_t length = ROOM * header.stored_size / header.content_size;
  return static_cast<uint32_t>(std::clamp<uint64_t>(length, UNIT_INPUT_MIN, UNIT_INPUT_MAX));
}

// ---- the owner's chain ----

// The chain goes on from its position with inflate_entry.
constexpr int CHAIN_SEQUENTIAL = 1;

struct chain {
  file_handle output;
  uint32_t content_size;
  uint32_t position;  // in the archive: where the chain's next stream starts
  uint32_t written;   // output bytes accepted
};

// Writes a unit whose first stream is the chain's next at the chain's output
// offset. Output past the content size is left to inflate_entry, which tells
// damage later on from a wrong length.
int accept_unit(chain* chain, const split_unit& unit) {
  if (unit.produced > chain->content_size - chain->written) return CHAIN_SEQUENTIAL;
  int status = file_write_at(chain->output, chain->written, unit.output, unit.produced);
  if (status != 0) return status;
  chain->written += unit.produced;
  chain->position = unit.reached;
  return 0;
}

// Takes a collected unit into the chain, then inflates on this thread from
// wherever the chain is until it passes the unit's stop.
int follow_unit(split_run* run, chain* chain, split_unit* unit, stream_decoder* decoder) {
  int status = 0;
  if (unit->found && unit->first == chain->position) status = accept_unit(chain, *unit);
  while (status == 0 && chain->position < unit->stop) {
    unit->start = chain->position;
    unit->search = false;
    inflate_unit(run, decoder, unit);
    status = unit->reached == unit->start ? CHAIN_SEQUENTIAL : accept_unit(chain, *unit);
  }
  return status;
}

// The next unit into the crew's next slot; next_start moves to its stop.
void post_unit(work_crew* crew, split_run* run, uint32_t* next_start, uint32_t end, uint32_t unit_length,
               uint32_t entry_start) {
  split_unit& unit = run->units[work_crew_next_slot(crew)];
  unit.start = *next_start;
  unit.stop = unit.start + std::min(unit_length, end - unit.start);
  unit.limit = unit.stop + std::min(UNIT_INPUT_OVERLAP, end - unit.stop);
  unit.search = unit.start != entry_start;
  *next_start = unit.stop;
  work_crew_post(crew);
}

// Runs the units through the crew, following the chain as they come back.
// 0 when the chain reached the end; CHAIN_SEQUENTIAL; a write's status.
int run_units(split_run* run, chain* chain, uint32_t end, uint32_t unit_length, unsigned threads) {
  work_crew crew;
  if (work_crew_start(&crew, threads - 1, UNITS_PER_THREAD * threads, run_unit, run) != 0) return CHAIN_SEQUENTIAL;
  const uint32_t entry_start = chain->position;
  uint32_t next_start = entry_start;
  while (next_start < end && !work_crew_full(&crew)) post_unit(&crew, run, &next_start, end, unit_length, entry_start);
  int status = 0;
  while (status == 0 && work_crew_pending(&crew)) {
    split_unit* unit = &run->units[work_crew_collect(&crew)];
    status = follow_unit(run, chain, unit, &run->decoders[crew.threads]);
    if (status == 0 && next_start < end) post_unit(&crew, run, &next_start, end, unit_length, entry_start);
  }
  // Units still out are finished and dropped: a few milliseconds, once.
  work_crew_stop(&crew);
  return status;
}

// inflate_entry from the chain's position to the entry's end.
int inflate_rest(file_handle archive, const chain& chain, uint32_t end) {
  int status = file_seek(archive, static_cast<int32_t>(chain.position), FILE_SEEK_SET);
  if (status == 0) status = file_seek(chain.output, static_cast<int32_t>(chain.written), FILE_SEEK_SET);
  if (status != 0) return status;
  uint32_t produced = 0;
  status = inflate_entry(archive, chain.output, end - chain.position, &produced);
  return inflate_result(status, uint64_t{chain.written} + produced, chain.content_size);
}

}  // namespace

int split_inflate_entry(file_handle archive, const entry_header& header, uint32_t data_position,
                        file_handle output, unsigned threads) {
  threads = std::clamp(threads, 1u, WORK_CREW_THREADS_MAX);
  int status = file_set_size(output, header.content_size);
  if (status != 0) return status;
  const uint32_t end = data_position + header.stored_size;
  const uint32_t unit_length = unit_input_length(header);
  const uint32_t units = UNITS_PER_THREAD * threads;
  const uint32_t input_size = unit_length + UNIT_INPUT_OVERLAP;
  split_run run;
  run.archive = archive;
  chain chain{output, header.content_size, data_position, 0};
  // Without the buffers the whole entry goes the one-thread way.
  void* memory = nullptr;
  status = os_mem_alloc(units * (input_size + UNIT_OUTPUT_SIZE), &memory) == 0 ? 0 : CHAIN_SEQUENTIAL;
  for (uint32_t i = 0; status == 0 && i < units; ++i) {
    run.units[i].input = static_cast<uint8_t*>(memory) + i * (input_size + UNIT_OUTPUT_SIZE);
    run.units[i].output = run.units[i].input + input_size;
  }
  if (status == 0) status = run_units(&run, &chain, end, unit_length, threads);
  if (memory != nullptr) os_mem_free(memory);
  for (stream_decoder& decoder : run.decoders) decoder_free(&decoder);
  if (status == CHAIN_SEQUENTIAL) return inflate_rest(archive, chain, end);
  if (status != 0) return status;
  return chain.written != header.content_size ? ERROR_SIZE_MISMATCH : 0;
}
