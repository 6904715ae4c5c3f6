// The build of a self-extractor from its checked inputs, shared by the
// builder and `qpk sfx`: the checks, the steps that write the stub, the
// option block, the archive and the trailer, and the output moved into place.
#include "archive/self_extractor_build.h"

#include <utility>

#include "archive/copy_bytes.h"
#include "archive/executable_image.h"
#include "archive/locate.h"
#include "foundation/failure.h"
#include "foundation/path.h"
#include "foundation/retry.h"

namespace {

// Writes the whole self-extractor into the open, empty output; null, or the
// message of the step that failed.
const char* write_self_extractor(const se_build_inputs& inputs, const option_block& block, file_handle exe,
                                 int* status) {
  *status = se_copy_stub(inputs.stub, exe);
  if (*status < 0) return "Error copying self-extractor";
  *status = se_write_options(exe, &block);
  if (*status < 0) return "Error appending options to self-extractor";
  uint32_t archive_offset = se_measure(exe);
  *status = se_append_archive(inputs.archive, exe);
  if (*status < 0) return "Error adding QPK to self-extractor";
  *status = se_fix(exe, archive_offset);
  return *status < 0 ? "Error fixing self-extractor" : nullptr;
}

void tell(se_temporary_note note, const char* name) {
  if (note != nullptr) note(name);
}

}  // namespace

const char* se_open_inputs(const char* stub, const char* archive, se_build_inputs* inputs) {
  if (file_open(stub, &inputs->stub, FILE_MODE_READ) != 0) {
    inputs->stub = NO_FILE;
    return "Error copying self-extractor";
  }
  if (file_open(archive, &inputs->archive, FILE_MODE_READ) != 0) {
    inputs->archive = NO_FILE;
    failure_note_path(archive);
    return "ERROR: Unable to open the archive \"%s\"";
  }
  // A size of 2 GiB or more is reported as -1, which counts as too large.
  int stub_size = 0, archive_size = 0;
  file_size(inputs->stub, &stub_size);
  file_size(inputs->archive, &archive_size);
  const uint64_t total = uint64_t{static_cast<uint32_t>(stub_size)} + sizeof(option_block) +
                         static_cast<uint32_t>(archive_size) + TRAILER_SIZE;
  if (total > static_cast<uint64_t>(INT32_MAX)) return "ERROR: \"%s\" is too large for a self-extractor";
  archive_bounds bounds;
  if (archive_locate(inputs->archive, &bounds) != 0 || bounds.start != 0) return "ERROR: \"%s\" is not a QPK archive";
  return nullptr;
}

void se_close_inputs(se_build_inputs* inputs) {
  if (inputs->stub != NO_FILE) file_close(inputs->stub);
  if (inputs->archive != NO_FILE) file_close(inputs->archive);
  *inputs = {};
}

// A signature belongs to the builder's own file, not to what is built from
// it: a signed builder is copied as it was before signing, up to its image's
// end, with no certificate table named in its header and no checksum (a
// signer sets one), so that the self-extractor can be signed afresh.
int se_copy_stub(file_handle source, file_handle target) {
  int size = 0, start = 0;
  file_size(source, &size);
  if (size < 0 || file_tell(target, &start) != 0) return ERROR_COPY_STUB;
  uint32_t length = static_cast<uint32_t>(size);
  pe_security_directory security;
  const bool signed_image = pe_security_find(source, &security) == 0 && (security.offset != 0 || security.size != 0);
  if (signed_image && (executable_image_unsigned_end(source, &length) != 0 ||
                       uint64_t{security.entry} + PE_DIRECTORY_ENTRY_SIZE > length))
    return ERROR_COPY_STUB;
  if (file_seek(source, 0, FILE_SEEK_SET) != 0 || copy_bytes(source, target, length) != 0) return ERROR_COPY_STUB;
  if (!signed_image) return 0;
  const uint8_t zeros[PE_DIRECTORY_ENTRY_SIZE] = {};
  for (const auto& [field, count] : {std::pair{security.checksum, PE_CHECKSUM_SIZE}, std::pair{security.entry, PE_DIRECTORY_ENTRY_SIZE}}) {
    if (file_seek(target, static_cast<int32_t>(static_cast<uint32_t>(start) + field), FILE_SEEK_SET) != 0 ||
        file_write_all(target, zeros, static_cast<int>(count)) != 0)
      return ERROR_COPY_STUB;
  }
  return file_seek(target, 0, FILE_SEEK_END) == 0 ? 0 : ERROR_COPY_STUB;
}

const char* se_build_output(const char* stub, const se_build_inputs& inputs, const option_block& block,
                            const char* output, int* status, se_temporary_note note) {
  char temporary[PATH_SIZE];
  file_handle exe = NO_FILE;
  // The output is what a failure here concerns: a full disk or a folder
  // that refuses it.
  if (file_create_temporary(output, temporary, sizeof temporary, &exe) != 0) {
    failure_note_path(output);
    return "Error copying self-extractor";
  }
  tell(note, temporary);
  const char* failure = write_self_extractor(inputs, block, exe, status);
  if (failure != nullptr) failure_note_path(output);
  file_close(exe);
  // Normal attributes, keeping the stub's execute permission on POSIX.
  uint32_t execute = os_get_attributes(stub);
  execute = execute == OS_ATTR_INVALID ? 0 : execute & OS_ATTR_EXECUTE;
  os_set_attributes(temporary, OS_ATTR_NORMAL | execute);
  // A scanner looking at the new file holds it a moment: the move waits.
  if (failure == nullptr && !file_replace_when_free(temporary, output)) {
    failure_note_system();
    failure_note_path(output);
    failure = "Error fixing self-extractor";
  }
  if (failure != nullptr) os_file_delete(temporary);
  tell(note, nullptr);
  return failure;
}

int se_write_options(file_handle exe, const option_block* block) {
  int status = file_seek(exe, 0, FILE_SEEK_END);
  return status != 0 ? status : file_write_all(exe, block, sizeof *block);
}

uint32_t se_measure(file_handle file) {
  int size = 0;
  file_size(file, &size);
  return size > 0 ? static_cast<uint32_t>(size) : 0;
}

int se_append_archive(file_handle archive, file_handle exe) {
  int length = 0;
  file_size(archive, &length);
  if (length < 0) return ERROR_FILE_READ;
  int status = file_seek(archive, 0, FILE_SEEK_SET);
  if (status == 0) status = file_seek(exe, 0, FILE_SEEK_END);
  return status != 0 ? status : copy_bytes(archive, exe, static_cast<uint32_t>(length));
}

int se_fix(file_handle exe, uint32_t archive_offset) {
  int status = file_seek(exe, 0, FILE_SEEK_END);
  if (status == 0) status = file_write_all(exe, &archive_offset, TRAILER_SIZE);
  os_file_time now = os_time_now();
  if (!os_file_set_times(exe, &now, &now, &now)) status = ERROR_FILE_WRITE;
  return status;
}
