// Temporary files of a running command that an interrupt must not leave
// behind: each is named in its slot while it exists, and the interrupt
// handler removes every file named.
#pragma once

enum pending_slot {
  PENDING_ARCHIVE_OUTPUT,  // an archive being written by create
  PENDING_SFX_ARCHIVE,     // the archive sfx makes from files and folders
  PENDING_SFX_OUTPUT,      // the self-extractor being written by sfx
  PENDING_SLOT_COUNT
};

// Names the slot's file; null clears the slot. A name that does not fit is
// not recorded.
void pending_set(pending_slot slot, const char* name);
// Removes every named file; safe inside a signal handler.
void pending_remove_all();
