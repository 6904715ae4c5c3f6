// The extraction's progress as the engine reports it with EVENT_PROGRESS:
// once after its check of the whole archive and again after each matching
// entry. A notification carries text only, so the record travels as five
// decimal numbers; header-only, so the user interface needs no engine library.
#pragma once

#include <cstddef>
#include <cstdint>

struct extract_progress {
  uint64_t files_done = 0;  // matching entries handled, written or skipped
  uint64_t files_total = 0;
  uint64_t files_written = 0;
  uint64_t bytes_done = 0;  // content bytes of the entries handled
  uint64_t bytes_total = 0;
};

// Five numbers of at most 20 digits, their spaces and the zero.
constexpr size_t PROGRESS_TEXT_SIZE = 5 * 21;

inline void progress_to_text(const extract_progress& progress, char (&out)[PROGRESS_TEXT_SIZE]) {
  const uint64_t numbers[] = {progress.files_done, progress.files_total, progress.files_written,
                              progress.bytes_done, progress.bytes_total};
  size_t used = 0;
  for (uint64_t number : numbers) {
    char digits[20];
    size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    if (used != 0) out[used++] = ' ';
    while (count > 0) out[used++] = digits[--count];
  }
  out[used] = '\0';
}

// False for text that is not five numbers (each below 2^64) with the counts
// within their totals.
inline bool progress_from_text(const char* text, extract_progress* out) {
  if (text == nullptr) return false;
  uint64_t numbers[5] = {};
  for (size_t i = 0; i < 5; ++i) {
    if (i != 0 && *text++ != ' ') return false;
    if (*text < '0' || *text > '9') return false;
    for (; *text >= '0' && *text <= '9'; ++text) {
      const uint64_t digit = static_cast<uint64_t>(*text - '0');
      if (numbers[i] > (UINT64_MAX - digit) / 10) return false;
      numbers[i] = numbers[i] * 10 + digit;
    }
  }
  const extract_progress read{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
  if (*text != '\0' || read.files_done > read.files_total || read.files_written > read.files_done ||
      read.bytes_done > read.bytes_total)
    return false;
  *out = read;
  return true;
}
