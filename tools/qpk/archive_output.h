// The archive file being written by the create command: a temporary file
// beside the target, renamed over it only when complete, so that no
// half-written archive is ever left. Every write keeps the archive within the
// 2 GiB the format can address.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/backend.h"

// The temporary file being written, or nullptr: what an interrupt handler
// removes before the process ends.
const char* archive_output_pending();

class archive_output {
 public:
  archive_output() = default;
  ~archive_output();  // removes the temporary file unless committed
  archive_output(const archive_output&) = delete;
  archive_output& operator=(const archive_output&) = delete;

  // Creates the temporary file in the target's folder. "" or the reason.
  std::string open(const std::string& target);
  // "" or the reason (a failed write, or the archive reaching 2 GiB).
  std::string write(const void* data, uint32_t size);
  std::string seek(uint32_t position);
  uint32_t position() const { return position_; }
  // Cuts the file at the current position and moves it over the target.
  std::string commit();

 private:
  std::string target_;
  std::string temporary_;
  file_handle file_ = NO_FILE;
  uint32_t position_ = 0;
};
