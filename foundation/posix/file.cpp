// POSIX back-end of the file layer: descriptors, 32-bit positions, file times
// and the DOS date/time conversion.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "foundation/backend.h"

namespace {

// Positions beyond this are outside what the layer supports.
constexpr int64_t POSITION_LIMIT = INT32_MAX;

int as_fd(os_file file) { return static_cast<int>(file); }

}  // namespace

bool os_file_open(const char* name, os_open_mode mode, os_file* out) {
  int flags = mode == OS_OPEN_READ ? O_RDONLY : mode == OS_OPEN_WRITE ? O_WRONLY : O_RDWR;
  const bool new_file = mode == OS_OPEN_NEW || mode == OS_OPEN_NEW_PRIVATE;
  int create = mode == OS_OPEN_ALWAYS ? O_CREAT : new_file ? O_CREAT | O_EXCL | O_NOFOLLOW : 0;
  // Non-blocking only while opening, so that a FIFO cannot hang the open.
  // openat: musl's open() follows an O_CLOEXEC open with an fcntl for old
  // kernels, one system call more per extracted file.
  int fd = openat(AT_FDCWD, name, flags | create | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                  mode == OS_OPEN_NEW_PRIVATE ? 0600 : 0666);
  if (fd < 0) return false;
  struct stat info;
  // Directories are not files here, as on Win32. Regular files ignore the
  // non-blocking flag, so only other kinds need it taken off again.
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
      (!S_ISREG(info.st_mode) && fcntl(fd, F_SETFL, flags) != 0)) {
    close(fd);
    return false;
  }
  *out = fd;
  return true;
}

namespace {

// Reading the umask means setting it: done once, before the extraction's
// threads start, and never while another thread may be creating a file.
mode_t process_umask() {
  static const mode_t mask = [] {
    const mode_t read = umask(0);
    umask(read);
    return read;
  }();
  return mask;
}

// What os_set_attributes leaves on a file made by OS_OPEN_NEW (or
// OS_OPEN_NEW_PRIVATE for a private one).
mode_t mode_for(uint32_t attributes, mode_t mask) {
  const bool private_file = (attributes & OS_ATTR_PRIVATE) != 0;
  mode_t mode = (private_file ? 0600 : 0666) & ~mask;
  if ((attributes & OS_ATTR_READONLY) != 0)
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    mode |= S_IWUSR;
  if ((attributes & OS_ATTR_EXECUTE) != 0) mode |= S_IXUSR | ((S_IXGRP | S_IXOTH) & ~mask);
  if (private_file) mode &= ~static_cast<mode_t>(S_IRWXG | S_IRWXO);
  return mode;
}

}  // namespace

bool os_file_create(const char* name, uint32_t attributes, os_file* out) {
  const mode_t mask = process_umask();
  const mode_t mode = mode_for(attributes, mask);
  // O_EXCL makes a new regular file, so no check of its kind follows.
  int fd = openat(AT_FDCWD, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
  if (fd < 0) return false;
  // The umask took an owner bit the attributes give back.
  if ((mode & mask) != 0 && fchmod(fd, mode) != 0) {
    const int error = errno;
    close(fd);
    unlinkat(AT_FDCWD, name, 0);
    errno = error;
    return false;
  }
  *out = fd;
  return true;
}

bool os_file_read(os_file file, void* buffer, uint32_t count, uint32_t* done) {
  // One call even for 0 bytes, so that a handle that cannot read fails.
  uint32_t total = 0;
  do {
    ssize_t got = read(as_fd(file), static_cast<char*>(buffer) + total, count - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *done = total;
      return false;
    }
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  } while (total < count);
  *done = total;
  return true;
}

bool os_file_write(os_file file, const void* buffer, uint32_t count, uint32_t* done) {
  uint32_t total = 0;
  while (total < count) {
    ssize_t put = write(as_fd(file), static_cast<const char*>(buffer) + total, count - total);
    if (put < 0 && errno == EINTR) continue;
    // A write that stops short (a full disk) is a failed write.
    if (put <= 0) {
      *done = total;
      return false;
    }
    total += static_cast<uint32_t>(put);
  }
  *done = total;
  return true;
}

bool os_file_seek(os_file file, int32_t offset, os_seek_origin origin, uint32_t* position) {
  int64_t from = 0;
  if (origin == OS_SEEK_CUR) {
    off_t current = lseek(as_fd(file), 0, SEEK_CUR);
    if (current < 0) return false;
    // Asking where the file is needs no second call.
    if (offset == 0 && current <= POSITION_LIMIT) {
      *position = static_cast<uint32_t>(current);
      return true;
    }
    from = current;
  } else if (origin == OS_SEEK_END) {
    struct stat info;
    if (fstat(as_fd(file), &info) != 0) return false;
    from = info.st_size;
  }
  int64_t target = from + offset;
  if (target < 0 || target > POSITION_LIMIT) return false;
  if (lseek(as_fd(file), static_cast<off_t>(target), SEEK_SET) < 0) return false;
  *position = static_cast<uint32_t>(target);
  return true;
}

void os_file_close(os_file file) { close(as_fd(file)); }

bool os_file_set_end(os_file file) {
  off_t current = lseek(as_fd(file), 0, SEEK_CUR);
  return current >= 0 && ftruncate(as_fd(file), current) == 0;
}

bool os_file_copy(os_file from, os_file to, uint32_t count, uint32_t* done) {
  *done = 0;
  // A source that ends early is left to the caller, which reports it.
  struct stat info;
  off_t position = lseek(as_fd(from), 0, SEEK_CUR);
  if (position < 0 || fstat(as_fd(from), &info) != 0 || info.st_size - position < count) return false;
  while (*done < count) {
    ssize_t moved = copy_file_range(as_fd(from), nullptr, as_fd(to), nullptr, count - *done, 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) return false;
    *done += static_cast<uint32_t>(moved);
  }
  return true;
}

bool os_file_read_at(os_file file, uint32_t offset, void* buffer, uint32_t count, uint32_t* done) {
  uint32_t total = 0;
  while (total < count) {
    ssize_t got = pread(as_fd(file), static_cast<char*>(buffer) + total, count - total, off_t{offset} + total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *done = total;
      return false;
    }
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  *done = total;
  return true;
}

bool os_file_write_at(os_file file, uint32_t offset, const void* buffer, uint32_t count, uint32_t* done) {
  uint32_t total = 0;
  while (total < count) {
    ssize_t put = pwrite(as_fd(file), static_cast<const char*>(buffer) + total, count - total, off_t{offset} + total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      *done = total;
      return false;
    }
    total += static_cast<uint32_t>(put);
  }
  *done = total;
  return true;
}

bool os_file_set_size(os_file file, uint32_t size) { return ftruncate(as_fd(file), off_t{size}) == 0; }

bool os_file_copy_at(os_file from, uint32_t from_offset, os_file to, uint32_t to_offset, uint32_t count,
                     uint32_t* done) {
  *done = 0;
  off_t source = from_offset, target = to_offset;
  while (*done < count) {
    ssize_t moved = copy_file_range(as_fd(from), &source, as_fd(to), &target, count - *done, 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) return false;
    *done += static_cast<uint32_t>(moved);
  }
  return true;
}

namespace {

constexpr int64_t TICKS_PER_SECOND = 10000000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t EPOCH_DIFFERENCE = 11644473600;

timespec to_timespec(os_file_time ticks) {
  int64_t since_1970 = static_cast<int64_t>(ticks / TICKS_PER_SECOND) - EPOCH_DIFFERENCE;
  return {static_cast<time_t>(since_1970), static_cast<long>(ticks % TICKS_PER_SECOND) * 100};
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static constexpr int DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : DAYS[month - 1];
}

// Days from 1601-01-01 to the first of the month.
int64_t days_before(int year, int month) {
  int64_t years = year - 1601;
  int64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (int m = 1; m < month; ++m) days += days_in_month(year, m);
  return days;
}

}  // namespace

os_file_time os_time_now() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<os_file_time>((now.tv_sec + EPOCH_DIFFERENCE) * TICKS_PER_SECOND + now.tv_nsec / 100);
}

bool os_file_set_times(os_file file, const os_file_time* creation,
                       const os_file_time* last_access, const os_file_time* last_write) {
  (void)creation;  // POSIX keeps no creation time that can be set
  timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
  if (last_access != nullptr) times[0] = to_timespec(*last_access);
  if (last_write != nullptr) times[1] = to_timespec(*last_write);
  return futimens(as_fd(file), times) == 0;
}

bool os_dos_to_file_time(uint16_t dos_date, uint16_t dos_time, os_file_time* out) {
  int year = 1980 + (dos_date >> 9);
  int month = (dos_date >> 5) & 0x0F;
  int day = dos_date & 0x1F;
  int hour = dos_time >> 11;
  int minute = (dos_time >> 5) & 0x3F;
  int second = (dos_time & 0x1F) * 2;
  // The fields the Win32 conversion refuses.
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  int64_t days = days_before(year, month) + day - 1;
  int64_t seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
  *out = static_cast<os_file_time>(seconds * TICKS_PER_SECOND);
  return true;
}
