// The jobs of an extraction (extract.cpp): one per matching entry between
// its file's creation and its commit, run on the archive's threads from a
// work crew's ring and collected back in entry order by the owner, the thread
// that walks the archive and alone calls the callback. The first stop in entry
// order (a failure or a cancel) decides the extraction's status and message;
// files of later entries are removed as their jobs come back.
#pragma once

#include <cstdint>

#include "archive/archive_file.h"
#include "archive/entry_data.h"
#include "archive/layout.h"
#include "foundation/failure.h"
#include "foundation/path.h"
#include "foundation/progress.h"
#include "foundation/work_crew.h"

// One matching entry between its file's creation and its commit.
struct extract_job {
  uint64_t number = 0;  // its place among the matching entries
  entry_header header = {};
  uint32_t data_position = 0;
  uint8_t* data = nullptr;  // a small entry's data, else null: read at data_position
  uint32_t held = 0;        // the bytes of the held ring it takes, with any it skipped
  file_handle file = NO_FILE;
  bool replacing = false;  // written to temporary, to be moved over target
  char target[PATH_SIZE] = {};
  char temporary[PATH_SIZE] = {};
  int status = 0;
  failure_record failure;  // the writing thread's, when status is a failure
};

inline const char* written_path(const extract_job& job) { return job.replacing ? job.temporary : job.target; }

struct extraction {
  archive_file* archive = nullptr;
  const char* base = nullptr;
  extract_progress progress;
  unsigned threads = 1;
  work_crew crew;
  bool crew_running = false;
  // WORK_CREW_SLOTS_MAX jobs for the crew's ring, and one for a large entry.
  extract_job* jobs = nullptr;
  // Small entries' data in flight, in a ring of HELD_BYTES_MAX bytes taken
  // once (the first in flight is collected first), rather than memory of its
  // own per entry: the C library would map and unmap much of that, and an
  // unmapping interrupts every processor the program runs on.
  uint8_t* held_ring = nullptr;
  uint32_t held_next = 0;  // where the next entry's data goes
  uint32_t held = 0;       // bytes taken by the jobs in flight
  // The first stop in entry order: its status, the number of the first entry
  // it leaves unwritten, and the failure noted for it.
  int status = 0;
  uint64_t stop = UINT64_MAX;
  failure_record failure;
  data_scratch scratch[WORK_CREW_THREADS_MAX + 1];
};

// Notes the file a failed entry concerned, below the destination as the entry
// names it, and the engine's words for data that failed its checks.
void note_entry_failure(int status, const char* target, const char* base);
// Tells the progress hook how far the extraction is; a negative answer cancels.
int report_progress(const archive_file* archive, const extract_progress& progress);
// Records a stop at entry first_unwritten unless an earlier one was recorded:
// its status and failure record (record null: this thread's own).
void set_stop(extraction* run, int status, uint64_t first_unwritten, const failure_record* record);
// Sets the time of a job's file when status is 0 and closes it; when status
// is a failure, removes it and notes the failure into the job.
void finish_file(const extraction* run, extract_job* job, int status);
// Counts an entry handled (written or skipped) and reports the progress.
void count_entry(extraction* run, const entry_header& header, uint64_t number, bool written);
// The owner's part once a job wrote its data whole: the move over an existing
// target, attributes still to set, EVENT_FILE_CREATED and the progress.
void commit_job(extraction* run, const extract_job& job);
// Collects the oldest job in flight: committed when it wrote its data and no
// earlier entry stopped the run, its file removed when one did.
void collect_one(extraction* run);
// Collects every job in flight.
void collect_in_flight(extraction* run);
// Collects every job in flight, ends the crew's threads and frees the held ring.
void stop_crew(extraction* run);
// Room in the held ring for size bytes of a job's data (make_room made it).
uint8_t* hold_bytes(extraction* run, extract_job* job, uint32_t size);
// Starts the crew when it is not running, and collects jobs until a slot is
// free and a small entry's data_size bytes fit under the held bytes' bound.
// False when the crew cannot start.
bool make_room(extraction* run, uint32_t data_size);
