// The slots of the temporary files an interrupt removes.
#include "tools/qpk/pending_files.h"

#include <csignal>
#include <cstdio>

#include "foundation/backend.h"
#include "foundation/path.h"

namespace {

// A slot is marked set only after its name is complete, so a handler never
// sees half a name.
struct pending_file {
  char name[PATH_SIZE];
  volatile std::sig_atomic_t set;
};
pending_file pending[PENDING_SLOT_COUNT];

}  // namespace

void pending_set(pending_slot slot, const char* name) {
  pending[slot].set = 0;
  if (name == nullptr) return;
  int length = std::snprintf(pending[slot].name, sizeof pending[slot].name, "%s", name);
  if (length >= 0 && static_cast<size_t>(length) < sizeof pending[slot].name) pending[slot].set = 1;
}

void pending_remove_all() {
  for (pending_file& file : pending)
    if (file.set) os_file_delete(file.name);
}
