// Entry extraction: a space check over the matching entries, then a walk that
// writes each matching entry below the destination, asking before it
// overwrites and reporting every file and directory it creates. The walk,
// every question and every report stay on the calling thread (the owner);
// entries' data is written by jobs on the archive's threads and collected
// back in entry order, so that events and failures come as with one thread.
#include "archive/extract.h"

#include <cstdio>
#include <cstring>

#include "archive/attributes.h"
#include "archive/directories.h"
#include "archive/entry_data.h"
#include "archive/entry_split.h"
#include "archive/entry_target.h"
#include "archive/entry_walk.h"
#include "archive/extract_jobs.h"
#include "archive/layout.h"
#include "archive/wildcard.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/path.h"
#include "foundation/pool.h"
#include "foundation/progress.h"

namespace {

// The archive is read in blocks of this size: headers and small entries' data
// come out of one read instead of a read and a seek each.
constexpr uint32_t WALK_BLOCK_SIZE = 256 * 1024;
// Data up to this size is copied from the block into its job, so that the
// thread writing it reads nothing; larger data is read there at its offset.
constexpr uint32_t SMALL_ENTRY_MAX = 128 * 1024;

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

// The mode of a temporary file for the entry: a private entry's file is
// created private, so that nobody else can open it while its data goes in.
uint32_t new_file_mode(const walk_entry& entry) {
  const bool private_entry = (entry_attributes_to_system(entry.header.attributes) & OS_ATTR_PRIVATE) != 0;
  return FILE_MODE_NEW | (private_entry ? FILE_MODE_PRIVATE : 0);
}

// A target that outgrows PATH_SIZE is named whole: the destination and the
// entry's name always fit the larger room of a noted path.
void note_target_too_long(const char* base, const walk_entry& entry, int use_paths) {
  char whole[FAILURE_PATH_SIZE];
  if (entry_target_path(base, entry.name, use_paths, whole, sizeof whole) == 0) failure_note_too_long(whole);
}

enum class creation { made, failed, skipped, stopped };

// Creates the job's file. Only when something is at the target (a link that
// leads nowhere included) is the user asked, once every earlier entry is
// done, and the data then goes to a temporary file beside it.
creation create_file(extraction* run, const walk_entry& entry, extract_job* job) {
  const uint32_t attributes = entry_attributes_to_system(entry.header.attributes);
  if (file_create(job->target, attributes, &job->file) == 0) return creation::made;
  if (os_get_attributes(job->target) == OS_ATTR_INVALID) return creation::failed;
  collect_in_flight(run);
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

// Makes a job ready for an entry. Its paths and failure record (about 16 KiB)
// are not cleared: each is written before it is read, and clearing them for
// every entry cost more than a small entry's data.
void start_job(extract_job* job, uint64_t number, const walk_entry& entry) {
  job->number = number;
  job->header = entry.header;
  job->data_position = entry.data_position;
  job->data = nullptr;
  job->held = 0;
  job->file = NO_FILE;
  job->replacing = false;
  job->target[0] = '\0';
  job->temporary[0] = '\0';
  job->status = 0;
}

// Copies a small entry's data out of the walk's block into the job.
int hold_data(extraction* run, entry_walk* walk, const walk_entry& entry, extract_job* job) {
  const uint32_t size = entry.header.stored_size;
  if (size == 0 || size > SMALL_ENTRY_MAX) return 0;
  int status = 0;
  const uint8_t* data = walk_entry_data(walk, entry, &status);
  if (data == nullptr) return status != 0 ? status : ERROR_SYSTEM_MEMORY;
  job->data = hold_bytes(run, job, size);
  memcpy(job->data, data, size);
  return 0;
}

// The owner's part of one matching entry: its target, directories and file,
// the question, EXTRACTING; then its data goes to a job (or, for a large
// entry, is written here once nothing else runs).
void extract_entry(extraction* run, directory_memo* memo, entry_walk* walk, const walk_entry& entry, int use_paths,
                   uint64_t number) {
  const entry_header& header = entry.header;
  // A large entry is written by the owner on all the threads at once.
  const bool large = run->threads > 1 && header.stored_size >= SPLIT_ENTRY_MIN;
  const uint32_t held = header.stored_size <= SMALL_ENTRY_MAX ? header.stored_size : 0;
  if (large) stop_crew(run);
  if (!large && !make_room(run, held)) {
    set_stop(run, ERROR_SYSTEM_MEMORY, number, nullptr);
    return;
  }
  if (run->status != 0) return;
  extract_job* job = &run->jobs[large ? WORK_CREW_SLOTS_MAX : work_crew_next_slot(&run->crew)];
  start_job(job, number, entry);
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
    finish_file(run, job, split_write_entry(run->archive->file, header, entry.data_position, job->file, run->threads));
    if (job->status != 0)
      set_stop(run, job->status, number, &job->failure);
    else
      commit_job(run, *job);
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
  status = check_archive(archive, &block, pattern, base, &run.progress);
  if (status == 0) status = report_progress(archive, run.progress);
  if (status == 0) status = extract_entries(&run, &block, pattern, use_paths);
  for (data_scratch& scratch : run.scratch) data_scratch_free(&scratch);
  os_mem_free(jobs);
  os_mem_free(block_bytes);
  return status;
}
