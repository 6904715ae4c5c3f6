// A crew of worker threads for numbered jobs held in a ring of slots. The
// owner fills the slot of the next job and posts it; workers take posted jobs
// in number order; the owner collects them back in number order, running a
// job that no worker has taken yet itself rather than waiting idle. So with
// no worker threads at all (one processor, or a system that gives none) every
// job runs on the owner's thread, when it is collected.
#pragma once

#include <cstdint>

#include "foundation/backend.h"

constexpr uint32_t WORK_CREW_SLOTS_MAX = 64;
// Threads of one extraction: one per processor, at most this many.
constexpr unsigned WORK_CREW_THREADS_MAX = 8;

// Runs the job in slot; worker is 0 .. threads-1 for the crew's threads and
// threads for the owner, so that each may keep state of its own.
using work_run = void (*)(void* context, unsigned worker, uint32_t slot);

struct work_crew;
struct work_crew_member {
  work_crew* crew;
  unsigned index;
};

struct work_crew {
  work_run run = nullptr;
  void* context = nullptr;
  uint32_t slots = 0;
  unsigned threads = 0;  // worker threads started
  os_monitor* monitor = nullptr;
  os_thread workers[WORK_CREW_THREADS_MAX] = {};
  work_crew_member members[WORK_CREW_THREADS_MAX] = {};
  // Job numbers: posted jobs are [collected, posted); those before taken are
  // running or done.
  uint64_t posted = 0;
  uint64_t taken = 0;
  uint64_t collected = 0;
  bool done[WORK_CREW_SLOTS_MAX] = {};
  bool stopping = false;
  // Who waits, so that a post or a finished job wakes the others only when
  // someone sleeps: a wake per job costs every thread a system call or two.
  unsigned sleeping = 0;
  bool owner_waiting = false;
};

// Starts up to threads workers (fewer when the system gives fewer) for a ring
// of slots (1 .. WORK_CREW_SLOTS_MAX) jobs. 0, or ERROR_SYSTEM_MEMORY when
// not even the lock can be had.
int work_crew_start(work_crew* crew, unsigned threads, uint32_t slots, work_run run, void* context);
// The slot the next job goes in; only while work_crew_full is false.
uint32_t work_crew_next_slot(const work_crew* crew);
bool work_crew_full(const work_crew* crew);
bool work_crew_pending(const work_crew* crew);
void work_crew_post(work_crew* crew);
// Waits for the oldest posted job (there must be one) and gives its slot,
// which is free for a new job once the caller is done with it.
uint32_t work_crew_collect(work_crew* crew);
// Finishes every posted job (they are not collected) and ends the threads.
void work_crew_stop(work_crew* crew);

// The number of threads an extraction uses: QPK2EXE_THREADS when it names 1
// to WORK_CREW_THREADS_MAX, else one per processor up to that limit.
unsigned work_crew_threads_wanted();
