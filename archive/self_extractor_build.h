// Building a self-extractor from a builder program (the stub) and a plain
// archive: both inputs checked before anything is written, then the stub,
// the option block, the archive and the trailer written under a temporary
// name beside the output and moved into place only when whole. The builder
// and `qpk sfx` both build through these functions, so the same stub, block
// and archive give the same bytes whichever of them runs.
#pragma once

#include <cstdint>

#include "archive/layout.h"
#include "foundation/file.h"

constexpr int ERROR_COPY_STUB = -2;

// The two open inputs of a build; NO_FILE where one is not open.
struct se_build_inputs {
  file_handle stub = NO_FILE;
  file_handle archive = NO_FILE;
};

// Opens the stub and the archive and checks them: the archive must be a
// plain archive (not a self-extractor, nor anything else), and the
// self-extractor made from both must stay within what a signed 32-bit offset
// reaches. Null, or the message naming the problem (with %s for the
// archive's path). Whatever was opened is closed by se_close_inputs.
const char* se_open_inputs(const char* stub, const char* archive, se_build_inputs* inputs);
void se_close_inputs(se_build_inputs* inputs);

// Told the temporary output's name once it exists, and null once it is gone
// or in place: what an interrupt handler would have to remove.
using se_temporary_note = void (*)(const char* name);

// Builds the self-extractor at output (a full path) from the open inputs and
// the block. The output keeps the stub's execute permission (POSIX). A
// failure leaves no new file and an existing output as it was. Null, or the
// message of the step that failed; *status is the latest step's status.
// note may be null.
const char* se_build_output(const char* stub, const se_build_inputs& inputs, const option_block& block,
                            const char* output, int* status, se_temporary_note note);

// The steps of a build, each on the open output file. se_copy_stub copies the
// program file source to the target's position, a signed program without its
// certificate table, with its security directory and checksum cleared; 0 or
// ERROR_COPY_STUB.
int se_copy_stub(file_handle source, file_handle target);
// Each appends at the output's end: the option block, the archive file whole,
// the trailer with the archive's offset (which also stamps the current time).
int se_write_options(file_handle exe, const option_block* block);
int se_append_archive(file_handle archive, file_handle exe);
int se_fix(file_handle exe, uint32_t archive_offset);
// The file's length: after the option block, the archive's offset. 0 when it
// cannot be told.
uint32_t se_measure(file_handle file);
