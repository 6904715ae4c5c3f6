// Writing the archive beside its target and moving it into place.
#include "tools/qpk/archive_output.h"

#include <algorithm>

#include "foundation/path.h"
#include "tools/qpk/gather.h"
#include "tools/qpk/pending_files.h"

archive_output::~archive_output() {
  if (file_ != NO_FILE) file_close(file_);
  if (!temporary_.empty()) {
    pending_set(PENDING_ARCHIVE_OUTPUT, nullptr);
    os_file_delete(temporary_.c_str());
  }
}

std::string archive_output::open(const std::string& target) {
  char full[PATH_SIZE];
  if (!os_full_path(target.c_str(), full, sizeof full)) return "the path is too long";
  // Made and opened in one step, so that nothing can be put in its place
  // (a link, say) before it is written.
  char temporary[PATH_SIZE];
  if (file_create_temporary(full, temporary, sizeof temporary, &file_) != 0) {
    file_ = NO_FILE;
    return "cannot create a file in its folder";
  }
  temporary_ = temporary;
  pending_set(PENDING_ARCHIVE_OUTPUT, temporary);
  target_ = target;
  position_ = 0;
  return "";
}

std::string archive_output::write(const void* data, uint32_t size) {
  if (static_cast<uint64_t>(position_) + size > ARCHIVE_LIMIT) {
    return "the archive would reach 2 GiB, more than the format can address";
  }
  // The buffer takes writes that begin inside it or right at its end.
  uint64_t buffer_end = static_cast<uint64_t>(buffer_at_) + buffer_.size();
  bool joins = position_ >= buffer_at_ && position_ <= buffer_end;
  if (!joins || static_cast<uint64_t>(position_ - buffer_at_) + size > BUFFER_SIZE) {
    std::string problem = flush();
    if (!problem.empty()) return problem;
    buffer_at_ = position_;
    if (size > BUFFER_SIZE) {
      problem = write_through(data, size, position_);
      if (problem.empty()) position_ += size;
      return problem;
    }
  }
  size_t offset = position_ - buffer_at_;
  if (offset + size > buffer_.size()) buffer_.resize(offset + size);
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::copy(bytes, bytes + size, buffer_.begin() + static_cast<std::ptrdiff_t>(offset));
  position_ += size;
  return "";
}

std::string archive_output::seek(uint32_t position) {
  if (position > ARCHIVE_LIMIT) return "cannot set the write position";
  position_ = position;
  return "";
}

std::string archive_output::flush() {
  if (buffer_.empty()) return "";
  std::string problem = write_through(buffer_.data(), static_cast<uint32_t>(buffer_.size()), buffer_at_);
  buffer_.clear();
  return problem;
}

std::string archive_output::write_through(const void* data, uint32_t size, uint32_t at) {
  if (file_seek(file_, static_cast<int32_t>(at), FILE_SEEK_SET) != 0) return "cannot set the write position";
  if (file_write_all(file_, data, static_cast<int>(size)) != 0) return "cannot write (disk full?)";
  return "";
}

std::string archive_output::commit() {
  std::string problem = flush();
  bool cut = problem.empty() && file_seek(file_, static_cast<int32_t>(position_), FILE_SEEK_SET) == 0 &&
             os_file_set_end(file_);
  file_close(file_);
  file_ = NO_FILE;
  if (!problem.empty()) return problem;
  if (!cut) return "cannot set the archive's length";
  // Moved into place, or removed when it cannot be.
  const bool moved = file_commit_temporary(temporary_.c_str(), target_.c_str()) == 0;
  temporary_.clear();
  pending_set(PENDING_ARCHIVE_OUTPUT, nullptr);
  return moved ? "" : "cannot move the finished archive into place";
}
