// Reports on an open archive: the entry list, the check of every entry's data
// and a self-extractor's recorded options. The qpk tool's list, test and info
// and a self-extractor's own --list, --check and --info print them, so both
// give the same text and the same status for the same archive.
#pragma once

#include <cstddef>

#include "archive/archive_file.h"
#include "archive/layout.h"

constexpr int REPORT_OUT = 0;  // the report itself
constexpr int REPORT_ERR = 1;  // what went wrong

// Where a report goes and how it names things.
struct report_output {
  // Writes a zero-terminated piece of text to REPORT_OUT or REPORT_ERR.
  void (*write)(void* context, int stream, const char* text);
  void* context;
  // What a problem line starts with, before ": ": "qpk: data.qpk".
  const char* subject;
  // An entry name as the terminal shows it, zero-terminated into size bytes
  // (REPORT_NAME_SIZE); null shows the name as it is.
  void (*show_name)(const char* name, char* out, size_t size);
};
// Room for an entry name converted for the terminal: 4 bytes per byte.
constexpr size_t REPORT_NAME_SIZE = 4 * ENTRY_NAME_SIZE + 1;

// Each returns the exit status of the qpk command: 0, or 1 after writing
// "SUBJECT: PROBLEM" to REPORT_ERR. The archive must be open; its position is
// moved.
int report_list(const archive_file* archive, const report_output& output);
// Reads or inflates every entry's data into memory and checks its length
// (and, deflated, its zlib integrity); writes nothing to disk. One check
// runs at a time: its two PUMP_BUFFER_SIZE buffers are static.
int report_check(const archive_file* archive, const report_output& output);
// The option block before a self-extractor's archive, by name.
int report_info(const archive_file* archive, const report_output& output);

// A text field as far as its zero (at most size bytes) with control
// characters as \xNN, zero-terminated into out (out_size bytes; 4 * size + 1
// always suffices, less cuts it).
void report_printable(const char* field, size_t size, char* out, size_t out_size);
// The walk's problem, "SUBJECT: damaged: PROBLEM", to REPORT_ERR; returns 1.
int report_damaged(const report_output& output, const char* problem);
