// The FAT date and time of an entry, taken from a modification time as UTC
// fields (no local-time step), clamped to what the fields can hold.
#pragma once

#include <cstdint>

struct dos_stamp {
  uint16_t date;  // bits 15-9 year - 1980, 8-5 month, 4-0 day
  uint16_t time;  // bits 15-11 hours, 10-5 minutes, 4-0 seconds / 2
};

// Seconds since 1970-01-01 UTC; before 1980 gives 1980-01-01 00:00:00, after
// 2107 gives 2107-12-31 23:59:58; odd seconds round down.
dos_stamp dos_stamp_from_unix(int64_t seconds);
