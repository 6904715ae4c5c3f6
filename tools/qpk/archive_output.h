// The archive file being written by the create command: a temporary file
// beside the target, renamed over it only when complete, so that no
// half-written archive is ever left. Every write keeps the archive within the
// 2 GiB the format can address. Writes gather in a buffer, so that an entry's
// header, data and finished header cost no system call of their own; a
// failed write is reported by the call that sends the buffer to the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/file.h"

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
  static constexpr uint32_t BUFFER_SIZE = 256 * 1024;

  // Sends the buffer to the file at its position; "" or the reason.
  std::string flush();
  std::string write_through(const void* data, uint32_t size, uint32_t at);

  std::string target_;
  std::string temporary_;
  file_handle file_ = NO_FILE;
  uint32_t position_ = 0;
  std::vector<uint8_t> buffer_;  // bytes from buffer_at_ on, not yet in the file
  uint32_t buffer_at_ = 0;
};
