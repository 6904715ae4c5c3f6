// Unix seconds to FAT date and time fields.
#include "tools/qpk/dos_time.h"

#include <chrono>

namespace {

using namespace std::chrono;

constexpr int64_t SECONDS_PER_DAY = 86400;

constexpr int64_t unix_seconds(year_month_day day, int64_t second_of_day) {
  return sys_days(day).time_since_epoch().count() * SECONDS_PER_DAY + second_of_day;
}

constexpr int64_t FIRST = unix_seconds(year(1980) / January / 1, 0);
constexpr int64_t LAST = unix_seconds(year(2107) / December / 31, SECONDS_PER_DAY - 1);

}  // namespace

dos_stamp dos_stamp_from_unix(int64_t seconds) {
  if (seconds < FIRST) seconds = FIRST;
  if (seconds > LAST) seconds = LAST;
  int64_t day_number = seconds / SECONDS_PER_DAY;  // seconds >= FIRST > 0
  int64_t second_of_day = seconds % SECONDS_PER_DAY;
  year_month_day day{sys_days{days{day_number}}};
  unsigned year_field = static_cast<unsigned>(static_cast<int>(day.year()) - 1980);
  unsigned hours = static_cast<unsigned>(second_of_day / 3600);
  unsigned minutes = static_cast<unsigned>(second_of_day / 60 % 60);
  unsigned half_seconds = static_cast<unsigned>(second_of_day % 60 / 2);
  dos_stamp stamp;
  stamp.date = static_cast<uint16_t>(year_field << 9 | static_cast<unsigned>(day.month()) << 5 |
                                     static_cast<unsigned>(day.day()));
  stamp.time = static_cast<uint16_t>(hours << 11 | minutes << 5 | half_seconds);
  return stamp;
}
