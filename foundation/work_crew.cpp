// The work crew: workers and the owner share one lock and take jobs in
// number order; a job runs outside the lock.
#include "foundation/work_crew.h"

#include <cstdlib>

#include "foundation/pool.h"

namespace {

uint32_t slot_of(const work_crew* crew, uint64_t job) { return static_cast<uint32_t>(job % crew->slots); }

// Runs the job taken (its number given) outside the lock, then marks it done.
void run_taken(work_crew* crew, unsigned worker, uint64_t job) {
  os_monitor_leave(crew->monitor);
  crew->run(crew->context, worker, slot_of(crew, job));
  os_monitor_enter(crew->monitor);
  crew->done[slot_of(crew, job)] = true;
  if (crew->owner_waiting) os_monitor_wake_all(crew->monitor);
}

void worker_main(void* context) {
  auto* member = static_cast<work_crew_member*>(context);
  work_crew* crew = member->crew;
  os_monitor_enter(crew->monitor);
  for (;;) {
    if (crew->taken < crew->posted) {
      run_taken(crew, member->index, crew->taken++);
    } else if (crew->stopping) {
      break;
    } else {
      ++crew->sleeping;
      os_monitor_wait(crew->monitor);
      --crew->sleeping;
    }
  }
  os_monitor_leave(crew->monitor);
}

}  // namespace

int work_crew_start(work_crew* crew, unsigned threads, uint32_t slots, work_run run, void* context) {
  *crew = work_crew{};
  crew->run = run;
  crew->context = context;
  crew->slots = slots < 1 ? 1 : slots > WORK_CREW_SLOTS_MAX ? WORK_CREW_SLOTS_MAX : slots;
  crew->monitor = os_monitor_create();
  if (crew->monitor == nullptr) return ERROR_SYSTEM_MEMORY;
  if (threads > WORK_CREW_THREADS_MAX) threads = WORK_CREW_THREADS_MAX;
  // A thread the system refuses leaves the work to the others and the owner.
  while (crew->threads < threads) {
    work_crew_member* member = &crew->members[crew->threads];
    *member = {crew, crew->threads};
    if (!os_thread_start(worker_main, member, &crew->workers[crew->threads])) break;
    ++crew->threads;
  }
  return 0;
}

uint32_t work_crew_next_slot(const work_crew* crew) { return slot_of(crew, crew->posted); }

bool work_crew_full(const work_crew* crew) { return crew->posted - crew->collected >= crew->slots; }

bool work_crew_pending(const work_crew* crew) { return crew->collected < crew->posted; }

void work_crew_post(work_crew* crew) {
  os_monitor_enter(crew->monitor);
  crew->done[slot_of(crew, crew->posted)] = false;
  ++crew->posted;
  // Only workers sleep while the owner posts: one of them is enough.
  if (crew->sleeping > 0) os_monitor_wake_one(crew->monitor);
  os_monitor_leave(crew->monitor);
}

uint32_t work_crew_collect(work_crew* crew) {
  const uint32_t slot = slot_of(crew, crew->collected);
  os_monitor_enter(crew->monitor);
  while (!crew->done[slot]) {
    if (crew->taken < crew->posted) {
      run_taken(crew, crew->threads, crew->taken++);
    } else {
      crew->owner_waiting = true;
      os_monitor_wait(crew->monitor);
      crew->owner_waiting = false;
    }
  }
  os_monitor_leave(crew->monitor);
  ++crew->collected;
  return slot;
}

void work_crew_stop(work_crew* crew) {
  if (crew->monitor == nullptr) return;
  while (work_crew_pending(crew)) work_crew_collect(crew);
  os_monitor_enter(crew->monitor);
  crew->stopping = true;
  os_monitor_wake_all(crew->monitor);
  os_monitor_leave(crew->monitor);
  for (unsigned i = 0; i < crew->threads; ++i) os_thread_join(crew->workers[i]);
  crew->threads = 0;
  os_monitor_destroy(crew->monitor);
  crew->monitor = nullptr;
}

unsigned work_crew_threads_wanted() {
  const char* asked = getenv("QPK2EXE_THREADS");
  if (asked != nullptr && *asked != '\0') {
    char* end = nullptr;
    const long count = strtol(asked, &end, 10);
    if (*end == '\0' && count >= 1 && count <= static_cast<long>(WORK_CREW_THREADS_MAX))
      return static_cast<unsigned>(count);
  }
  const unsigned processors = os_processor_count();
  return processors < WORK_CREW_THREADS_MAX ? processors : WORK_CREW_THREADS_MAX;
}
