// Win32 back-end of the work crew: a critical section whose waits poll, and
// no threads. Nothing here may need more than Windows XP has (no condition
// variables).
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

// No threads: the program extracts on its window thread, which pumps the
// window's messages between entries, and a thread here would also bring the
// threads library that per-thread storage needs (OS_PER_THREAD). A crew then
// runs every job on its owner.
bool os_thread_start(void (*)(void* context), void*, os_thread*) { return false; }

void os_thread_join(os_thread) {}

unsigned os_processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}
