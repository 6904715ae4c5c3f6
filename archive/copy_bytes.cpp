// Copies a count of bytes between two open files: inside the system where it
// can, otherwise through one pool block.
#include "archive/copy_bytes.h"

#include "foundation/pool.h"

namespace {

// Moves one chunk. A read that comes up short fails with ERROR_FILE_END and
// its bytes are not written.
int copy_chunk(file_handle source, file_handle target, uint8_t* buffer, uint32_t count) {
  int status = file_read(source, buffer, static_cast<int>(count), nullptr);
  return status != 0 ? status : file_write_all(target, buffer, static_cast<int>(count));
}

}  // namespace

int copy_bytes(file_handle source, file_handle target, uint32_t count) {
  auto* buffer = static_cast<uint8_t*>(pool_alloc(COPY_BUFFER_SIZE));
  if (buffer == nullptr) return ERROR_SYSTEM_MEMORY;
  // More than one block is copied by the system where it can, without passing
  // through the buffer; whatever it leaves goes the buffered way, which also
  // reports a source that ends early or a target that fills up.
  if (count > COPY_BUFFER_SIZE) {
    uint32_t copied = 0;
    os_file_copy(source, target, count, &copied);
    count -= copied;
  }
  int status = 0;
  while (status == 0 && count > COPY_BUFFER_SIZE) {
    status = copy_chunk(source, target, buffer, COPY_BUFFER_SIZE);
    count -= COPY_BUFFER_SIZE;
  }
  if (status == 0) status = copy_chunk(source, target, buffer, count);
  pool_free(buffer);
  return status;
}
