// The damaged self-extractor check: a program file that carries bytes past its
// own image but no archive (cut short, or its trailer damaged), and a
// self-extractor whose option block cannot be read or is not signed, both end
// the run with "Damaged self-extractor" rather than build or launch anything.
#pragma once

#include "archive/layout.h"

// Ends the run when the program file at path was a self-extractor once.
void refuse_damaged_program(const char* path);
// The current archive's option block; ends the run when it cannot be read or
// is not signed: its command would be a launch of whatever bytes are there.
void read_own_options(option_block* block);
