// POSIX back-end of the work crew: pthread mutexes, conditions and threads.
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/backend.h"

struct os_monitor {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
};

os_monitor* os_monitor_create() {
  auto* monitor = static_cast<os_monitor*>(calloc(1, sizeof(os_monitor)));
  if (monitor == nullptr) return nullptr;
  if (pthread_mutex_init(&monitor->mutex, nullptr) != 0) {
    free(monitor);
    return nullptr;
  }
  if (pthread_cond_init(&monitor->condition, nullptr) != 0) {
    pthread_mutex_destroy(&monitor->mutex);
    free(monitor);
    return nullptr;
  }
  return monitor;
}

void os_monitor_destroy(os_monitor* monitor) {
  if (monitor == nullptr) return;
  pthread_cond_destroy(&monitor->condition);
  pthread_mutex_destroy(&monitor->mutex);
  free(monitor);
}

void os_monitor_enter(os_monitor* monitor) { pthread_mutex_lock(&monitor->mutex); }
void os_monitor_leave(os_monitor* monitor) { pthread_mutex_unlock(&monitor->mutex); }
void os_monitor_wait(os_monitor* monitor) { pthread_cond_wait(&monitor->condition, &monitor->mutex); }
void os_monitor_wake_all(os_monitor* monitor) { pthread_cond_broadcast(&monitor->condition); }
void os_monitor_wake_one(os_monitor* monitor) { pthread_cond_signal(&monitor->condition); }

namespace {

// The same on every C library (musl's default is 128 KiB, glibc's the stack
// limit, often 8 MiB); a worker's deepest call is an inflate with its paths.
constexpr size_t THREAD_STACK_SIZE = 256 * 1024;

struct thread_start {
  void (*run)(void* context);
  void* context;
};

void* thread_main(void* argument) {
  thread_start start = *static_cast<thread_start*>(argument);
  free(argument);
  start.run(start.context);
  return nullptr;
}

// Every signal but a fault's: a worker must never take Ctrl-C or a stop, or
// the flag its handler sets would not wake the thread asking a question in
// ppoll, and the question would wait for another key.
sigset_t worker_signal_mask() {
  sigset_t mask;
  sigfillset(&mask);
  const int faults[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT};
  for (int fault : faults) sigdelset(&mask, fault);
  return mask;
}

}  // namespace

bool os_thread_start(void (*run)(void* context), void* context, os_thread* out) {
  auto* start = static_cast<thread_start*>(malloc(sizeof(thread_start)));
  auto* thread = static_cast<pthread_t*>(malloc(sizeof(pthread_t)));
  pthread_attr_t attributes;
  bool made = start != nullptr && thread != nullptr && pthread_attr_init(&attributes) == 0;
  if (made) {
    *start = {run, context};
    // The new thread inherits the mask in force when it is created.
    const sigset_t worker_mask = worker_signal_mask();
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, &worker_mask, &previous);
    made = pthread_attr_setstacksize(&attributes, THREAD_STACK_SIZE) == 0 &&
           pthread_create(thread, &attributes, thread_main, start) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attributes);
  }
  if (!made) {
    free(start);
    free(thread);
    return false;
  }
  *out = thread;
  return true;
}

void os_thread_join(os_thread thread) {
  auto* handle = static_cast<pthread_t*>(thread);
  pthread_join(*handle, nullptr);
  free(handle);
}

unsigned os_processor_count() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}
