// Writing one entry's data into its new file on any thread: from memory (a
// small entry its reader copied out of the walk's block) or by positioned
// reads of the archive, through a thread's own scratch memory and
// decompressor. Nothing comes from the memory pool and nothing is shared, so
// every thread of an extraction may write an entry at once.
#pragma once

#include <cstdint>

#include "archive/codecs.h"
#include "archive/layout.h"
#include "archive/pump.h"

// Room for the pump's two buffers and the libdeflate carry; a deflated entry
// whose content fits it is inflated whole in memory and written at once.
constexpr uint32_t DATA_SCRATCH_SIZE = 2 * PUMP_BUFFER_SIZE + INFLATE_CARRY_SIZE;

// One per thread, allocated at its first use and freed by data_scratch_free.
struct data_scratch {
  uint8_t* buffer = nullptr;
  libdeflate_decompressor* decompressor = nullptr;
};
void data_scratch_free(data_scratch* scratch);

// The status of an entry's inflating: damage and the system's failures (a full
// disk is not the data's fault) say more than the length; a clean run, or one
// whose source ended early, is judged by the length it produced.
int inflate_result(int status, uint64_t produced, uint32_t content_size);

// Writes the entry's data into file (new and empty): the stored_size bytes at
// data when data is not null, else those at data_position in archive. 0;
// ERROR_ENTRY_DATA for damaged deflated data; ERROR_SIZE_MISMATCH when the
// content's length differs from the header's; a read's or write's status;
// ERROR_SYSTEM_MEMORY when no scratch memory can be had.
int write_entry_data(file_handle archive, const entry_header& header, uint32_t data_position, const uint8_t* data,
                     file_handle file, data_scratch* scratch);
