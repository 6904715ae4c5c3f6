// Entry extraction: a space check over the matching entries, then a walk that
// writes each matching entry below the destination, asking before it
// overwrites and reporting every file and directory it creates. The walk,
// every question and every report stay on the calling thread (the owner);
// entries' data is written by jobs on the archive's threads and collected
// back in entry order, so that events and failures come as with one thread.
#include "archive/extract.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "archive/entry_data.h"
#include "archive/entry_target.h"
#include "archive/entry_walk.h"
#include "archive/layout.h"
#include "archive/progress.h"
#include "archive/pump.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/path.h"
#include "foundation/pool.h"
#include "foundation/retry.h"
#include "foundation/work_crew.h"

namespace {

// The archive is read in blocks of this size: headers and small entries' data
// come out of one read instead of a read and a seek each.
constexpr uint32_t WALK_BLOCK_SIZE = 256 * 1024;
// Data up to this size is copied from the block into its job, so that the
// thread writing it reads nothing; larger data is read there at its offset.
constexpr uint32_t SMALL_ENTRY_MAX = 128 * 1024;
// Small entries' bytes held by the jobs in flight.
constexpr uint32_t HELD_BYTES_MAX = 8u << 20;
// From this size an entry is written by the owner on all the threads at once.
constexpr uint32_t LARGE_ENTRY_MIN = 2u << 20;

// The destination's full path, ending in the platform separator.
int destination_base(const char* destination, char* base, size_t size) {
  if (!os_full_path(destination, base, size)) {
    failure_note_system();
    failure_note_path(destination);
    return ERROR_ENTRY_NAME;
  }
  size_t length = strlen(base);
  if (length > 0 && is_separator(base[length - 1])) return 0;
  if (length + 1 >= size) {
    failure_note_too_long(base);
    return ERROR_ENTRY_NAME;
  }
  base[length] = PATH_SEPARATOR;
  base[length + 1] = '\0';
  return 0;
}

// Walks the whole archive before anything is written: every header and its
// data must lie before the archive's end, every matching entry must be one
// that can be extracted, and the matching entries' content (summed in 64
// bits, so that a large selection cannot wrap round to a small sum) must fit
// the free space. The matching entries' count and content go to progress.
int check_archive(const archive_file* archive, walk_block* block, const char* pattern, const char* base,
                  extract_progress* progress) {
  entry_walk walk;
  int status = walk_start_blocked(&walk, archive, block);
  if (status != 0) return status;
  uint64_t sum = 0;
  walk_entry entry;
  while ((status = walk_read(&walk, &entry)) == 1) {
    if (wildcard_match(pattern, entry.name)) {
      status = entry_check(entry);
      if (status != 0) return status;
      sum += entry.header.content_size;
      ++progress->files_total;
    }
    status = walk_skip(&walk, &entry);
    if (status != 0) return status;
  }
  if (status < 0) return status;
  progress->bytes_total = sum;
  double free_bytes = 0;
  const bool known = disk_free_space(base, &free_bytes) == 0;
  if (static_cast<double>(sum) <= free_bytes) return 0;
  note_space_shortage(base, sum, free_bytes, known);
  return ERROR_DISK_SPACE;
}

int write_data(file_handle archive, file_handle file, const entry_header& header) {
  if (header.method == METHOD_STORED) return copy_bytes(archive, file, header.stored_size);
  uint32_t produced = 0;
  int status = inflate_entry(archive, file, header.stored_size, &produced);
  // Damage found by zlib says more than the length it left behind.
  if (status == ERROR_ENTRY_DATA) return status;
  return produced != header.content_size ? ERROR_SIZE_MISMATCH : status;
}

// A large entry's data, written on the owner while no job is in flight.
int write_large_entry(file_handle archive, const entry_header& header, uint32_t data_position, file_handle file,
                      unsigned threads) {
  (void)threads;  // the threads the entry may be split across
  int status = file_seek(archive, static_cast<int32_t>(data_position), FILE_SEEK_SET);
  return status != 0 ? status : write_data(archive, file, header);
}

// The mode of a temporary file for the entry: a private entry's file is
// created private, so that nobody else can open it while its data goes in.
uint32_t new_file_mode(const walk_entry& entry) {
  const bool private_entry = (entry_attributes_to_system(entry.header.attributes) & OS_ATTR_PRIVATE) != 0;
  return FILE_MODE_NEW | (private_entry ? FILE_MODE_PRIVATE : 0);
}

// Notes the file a failed entry concerned, below the destination as the entry
// names it, and the engine's words for data that failed its checks.
void note_entry_failure(int status, const char* target, const char* base) {
  if (status == ERROR_ENTRY_DATA) failure_note_reason("the deflated data is damaged");
  if (status == ERROR_SIZE_MISMATCH) failure_note_reason("the data's length differs from its header's");
  const size_t base_length = strlen(base);
  failure_note_path(strncmp(target, base, base_length) == 0 ? target + base_length : target);
}

// A target that outgrows PATH_SIZE is named whole: the destination and the
// entry's name always fit the larger room of a noted path.
void note_target_too_long(const char* base, const walk_entry& entry, int use_paths) {
  char whole[FAILURE_PATH_SIZE];
  if (entry_target_path(base, entry.name, use_paths, whole, sizeof whole) == 0) failure_note_too_long(whole);
}

// Tells the callback how far the extraction is; a negative answer cancels.
int report_progress(const archive_file* archive, const extract_progress& progress) {
  char text[PROGRESS_TEXT_SIZE];
  progress_to_text(progress, text);
  const int answer = archive_file_notify(archive, EVENT_PROGRESS, text);
  return answer < 0 ? answer : 0;
}


// One matching entry between its file's creation and its commit.
struct extract_job {
  uint64_t number = 0;  // its place among the matching entries
  entry_header header = {};
  uint32_t data_position = 0;
  uint8_t* data = nullptr;  // a small entry's data, else null: read at data_position
  file_handle file = NO_FILE;
  bool replacing = false;  // written to temporary, to be moved over target
  char target[PATH_SIZE] = {};
  char temporary[PATH_SIZE] = {};
  int status = 0;
  failure_record failure;  // the writing thread's, when status is a failure
};

const char* written_path(const extract_job& job) { return job.replacing ? job.temporary : job.target; }

struct extraction {
  archive_file* archive = nullptr;
  const char* base = nullptr;
  extract_progress progress;
  unsigned threads = 1;
  work_crew crew;
  bool crew_running = false;
  // WORK_CREW_SLOTS_MAX jobs for the crew's ring, and one for a large entry.
  extract_job* jobs = nullptr;
  uint32_t held = 0;  // data bytes of the jobs in flight
  // The first stop in entry order: its status, the number of the first entry
  // it leaves unwritten, and the failure noted for it.
  int status = 0;
  uint64_t stop = UINT64_MAX;
  failure_record failure;
  data_scratch scratch[WORK_CREW_THREADS_MAX + 1];
};

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
  failure_save(&job->failure);
}

// A crew job; runs on any of the threads, worker telling whose scratch it uses.
void run_job(void* context, unsigned worker, uint32_t slot) {
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

// An existing target is replaced only once its new data is whole: moved over
// it from beside it (a link there is replaced itself), waiting a moment while
// a scanner holds it. A read-only target refuses the move: it is made
// writable first, and gets its attributes back when the move fails.
bool move_over_target(const char* temporary, const char* target) {
  const uint32_t attributes = os_get_attributes(target);
  const bool read_only = attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_READONLY) != 0;
  const bool cleared = read_only && os_set_attributes(target, attributes & ~OS_ATTR_READONLY);
  if (file_replace_when_free(temporary, target)) return true;
  failure_note_system();
  if (cleared) os_set_attributes(target, attributes);
  os_file_delete(temporary);
  return false;
}

// The owner's part after a job wrote its data whole.
void commit(extraction* run, const extract_job& job) {
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
  if (job->data != nullptr) {
    run->held -= job->header.stored_size;
    os_mem_free(job->data);
    job->data = nullptr;
  }
  if (job->number >= run->stop) {
    if (job->status == 0) os_file_delete(written_path(*job));
  } else if (job->status != 0) {
    set_stop(run, job->status, job->number, &job->failure);
  } else {
    commit(run, *job);
  }
}

void drain(extraction* run) {
  while (run->crew_running && work_crew_pending(&run->crew)) collect_one(run);
}

void stop_crew(extraction* run) {
  drain(run);
  if (run->crew_running) work_crew_stop(&run->crew);
  run->crew_running = false;
}

// A free slot, and room under HELD_BYTES_MAX for data of this size.
bool make_room(extraction* run, uint32_t data_size) {
  if (!run->crew_running) {
    if (work_crew_start(&run->crew, run->threads - 1, WORK_CREW_SLOTS_MAX, run_job, run) != 0) return false;
    run->crew_running = true;
  }
  while (work_crew_pending(&run->crew) &&
         (work_crew_full(&run->crew) || run->held + data_size > HELD_BYTES_MAX))
    collect_one(run);
  return true;
}

enum class creation { made, failed, skipped, stopped };

// Creates the job's file. Only when something is at the target (a link that
// leads nowhere included) is the user asked, once every earlier entry is
// done, and the data then goes to a temporary file beside it.
creation create_file(extraction* run, const walk_entry& entry, extract_job* job) {
  const uint32_t attributes = entry_attributes_to_system(entry.header.attributes);
  if (file_create(job->target, attributes, &job->file) == 0) return creation::made;
  if (os_get_attributes(job->target) == OS_ATTR_INVALID) return creation::failed;
  drain(run);
  if (run->status != 0) return creation::stopped;
  const int answer = archive_file_notify(run->archive, EVENT_OVERWRITE_QUERY, job->target);
  if (answer < 0) {
    set_stop(run, answer, job->number, nullptr);
    return creation::stopped;
  }
  if (answer != 1) return creation::skipped;
  failure_clear();
  job->replacing = true;
  return file_create_temporary(job->target, job->temporary, sizeof job->temporary, &job->file,
                               new_file_mode(entry)) == 0
             ? creation::made
             : creation::failed;
}

// Copies a small entry's data out of the walk's block into the job.
int hold_data(extraction* run, entry_walk* walk, const walk_entry& entry, extract_job* job) {
  const uint32_t size = entry.header.stored_size;
  if (size == 0 || size > SMALL_ENTRY_MAX) return 0;
  int status = 0;
  const uint8_t* data = walk_entry_data(walk, entry, &status);
  if (data == nullptr) return status != 0 ? status : ERROR_SYSTEM_MEMORY;
  void* copy = nullptr;
  if (os_mem_alloc(size, &copy) != 0) return ERROR_SYSTEM_MEMORY;
  memcpy(copy, data, size);
  job->data = static_cast<uint8_t*>(copy);
  run->held += size;
  return 0;
}

// The owner's part of one matching entry: its target, directories and file,
// the question, EXTRACTING; then its data goes to a job (or, for a large
// entry, is written here once nothing else runs).
void extract_entry(extraction* run, directory_memo* memo, entry_walk* walk, const walk_entry& entry, int use_paths,
                   uint64_t number) {
  const entry_header& header = entry.header;
  const bool large = run->threads > 1 && header.stored_size >= LARGE_ENTRY_MIN;
  const uint32_t held = header.stored_size <= SMALL_ENTRY_MAX ? header.stored_size : 0;
  if (large) stop_crew(run);
  if (!large && !make_room(run, held)) {
    set_stop(run, ERROR_SYSTEM_MEMORY, number, nullptr);
    return;
  }
  if (run->status != 0) return;
  extract_job* job = &run->jobs[large ? WORK_CREW_SLOTS_MAX : work_crew_next_slot(&run->crew)];
  *job = extract_job{};
  job->number = number;
  job->header = header;
  job->data_position = entry.data_position;
  failure_clear();
  int status = entry_target_path(run->base, entry.name, use_paths, job->target, sizeof job->target);
  if (status != 0) note_target_too_long(run->base, entry, use_paths);
  if (status == 0 && use_paths) status = make_directories(run->archive, memo, job->target, strlen(run->base));
  if (status == ERROR_MAKE_DIRECTORY) note_entry_failure(status, job->target, run->base);
  if (status != 0) {
    set_stop(run, status, number, nullptr);
    return;
  }
  const creation created = create_file(run, entry, job);
  if (created == creation::stopped) return;
  if (created == creation::skipped) {
    count_entry(run, header, number, false);
    return;
  }
  // A file that cannot be made is still announced first, as one made and
  // then not written is.
  if (created == creation::failed) {
    note_entry_failure(ERROR_FILE_OPEN, job->target, run->base);
    set_stop(run, ERROR_FILE_OPEN, number, nullptr);
  }
  const int answer = archive_file_notify(run->archive, EVENT_EXTRACTING, job->target);
  if (answer < 0) set_stop(run, answer, number, nullptr);
  if (created == creation::failed) return;
  if (answer < 0) {
    file_close(job->file);
    os_file_delete(written_path(*job));
    return;
  }
  if (large) {
    finish_file(run, job, write_large_entry(run->archive->file, header, entry.data_position, job->file, run->threads));
    if (job->status != 0)
      set_stop(run, job->status, number, &job->failure);
    else
      commit(run, *job);
    return;
  }
  status = hold_data(run, walk, entry, job);
  if (status != 0) {
    file_close(job->file);
    os_file_delete(written_path(*job));
    note_entry_failure(status, job->target, run->base);
    set_stop(run, status, number, nullptr);
    return;
  }
  work_crew_post(&run->crew);
  // One thread keeps the order of one: each entry done before the next begins.
  if (run->threads == 1) collect_one(run);
}

// The walk that writes: every matching entry in order, then whatever is in
// flight collected; the first stop in entry order decides the status.
int extract_entries(extraction* run, walk_block* block, const char* pattern, int use_paths) {
  directory_memo directories;
  entry_walk walk;
  int status = walk_start_blocked(&walk, run->archive, block);
  uint64_t matched = 0;
  walk_entry entry;
  while (run->status == 0 && status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    if (wildcard_match(pattern, entry.name)) extract_entry(run, &directories, &walk, entry, use_paths, matched++);
    status = walk_skip(&walk, &entry);
  }
  if (status < 0) set_stop(run, status, matched, nullptr);
  stop_crew(run);
  if (run->status != 0) {
    failure_restore(run->failure);
    return run->status;
  }
  return matched > 0 ? 0 : ERROR_NO_MATCH;
}

}  // namespace

int archive_file_extract(archive_file* archive, const char* pattern, const char* destination, int use_paths) {
  if (archive->file == NO_FILE) return ERROR_FILE_OPEN;
  failure_clear();
  char base[PATH_SIZE];
  int status = destination_base(destination, base, sizeof base);
  if (status != 0) return status;
  void* block_bytes = nullptr;
  void* jobs = nullptr;
  constexpr uint32_t JOBS_SIZE = (WORK_CREW_SLOTS_MAX + 1) * sizeof(extract_job);
  if (os_mem_alloc(WALK_BLOCK_SIZE, &block_bytes) != 0 || os_mem_alloc(JOBS_SIZE, &jobs) != 0) {
    if (block_bytes != nullptr) os_mem_free(block_bytes);
    return ERROR_SYSTEM_MEMORY;
  }
  walk_block block;
  block.bytes = static_cast<uint8_t*>(block_bytes);
  block.size = WALK_BLOCK_SIZE;
  extraction run;
  run.archive = archive;
  run.base = base;
  run.threads = archive->threads < 1 ? 1 : archive->threads;
  run.jobs = static_cast<extract_job*>(jobs);
  for (uint32_t i = 0; i <= WORK_CREW_SLOTS_MAX; ++i) new (&run.jobs[i]) extract_job;
  status = check_archive(archive, &block, pattern, base, &run.progress);
  if (status == 0) status = report_progress(archive, run.progress);
  if (status == 0) status = extract_entries(&run, &block, pattern, use_paths);
  for (data_scratch& scratch : run.scratch) data_scratch_free(&scratch);
  os_mem_free(jobs);
  os_mem_free(block_bytes);
  return status;
}
