// The build of a self-extractor from its checked inputs, shared by the
// builder and `qpk sfx`: the checks, the steps that write the stub, the
// option block, the archive and the trailer, and the output moved into place.
#include "archive/self_extractor_build.h"

#include <cstdio>
#include <utility>

#include "archive/copy_bytes.h"
#include "archive/executable_image.h"
#include "archive/locate.h"
#include "foundation/failure.h"
#include "foundation/path.h"

namespace {

// Records a failed step in the result: its status, its message and the file
// whose system reason explains it. False, for the caller to return.
bool fail(se_result* result, int status, const char* message, const char* path = "") {
  result->status = status;
  snprintf(result->message, sizeof result->message, "%s", message);
  snprintf(result->path, sizeof result->path, "%s", path);
  return false;
}

// Writes the whole self-extractor into the open, empty output; true, or false
// with the step that failed in the result.
bool write_self_extractor(const se_build_inputs& inputs, const option_block& block, file_handle exe,
                          const char* output, se_result* result) {
  int status = se_copy_stub(inputs.stub, exe);
  if (status < 0) return fail(result, status, "Error copying self-extractor", output);
  status = se_write_options(exe, &block);
  if (status < 0) return fail(result, status, "Error appending options to self-extractor", output);
  uint32_t archive_offset = se_measure(exe);
  status = se_append_archive(inputs.archive, exe);
  if (status < 0) return fail(result, status, "Error adding QPK to self-extractor", output);
  status = se_fix(exe, archive_offset);
  return status < 0 ? fail(result, status, "Error fixing self-extractor", output) : true;
}

void tell(se_temporary_note note, const char* name) {
  if (note != nullptr) note(name);
}

}  // namespace

bool se_open_inputs(const char* stub, const char* archive, const char* archive_name, se_build_inputs* inputs,
                    se_result* result) {
  result->status = 0;
  result->message[0] = '\0';
  result->path[0] = '\0';
  char text[SE_MESSAGE_SIZE];
  int status = file_open(stub, &inputs->stub, FILE_MODE_READ);
  if (status != 0) {
    inputs->stub = NO_FILE;
    return fail(result, status, "Error copying self-extractor");
  }
  status = file_open(archive, &inputs->archive, FILE_MODE_READ);
  if (status != 0) {
    inputs->archive = NO_FILE;
    snprintf(text, sizeof text, "ERROR: Unable to open the archive \"%s\"", archive_name);
    return fail(result, status, text, archive);
  }
  // A size of 2 GiB or more is reported as -1, which counts as too large.
  int stub_size = 0, archive_size = 0;
  file_size(inputs->stub, &stub_size);
  file_size(inputs->archive, &archive_size);
  const uint64_t total = uint64_t{static_cast<uint32_t>(stub_size)} + sizeof(option_block) +
                         static_cast<uint32_t>(archive_size) + TRAILER_SIZE;
  if (total > static_cast<uint64_t>(INT32_MAX)) {
    snprintf(text, sizeof text, "ERROR: \"%s\" is too large for a self-extractor", archive_name);
    return fail(result, ERROR_BUILD_TOO_LARGE, text);
  }
  archive_bounds bounds;
  status = archive_locate(inputs->archive, &bounds);
  if (status == 0 && bounds.start != 0) status = ERROR_ARCHIVE_SIGNATURE;
  if (status != 0) {
    snprintf(text, sizeof text, "ERROR: \"%s\" is not a QPK archive", archive_name);
    return fail(result, status, text);
  }
  return true;
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

bool se_build_output(const char* stub, const se_build_inputs& inputs, const option_block& block,
                     const char* output, se_temporary_note note, se_result* result) {
  char temporary[PATH_SIZE];
  file_handle exe = NO_FILE;
  // The output is what a failure here concerns: a full disk or a folder
  // that refuses it.
  int status = file_create_temporary(output, temporary, sizeof temporary, &exe);
  if (status != 0) return fail(result, status, "Error copying self-extractor", output);
  tell(note, temporary);
  bool built = write_self_extractor(inputs, block, exe, output, result);
  file_close(exe);
  // Normal attributes, keeping the stub's execute permission on POSIX.
  uint32_t execute = os_get_attributes(stub);
  execute = execute == OS_ATTR_INVALID ? 0 : execute & OS_ATTR_EXECUTE;
  os_set_attributes(temporary, OS_ATTR_NORMAL | execute);
  if (!built) {
    os_file_delete(temporary);
  } else if (file_commit_temporary(temporary, output) != 0) {
    built = fail(result, ERROR_FILE_WRITE, "Error fixing self-extractor", output);
  }
  tell(note, nullptr);
  return built;
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
