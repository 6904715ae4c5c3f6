// Win32 process back-end: process creation and shell execution exactly as the
// extraction run launches its command, and the wait on a process together
// with the thread's input queue.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "foundation/backend.h"

// The records carry their own size; a 32-bit process gives 68 and 60. The
// 64-bit test build of the same sources has larger ones.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "the start-up record of a 32-bit process is 68 bytes");
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOA) == 60, "the shell execution record of a 32-bit process is 60 bytes");

uint32_t os_process_id() { return GetCurrentProcessId(); }

bool os_process_alive(uint32_t pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  // A process we may not open (another user's, a protected one) still runs.
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

bool os_process_create(const char* command_line, os_process* out) {
  // CreateProcessA may write into its command line; it gets its own copy.
  char line[32768];
  size_t length = strnlen(command_line, sizeof line);
  if (length >= sizeof line) return false;
  memcpy(line, command_line, length + 1);

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_FORCEONFEEDBACK;
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  out->process = info.hProcess;
  out->thread = info.hThread;
  return true;
}

const char* os_shell_opener() { return "ShellExecuteEx"; }

bool os_shell_open(const char* file, os_process* out) {
  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT;
  info.lpVerb = "open";
  info.lpFile = file;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info)) return false;
  out->process = info.hProcess;
  out->thread = nullptr;
  return true;
}

os_wait_result os_wait_process_or_input(os_process* process) {
  if (process == nullptr || process->process == nullptr) return OS_WAIT_FAILED;
  HANDLE handle = process->process;
  DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, 0xFF);
  if (result == WAIT_OBJECT_0) {
    DWORD code = 0;
    process->exit_code = GetExitCodeProcess(handle, &code) ? code : 0;
    return OS_WAIT_PROCESS_ENDED;
  }
  if (result == WAIT_OBJECT_0 + 1) return OS_WAIT_INPUT;
  return OS_WAIT_FAILED;
}

void os_process_close(os_process* process) {
  if (process->process != nullptr) CloseHandle(process->process);
  if (process->thread != nullptr) CloseHandle(process->thread);
  process->process = nullptr;
  process->thread = nullptr;
}

void os_sleep(uint32_t milliseconds) { Sleep(milliseconds); }
