// The create command: files in, one archive out. Content is cut into blocks
// of at most 64000 bytes; worker threads deflate the blocks while this thread
// reads ahead, within a fixed window of blocks, and writes them in order.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#include "archive/attributes.h"
#include "archive/layout.h"
#include "archive/pump.h"
#include "foundation/file.h"
#include "tools/qpk/archive_output.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/compressor.h"
#include "tools/qpk/dos_time.h"
#include "tools/qpk/gather.h"

namespace {

struct pending_block {
  content_block data;
  size_t file = 0;
  uint32_t index = 0;
  uint32_t count = 0;  // blocks in the file
};

// Where the entry being written stands.
struct entry_progress {
  uint32_t header_at = 0;
  uint32_t content = 0;
  uint32_t stored = 0;
};

// A file read from start to end through the file layer. Reads at offsets:
// they tell a file that ended early (ERROR_FILE_END) from one that could not
// be read.
class input_reader {
 public:
  ~input_reader() { close(); }
  bool open(const std::string& path) {
    close();
    offset_ = 0;
    if (file_open(path.c_str(), &file_, FILE_MODE_READ) == 0) return true;
    file_ = NO_FILE;
    return false;
  }
  void close() {
    if (file_ != NO_FILE) file_close(file_);
    file_ = NO_FILE;
  }
  // True when the file has size bytes more to read into buffer.
  bool read_exactly(uint8_t* buffer, uint32_t size) {
    if (file_read_at(file_, offset_, buffer, size) != 0) return false;
    offset_ += size;
    return true;
  }
  bool at_end() {
    uint8_t probe = 0;
    return file_read_at(file_, offset_, &probe, 1) == ERROR_FILE_END;
  }

 private:
  file_handle file_ = NO_FILE;
  uint32_t offset_ = 0;
};

const char CHANGED[] = "the file changed while it was being read";

class archive_builder {
 public:
  archive_builder(const std::string& archive, const std::vector<input_file>& files, const create_settings& settings,
                  std::ostream& err)
      : archive_(archive), files_(files), settings_(settings), err_(err) {}

  bool build(archive_output& output) {
    output_ = &output;
    char signature[SIGNATURE_FIELD_SIZE] = {};
    std::snprintf(signature, sizeof signature, "%s", ARCHIVE_SIGNATURE);
    if (!check(output.write(signature, sizeof signature), archive_)) return false;

    unsigned jobs = settings_.jobs != 0 ? settings_.jobs : std::max(1u, std::thread::hardware_concurrency());
    // Several blocks per worker keep every worker busy while the oldest is
    // written, and let this thread read on instead of waiting for each small
    // file's block (at most about 1 MiB per worker).
    slots_.resize(8 * static_cast<size_t>(jobs));
    for (pending_block& slot : slots_) free_.push_back(&slot);
    if (!settings_.store) compressor_ = std::make_unique<compressor>(jobs, settings_.level);

    bool good = true;
    for (size_t file = 0; good && file < files_.size(); ++file) good = read_file(file);
    while (!in_flight_.empty()) good = retire_oldest(good) && good;
    return good;
  }

 private:
  bool check(const std::string& problem, const std::string& path) {
    if (problem.empty()) return true;
    err_ << "qpk: " << path << ": " << problem << '\n';
    return false;
  }

  // Reads one file block by block into the window, retiring the oldest block
  // whenever the window is full.
  bool read_file(size_t file) {
    const input_file& input = files_[file];
    input_reader reader;
    if (!reader.open(input.path)) return check("cannot open the file", input.path);
    uint64_t size = input.facts.size;
    uint32_t count = static_cast<uint32_t>(std::max<uint64_t>(1, (size + PUMP_BUFFER_SIZE - 1) / PUMP_BUFFER_SIZE));
    for (uint32_t index = 0; index < count; ++index) {
      if (free_.empty() && !retire_oldest(true)) return false;
      pending_block* block = free_.back();
      free_.pop_back();
      uint64_t left = size - static_cast<uint64_t>(index) * PUMP_BUFFER_SIZE;
      block->data.input.resize(static_cast<size_t>(std::min<uint64_t>(left, PUMP_BUFFER_SIZE)));
      block->file = file;
      block->index = index;
      block->count = count;
      in_flight_.push_back(block);
      if (!reader.read_exactly(block->data.input.data(), static_cast<uint32_t>(block->data.input.size()))) {
        block->data.done = true;  // never submitted
        return check(CHANGED, input.path);
      }
      if (compressor_) {
        compressor_->submit(&block->data);
      } else {
        store_block(block->data.input, &block->data.output);
        block->data.done = true;
      }
    }
    return reader.at_end() || check(CHANGED, input.path);
  }

  // Waits for the oldest block and, while all is well, writes it.
  bool retire_oldest(bool write) {
    pending_block* block = in_flight_.front();
    in_flight_.pop_front();
    if (compressor_) compressor_->wait(&block->data);
    free_.push_back(block);
    if (!write) return false;
    const input_file& input = files_[block->file];
    if (block->data.status < 0) return check("cannot deflate the file", input.path);
    return write_block(*block);
  }

  bool write_block(const pending_block& block) {
    if (block.index == 0) {
      entry_ = entry_progress{output_->position(), 0, 0};
      entry_header blank{};
      if (!check(output_->write(&blank, sizeof blank), archive_)) return false;
    }
    const std::vector<uint8_t>& data = block.data.output;
    if (!check(output_->write(data.data(), static_cast<uint32_t>(data.size())), archive_)) return false;
    entry_.content += static_cast<uint32_t>(block.data.input.size());
    entry_.stored += static_cast<uint32_t>(data.size());
    return block.index + 1 < block.count || finish_entry(files_[block.file]);
  }

  // Deflating made the entry no smaller than keeping its blocks as they are:
  // write them as stored streams instead, over the deflated data. Still
  // deflate streams, so the data keeps its checksum.
  bool rewrite_stored(const input_file& input) {
    if (!check(output_->seek(entry_.header_at + sizeof(entry_header)), archive_)) return false;
    input_reader reader;
    if (!reader.open(input.path)) return check("cannot open the file", input.path);
    std::vector<uint8_t> block;
    std::vector<uint8_t> stream;
    uint32_t left = entry_.content;
    entry_.stored = 0;
    do {
      block.resize(std::min(left, PUMP_BUFFER_SIZE));
      if (!reader.read_exactly(block.data(), static_cast<uint32_t>(block.size()))) return check(CHANGED, input.path);
      store_block(block, &stream);
      if (!check(output_->write(stream.data(), static_cast<uint32_t>(stream.size())), archive_)) return false;
      entry_.stored += static_cast<uint32_t>(stream.size());
      left -= static_cast<uint32_t>(block.size());
    } while (left > 0);
    return reader.at_end() || check(CHANGED, input.path);
  }

  bool finish_entry(const input_file& input) {
    if (!settings_.store && entry_.stored >= stored_streams_size(entry_.content) && !rewrite_stored(input))
      return false;
    entry_header header{};
    std::snprintf(header.name, sizeof header.name, "%s", input.name.c_str());
    dos_stamp stamp = dos_stamp_from_unix(input.facts.modified);
    header.dos_date = stamp.date;
    header.dos_time = stamp.time;
    header.method = METHOD_DEFLATED;
    header.content_size = entry_.content;
    header.stored_size = entry_.stored;
    header.attributes = entry_attributes_from_system(input.facts.attributes);
    uint32_t end = output_->position();
    return check(output_->seek(entry_.header_at), archive_) &&
           check(output_->write(&header, sizeof header), archive_) && check(output_->seek(end), archive_);
  }

  const std::string& archive_;
  const std::vector<input_file>& files_;
  const create_settings& settings_;
  std::ostream& err_;
  archive_output* output_ = nullptr;
  std::vector<pending_block> slots_;
  std::vector<pending_block*> free_;
  std::deque<pending_block*> in_flight_;
  // Declared after the blocks so that its workers stop before they go.
  std::unique_ptr<compressor> compressor_;
  entry_progress entry_;
};

}  // namespace

int qpk_create(const std::string& archive, const std::vector<std::string>& paths,
               const create_settings& settings, std::ostream& err) {
  std::vector<input_file> files;
  if (!gather_inputs(paths, archive, settings, &files, err)) return 1;
  if (files.empty()) {
    err << "qpk: " << archive << ": nothing to store (empty folders are not kept"
        << (settings.excludes.empty() ? "" : "; --exclude left out the rest") << ")\n";
    return 1;
  }
  archive_output output;
  std::string problem = output.open(archive);
  if (!problem.empty()) {
    err << "qpk: " << archive << ": " << problem << '\n';
    return 1;
  }
  if (!archive_builder(archive, files, settings, err).build(output)) return 1;
  problem = output.commit();
  if (!problem.empty()) {
    err << "qpk: " << archive << ": " << problem << '\n';
    return 1;
  }
  return 0;
}
