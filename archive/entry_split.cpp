// The front of the split writer: the one-thread extraction for small entries
// and archives shorter than they claim, and stored data copied in one part
// per thread. Deflated data goes to entry_split_inflate.cpp.
#include "archive/entry_split.h"

#include <algorithm>

#include "archive/copy_bytes.h"
#include "archive/entry_data.h"
#include "archive/extract.h"
#include "archive/pump.h"
#include "foundation/failure.h"
#include "foundation/pool.h"
#include "foundation/work_crew.h"

namespace {

// Each stored part goes through a buffer of its own job. (Copies inside the
// system, measured on tmpfs, were slower from two threads than one: writes to
// one file wait for each other there; a buffer lets one part read while
// another writes.)
constexpr uint32_t PART_BUFFER_SIZE = 256u << 10;
// Parts begin at multiples of this in the output, whole pages.
constexpr uint32_t PART_ALIGNMENT = 64u << 10;
static_assert(SPLIT_ENTRY_MIN / WORK_CREW_THREADS_MAX >= PART_ALIGNMENT, "every part holds data");

struct stored_part {
  uint32_t from;  // in the archive
  uint32_t to;    // in the output
  uint32_t count;
  int status;
  failure_record failure;
};

struct stored_copy {
  file_handle archive;
  file_handle output;
  stored_part parts[WORK_CREW_THREADS_MAX];
};

// A short read is ERROR_FILE_END, as copy_bytes gives it.
int copy_part(file_handle archive, file_handle output, const stored_part& part) {
  void* memory = nullptr;
  if (os_mem_alloc(PART_BUFFER_SIZE, &memory) != 0) return ERROR_SYSTEM_MEMORY;
  auto* buffer = static_cast<uint8_t*>(memory);
  int status = 0;
  for (uint32_t copied = 0; status == 0 && copied < part.count; copied += PART_BUFFER_SIZE) {
    const uint32_t count = std::min(PART_BUFFER_SIZE, part.count - copied);
    status = file_read_at(archive, part.from + copied, buffer, count);
    if (status == 0) status = file_write_at(output, part.to + copied, buffer, count);
  }
  os_mem_free(memory);
  return status;
}

// A part's failure is noted in its own record, which leaves the thread's (the
// owner runs parts too) as it was.
void run_part(void* context, unsigned, uint32_t slot) {
  auto* copy = static_cast<stored_copy*>(context);
  stored_part& part = copy->parts[slot];
  failure_record kept;
  failure_save(&kept);
  failure_clear();
  part.status = copy_part(copy->archive, copy->output, part);
  failure_save(&part.failure);
  failure_restore(kept);
}

// The first part to fail (in the data's order) gives the status and the
// failure noted, as one copy from the start would have met it first.
int split_copy(file_handle archive, uint32_t data_position, uint32_t count, file_handle output, unsigned threads) {
  int status = file_set_size(output, count);
  if (status != 0) return status;
  stored_copy copy{archive, output, {}};
  const uint32_t share = count / threads / PART_ALIGNMENT * PART_ALIGNMENT;
  for (unsigned i = 0; i < threads; ++i) {
    const uint32_t to = share * i;
    copy.parts[i] = {data_position + to, to, i + 1 == threads ? count - to : share, 0, {}};
  }
  work_crew crew;
  if (work_crew_start(&crew, threads - 1, threads, run_part, &copy) != 0) return ERROR_SYSTEM_MEMORY;
  for (unsigned i = 0; i < threads; ++i) work_crew_post(&crew);
  for (unsigned i = 0; i < threads; ++i) work_crew_collect(&crew);
  work_crew_stop(&crew);
  for (const stored_part& part : copy.parts) {
    if (part.status == 0) continue;
    failure_restore(part.failure);
    return part.status;
  }
  return 0;
}

int write_one_thread(file_handle archive, const entry_header& header, uint32_t data_position, file_handle output) {
  int status = file_seek(archive, static_cast<int32_t>(data_position), FILE_SEEK_SET);
  if (status != 0) return status;
  if (header.method == METHOD_STORED) return copy_bytes(archive, output, header.stored_size);
  uint32_t produced = 0;
  status = inflate_entry(archive, output, header.stored_size, &produced);
  return inflate_result(status, produced, header.content_size);
}

// Whether the archive holds all the data it claims: one that is shorter (or
// cannot be measured) is left to the one-thread path, whose statuses for it
// depend on where its reads fall.
bool data_present(file_handle archive, uint32_t data_position, uint32_t stored_size) {
  int size = 0;
  file_size(archive, &size);
  return size >= 0 && static_cast<uint32_t>(size) >= data_position &&
         static_cast<uint32_t>(size) - data_position >= stored_size;
}

}  // namespace

int split_write_entry(file_handle archive, const entry_header& header, uint32_t data_position, file_handle output,
                      unsigned threads) {
  threads = std::min(threads, WORK_CREW_THREADS_MAX);
  if (threads <= 1 || header.stored_size < SPLIT_ENTRY_MIN ||
      !data_present(archive, data_position, header.stored_size))
    return write_one_thread(archive, header, data_position, output);
  if (header.method == METHOD_STORED) return split_copy(archive, data_position, header.stored_size, output, threads);
  return split_inflate_entry(archive, header, data_position, output, threads);
}
