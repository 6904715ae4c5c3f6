// The work crew: every job runs once, results come back in posting order
// whatever order the threads finish in, and a crew without threads still
// runs everything.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "foundation/backend.h"
#include "foundation/work_crew.h"

namespace {

struct ring {
  uint32_t job[WORK_CREW_SLOTS_MAX];
  uint32_t result[WORK_CREW_SLOTS_MAX];
  std::atomic<unsigned> runs{0};
};

// Later jobs finish sooner: busy work shrinks with the job number.
void square(void* context, unsigned, uint32_t slot) {
  auto* r = static_cast<ring*>(context);
  volatile uint32_t spin = 0;
  for (uint32_t i = 0; i < (200 - r->job[slot] % 200) * 1000; ++i) spin = spin + 1;
  r->result[slot] = r->job[slot] * r->job[slot];
  ++r->runs;
}

TEST(WorkCrew, CollectsEveryJobInPostingOrder) {
  for (unsigned threads : {0u, 1u, 3u}) {
    for (uint32_t slots : {1u, 4u, WORK_CREW_SLOTS_MAX}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, " << slots << " slots");
      ring r;
      work_crew crew;
      ASSERT_EQ(0, work_crew_start(&crew, threads, slots, square, &r));
      uint32_t next = 0, expected = 0;
      while (expected < 300) {
        while (next < 300 && !work_crew_full(&crew)) {
          r.job[work_crew_next_slot(&crew)] = next++;
          work_crew_post(&crew);
        }
        const uint32_t slot = work_crew_collect(&crew);
        ASSERT_EQ(expected * expected, r.result[slot]);
        ++expected;
      }
      EXPECT_FALSE(work_crew_pending(&crew));
      work_crew_stop(&crew);
      EXPECT_EQ(300u, r.runs.load());
    }
  }
}

TEST(WorkCrew, StopFinishesPostedJobs) {
  ring r;
  work_crew crew;
  ASSERT_EQ(0, work_crew_start(&crew, 2, 8, square, &r));
  for (uint32_t i = 0; i < 8; ++i) {
    r.job[work_crew_next_slot(&crew)] = i;
    work_crew_post(&crew);
  }
  work_crew_stop(&crew);
  EXPECT_EQ(8u, r.runs.load());
}

}  // namespace

#ifndef _WIN32
// A worker that took Ctrl-C would leave the thread asking a question asleep.
TEST(WorkCrew, WorkersNeverTakeTheStopSignals) {
  struct seen {
    bool blocked[3] = {};
  } worker;
  static constexpr int STOPS[] = {SIGINT, SIGTERM, SIGHUP};
  os_thread thread;
  ASSERT_TRUE(os_thread_start(
      [](void* context) {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        for (int i = 0; i < 3; ++i) static_cast<seen*>(context)->blocked[i] = sigismember(&mask, STOPS[i]) == 1;
      },
      &worker, &thread));
  os_thread_join(thread);
  sigset_t own;
  pthread_sigmask(SIG_BLOCK, nullptr, &own);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(worker.blocked[i]) << "signal " << STOPS[i];
    EXPECT_EQ(0, sigismember(&own, STOPS[i])) << "the starting thread's mask is left as it was";
  }
}
#endif
