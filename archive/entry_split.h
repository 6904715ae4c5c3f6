// One large entry written on several threads. Stored data is copied in one
// part per thread. Deflated data (zlib streams laid end to end, with no
// lengths recorded) is cut into units of input; a worker finds the first
// stream that starts in its unit and inflates stream after stream into a
// buffer of its own, and the owner accepts a unit only where the chain of
// streams from the entry's start lands exactly on the unit's first stream.
// Wherever it does not, the owner inflates that part itself, and it hands the
// rest of the entry to inflate_entry at the first stream it cannot decode
// whole, so that damage anywhere gives the one-thread statuses.
#pragma once

#include <cstdint>

#include "archive/layout.h"
#include "foundation/file.h"

// Stored bytes from which an entry is written on several threads. Measured
// on two cores and tmpfs: deflated text gains from about 0.5 MiB (at 2 MiB,
// 6.7 ms against 8.5 ms on one thread); data that does not compress, whose
// inflating is a copy, loses up to half a millisecond below about 8 MiB, the
// units' buffers costing about what they save.
constexpr uint32_t SPLIT_ENTRY_MIN = 2u << 20;

// Writes the data of one entry (header: method, stored_size, content_size),
// which lies in the archive file at data_position, into output: a new, empty
// file the caller has opened for writing and will close (and delete on
// failure). Runs on up to threads threads, this one included (1 ..
// WORK_CREW_THREADS_MAX); with one, or for an entry of fewer than
// SPLIT_ENTRY_MIN stored bytes, it does the one-thread extraction. The
// archive's position is left anywhere.
//
// 0; ERROR_ENTRY_DATA for damaged deflated data; ERROR_SIZE_MISMATCH when
// the data inflates to another length than content_size, or ends early in an
// archive shorter than it claims; for stored data ERROR_FILE_END when the
// archive is shorter than it claims; ERROR_FILE_READ, ERROR_FILE_WRITE or
// ERROR_SYSTEM_MEMORY when the system fails (not a length: a full disk is
// not the data's fault), with the failure noted.
int split_write_entry(file_handle archive, const entry_header& header, uint32_t data_position, file_handle output,
                      unsigned threads);

// The deflated path alone, for an entry at least SPLIT_ENTRY_MIN long, on
// threads >= 2 threads: the same results. Output is sized to content_size.
int split_inflate_entry(file_handle archive, const entry_header& header, uint32_t data_position,
                        file_handle output, unsigned threads);
