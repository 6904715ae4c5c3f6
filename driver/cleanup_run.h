// The clean-up of a /deleteafter run: every path the extraction creates is
// recorded in this process's clean-up key (cleanup/cleanup_key.h) before it
// is written, and at the end everything recorded is deleted.
#pragma once

#include <cstddef>

// The recording callback of an extraction that deletes afterwards: records
// EVENT_EXTRACTING and EVENT_DIRECTORY_CREATED paths, then forwards every
// event to ui_notify and returns its answer.
int record_extracted_path(unsigned event, const char* text);
// "Software\QOR\QPK2EXE\%8lx" of this process, into size bytes.
void cleanup_key_name(char* out, size_t size);
// Deletes every recorded path newest first, then the key and the target path.
void cleanup_extracted_paths();
