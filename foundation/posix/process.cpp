// POSIX process back-end: a recorded command runs as /bin/sh -c in the
// current directory, "start X" opens X with xdg-open, and the wait polls the
// child with waitpid. The process handle holds the child's pid.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "foundation/backend.h"

namespace {

void* pid_to_handle(pid_t pid) { return reinterpret_cast<void*>(static_cast<intptr_t>(pid)); }
pid_t handle_to_pid(void* handle) { return static_cast<pid_t>(reinterpret_cast<intptr_t>(handle)); }

// Forks and execs argv; a close-on-exec pipe tells the parent whether the
// exec itself succeeded, so a missing program is a failed launch.
bool spawn(const char* const* argv, os_process* out) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (pid == 0) {
    close(report[0]);
    execvp(argv[0], const_cast<char* const*>(argv));
    int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got > 0) {
    waitpid(pid, nullptr, 0);
    errno = error;  // why the exec failed, for the caller's report
    return false;
  }
  out->process = pid_to_handle(pid);
  out->thread = nullptr;
  return true;
}

}  // namespace

uint32_t os_process_id() { return static_cast<uint32_t>(getpid()); }

bool os_process_alive(uint32_t pid) {
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool os_process_create(const char* command_line, os_process* out) {
  const char* argv[] = {"/bin/sh", "-c", command_line, nullptr};
  return spawn(argv, out);
}

// xdg-open hands the file on and ends at once, so its process says nothing
// about when the file is no longer needed: it is waited for here and no
// process comes back, as on Win32 when the opening program gives none (a run
// that deletes afterwards then waits for Continue).
const char* os_shell_opener() { return "xdg-open"; }

bool os_shell_open(const char* file, os_process* out) {
  const char* argv[] = {os_shell_opener(), file, nullptr};
  if (!spawn(argv, out)) return false;
  int status = 0;
  while (waitpid(handle_to_pid(out->process), &status, 0) < 0 && errno == EINTR) {
  }
  out->process = nullptr;
  return true;
}

// There is no input queue to watch: a running child reports "input" so the
// caller pumps its terminal and sleeps before asking again.
os_wait_result os_wait_process_or_input(os_process* process) {
  if (process == nullptr || process->process == nullptr) return OS_WAIT_FAILED;
  pid_t pid = handle_to_pid(process->process);
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return OS_WAIT_INPUT;
  if (done != pid) return OS_WAIT_FAILED;
  process->exit_code = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status))
                                         : 128u + static_cast<uint32_t>(WTERMSIG(status));
  return OS_WAIT_PROCESS_ENDED;
}

// A child still running is left to carry on; there is nothing to close.
void os_process_close(os_process* process) {
  process->process = nullptr;
  process->thread = nullptr;
}

void os_sleep(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}
