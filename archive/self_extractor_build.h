// Building a self-extractor from a builder program (the stub) and a plain
// archive: both inputs checked before anything is written, then the stub,
// the option block, the archive and the trailer written under a temporary
// name beside the output and moved into place only when whole. The builder
// and `qpk sfx` both build through these functions, so the same stub, block
// and archive give the same bytes whichever of them runs.
#pragma once

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

// Copies the open program file source to the open target's position, a
// signed program without its certificate table, with its security directory
// and checksum cleared; 0 or ERROR_COPY_STUB.
int se_copy_stub(file_handle source, file_handle target);

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
