// The jobs of an extraction: the stop rule, the worker's end of a job and
// the owner's commit, and the crew they run on (extract_jobs.h).
#include "archive/extract_jobs.h"

#include <cstring>

#include "archive/attributes.h"
#include "archive/extract.h"
#include "foundation/file.h"

namespace {

// Small entries' bytes held by the jobs in flight.
constexpr uint32_t HELD_BYTES_MAX = 8u << 20;

}  // namespace

// Notes the file a failed entry concerned, below the destination as the entry
// names it, and the engine's words for data that failed its checks.
void note_entry_failure(int status, const char* target, const char* base) {
  if (status == ERROR_ENTRY_DATA) failure_note_reason("the deflated data is damaged");
  if (status == ERROR_SIZE_MISMATCH) failure_note_reason("the data's length differs from its header's");
  const size_t base_length = strlen(base);
  failure_note_path(strncmp(target, base, base_length) == 0 ? target + base_length : target);
}

// Tells the progress hook how far the extraction is; a negative answer cancels.
int report_progress(const archive_file* archive, const extract_progress& progress) {
  const int answer = archive->progress != nullptr ? archive->progress(progress) : 0;
  return answer < 0 ? answer : 0;
}

// Keeps the earliest stop: a later one in entry order never replaces it.
// record null: this thread's own failure record.
void set_stop(extraction* run, int status, uint64_t first_unwritten, const failure_record* record) {
  if (first_unwritten > run->stop) return;
  run->status = status;
  run->stop = first_unwritten;
  if (record != nullptr)
    run->failure = *record;
  else
    failure_save(&run->failure);
}

// Ends a job's file: its time once the data is whole, then closed; removed
// again when the data failed, so that no half-written file stays.
void finish_file(const extraction* run, extract_job* job, int status) {
  os_file_time time = 0;
  if (status == 0 && os_dos_to_file_time(job->header.dos_date, job->header.dos_time, &time))
    os_file_set_times(job->file, nullptr, nullptr, &time);
  file_close(job->file);
  job->file = NO_FILE;
  if (status != 0) {
    os_file_delete(written_path(*job));
    note_entry_failure(status, job->target, run->base);
  }
  job->status = status;
  if (status != 0) failure_save(&job->failure);
}

// A crew job; runs on any of the threads, worker telling whose scratch it uses.
static void run_job(void* context, unsigned worker, uint32_t slot) {
  auto* run = static_cast<extraction*>(context);
  extract_job* job = &run->jobs[slot];
  failure_clear();
  finish_file(run, job,
              write_entry_data(run->archive->file, job->header, job->data_position, job->data, job->file,
                               &run->scratch[worker]));
}

// Counts a handled entry into the progress and reports it.
void count_entry(extraction* run, const entry_header& header, uint64_t number, bool written) {
  run->progress.files_done += 1;
  run->progress.files_written += written ? 1 : 0;
  run->progress.bytes_done += header.content_size;
  const int answer = report_progress(run->archive, run->progress);
  if (answer < 0) set_stop(run, answer, number + 1, nullptr);
}

// An existing target is replaced only once its new data is whole
// (file_commit_temporary). A read-only target refuses the move: it is made
// writable first, and gets its attributes back when the move fails.
bool move_over_target(const char* temporary, const char* target) {
  const uint32_t attributes = os_get_attributes(target);
  const bool read_only = attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_READONLY) != 0;
  const bool cleared = read_only && os_set_attributes(target, attributes & ~OS_ATTR_READONLY);
  if (file_commit_temporary(temporary, target) == 0) return true;
  if (cleared) os_set_attributes(target, attributes);
  return false;
}

// The owner's part after a job wrote its data whole.
void commit_job(extraction* run, const extract_job& job) {
  failure_clear();
  if (job.replacing && !move_over_target(job.temporary, job.target)) {
    note_entry_failure(ERROR_FILE_OPEN, job.target, run->base);
    set_stop(run, ERROR_FILE_OPEN, job.number, nullptr);
    return;
  }
  if (job.replacing || !OS_CREATE_SETS_ATTRIBUTES)
    os_set_attributes(job.target, entry_attributes_to_system(job.header.attributes));
  archive_file_notify(run->archive, EVENT_FILE_CREATED, job.target);
  count_entry(run, job.header, job.number, true);
}

// Takes back the oldest job: committed when it wrote its data and no earlier
// entry stopped the run, its file removed when one did.
void collect_one(extraction* run) {
  extract_job* job = &run->jobs[work_crew_collect(&run->crew)];
  run->held -= job->held;
  if (run->held == 0) run->held_next = 0;
  job->held = 0;
  job->data = nullptr;
  if (job->number >= run->stop) {
    if (job->status == 0) os_file_delete(written_path(*job));
  } else if (job->status != 0) {
    set_stop(run, job->status, job->number, &job->failure);
  } else {
    commit_job(run, *job);
  }
}

void collect_in_flight(extraction* run) {
  while (run->crew_running && work_crew_pending(&run->crew)) collect_one(run);
}

// The held ring goes back too: a large entry's units need that memory.
void stop_crew(extraction* run) {
  collect_in_flight(run);
  if (run->crew_running) work_crew_stop(&run->crew);
  run->crew_running = false;
  if (run->held_ring != nullptr) os_mem_free(run->held_ring);
  run->held_ring = nullptr;
}

namespace {

// What data of this size takes from the ring: with the end's bytes skipped
// when it does not fit before the end.
uint32_t held_charge(const extraction* run, uint32_t size) {
  if (size == 0) return 0;
  return run->held_next + size <= HELD_BYTES_MAX ? size : size + (HELD_BYTES_MAX - run->held_next);
}

}  // namespace

// The ring holds the jobs' data in collection order, so the taken bytes
// always run from the oldest job's to held_next (round the end): counting
// skipped bytes as taken keeps a new entry's room free of older data.
uint8_t* hold_bytes(extraction* run, extract_job* job, uint32_t size) {
  job->held = held_charge(run, size);
  if (run->held_next + size > HELD_BYTES_MAX) run->held_next = 0;
  uint8_t* room = run->held_ring + run->held_next;
  run->held_next += size;
  run->held += job->held;
  return room;
}

// A free slot, and room in the held ring for data of this size.
bool make_room(extraction* run, uint32_t data_size) {
  if (run->held_ring == nullptr) {
    void* ring = nullptr;
    if (os_mem_alloc(HELD_BYTES_MAX, &ring) != 0) return false;
    run->held_ring = static_cast<uint8_t*>(ring);
  }
  if (!run->crew_running) {
    if (work_crew_start(&run->crew, run->threads - 1, WORK_CREW_SLOTS_MAX, run_job, run) != 0) return false;
    run->crew_running = true;
  }
  while (work_crew_pending(&run->crew) &&
         (work_crew_full(&run->crew) || run->held + held_charge(run, data_size) > HELD_BYTES_MAX))
    collect_one(run);
  return true;
}
