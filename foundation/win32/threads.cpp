// Win32 back-end of the work crew: a critical section whose waits poll, and
// threads. Nothing here may need more than Windows XP has (no condition
// variables); the program extracts on its window thread alone, so the polled
// wait only serves the crew's own tests.
#include <windows.h>

#include <cstdlib>

#include "foundation/backend.h"

struct os_monitor {
  CRITICAL_SECTION section;
};

os_monitor* os_monitor_create() {
  auto* monitor = static_cast<os_monitor*>(calloc(1, sizeof(os_monitor)));
  if (monitor != nullptr) InitializeCriticalSection(&monitor->section);
  return monitor;
}

void os_monitor_destroy(os_monitor* monitor) {
  if (monitor == nullptr) return;
  DeleteCriticalSection(&monitor->section);
  free(monitor);
}

void os_monitor_enter(os_monitor* monitor) { EnterCriticalSection(&monitor->section); }
void os_monitor_leave(os_monitor* monitor) { LeaveCriticalSection(&monitor->section); }

void os_monitor_wait(os_monitor* monitor) {
  LeaveCriticalSection(&monitor->section);
  Sleep(1);
  EnterCriticalSection(&monitor->section);
}

// The waiters look again within a millisecond.
void os_monitor_wake_all(os_monitor*) {}
void os_monitor_wake_one(os_monitor*) {}

namespace {

struct thread_start {
  void (*run)(void* context);
  void* context;
};

DWORD WINAPI thread_main(void* argument) {
  thread_start start = *static_cast<thread_start*>(argument);
  free(argument);
  start.run(start.context);
  return 0;
}

}  // namespace

bool os_thread_start(void (*run)(void* context), void* context, os_thread* out) {
  auto* start = static_cast<thread_start*>(malloc(sizeof(thread_start)));
  if (start == nullptr) return false;
  *start = {run, context};
  HANDLE thread = CreateThread(nullptr, 256 * 1024, thread_main, start, 0, nullptr);
  if (thread == nullptr) {
    free(start);
    return false;
  }
  *out = thread;
  return true;
}

void os_thread_join(os_thread thread) {
  WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE);
  CloseHandle(static_cast<HANDLE>(thread));
}

unsigned os_processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}
