// Building a self-extractor from a builder program (the stub) and a plain
// archive: both inputs checked before anything is written, then the stub,
// the option block, the archive and the trailer written under a temporary
// name beside the output and moved into place only when whole. The builder
// and `qpk sfx` both build through these functions, so the same stub, block
// and archive give the same bytes whichever of them runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/layout.h"
#include "foundation/file.h"
#include "foundation/path.h"

// The builder's own statuses.
constexpr int ERROR_COPY_STUB = -2;
constexpr int ERROR_BUILD_TOO_LARGE = -4;  // the self-extractor would reach 2 GiB

// Room for the longest message and a path that fills PATH_SIZE.
constexpr size_t SE_MESSAGE_SIZE = PATH_SIZE + 64;

// What a build call came to: status 0 and empty texts, or the failed step's
// status (negative), the message saying what failed (with the file it names),
// and the file whose system reason explains it ("" when the message says
// all), for a failure line such as "out/setup: No space left on device".
// se_open_inputs starts it; the texts have no initialisers because an 8 KiB
// zero template would be kept in the program's read-only data.
struct se_result {
  int status = 0;
  char message[SE_MESSAGE_SIZE];
  char path[PATH_SIZE];
};

// The two open inputs of a build; NO_FILE where one is not open.
struct se_build_inputs {
  file_handle stub = NO_FILE;
  file_handle archive = NO_FILE;
};

// Opens the stub and the archive and checks them: the archive must be a
// plain archive (not a self-extractor, nor anything else), and the
// self-extractor made from both must stay within what a signed 32-bit offset
// reaches. archive_name is how the messages name the archive (an archive made
// for the build goes by the output it is for). True, or false with *result
// saying why. Whatever was opened is closed by se_close_inputs.
bool se_open_inputs(const char* stub, const char* archive, const char* archive_name, se_build_inputs* inputs,
                    se_result* result);
void se_close_inputs(se_build_inputs* inputs);

// Told the temporary output's name once it exists, and null once it is gone
// or in place: what an interrupt handler would have to remove.
using se_temporary_note = void (*)(const char* name);

// Builds the self-extractor at output (a full path) from the open inputs and
// the block. The output keeps the stub's execute permission (POSIX). A
// failure leaves no new file and an existing output as it was. True, or false
// with *result saying which step failed. note may be null.
bool se_build_output(const char* stub, const se_build_inputs& inputs, const option_block& block,
                     const char* output, se_temporary_note note, se_result* result);

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
