// Helpers for the qpk tests: an archive reader written from the format's
// description (byte offsets and zlib, not the engine), command runs that
// capture their output, and file facts to set and compare.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <utime.h>

#include "tests/unit/test_util.h"
#include "tools/qpk/commands.h"

struct read_entry {
  std::string name;
  uint16_t date = 0;
  uint16_t time = 0;
  uint16_t method = 0;
  uint32_t size = 0;
  uint32_t stored = 0;
  uint32_t attributes = 0;
  std::string content;           // the data, inflated when deflated
  std::vector<size_t> streams;   // output length of each zlib stream
};

inline uint32_t little_endian(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Inflates data made of zlib streams laid end to end, recording each stream's
// output length; fails the test on damage.
inline std::string inflate_streams(const std::string& data, std::vector<size_t>* streams) {
  std::string content;
  size_t used = 0;
  while (used < data.size()) {
    z_stream stream{};
    EXPECT_EQ(Z_OK, inflateInit(&stream));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + used));
    stream.avail_in = static_cast<uInt>(data.size() - used);
    std::string output(70000, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = static_cast<uInt>(output.size());
    int result = inflate(&stream, Z_FINISH);
    EXPECT_EQ(Z_STREAM_END, result) << "every stream must be complete and inflate to at most 64000 bytes";
    size_t produced = stream.total_out;
    used += stream.total_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END) break;
    streams->push_back(produced);
    content.append(output, 0, produced);
  }
  return content;
}

inline std::vector<read_entry> read_archive_bytes(const std::string& bytes) {
  std::vector<read_entry> entries;
  EXPECT_GE(bytes.size(), 32u);
  EXPECT_EQ(0, bytes.compare(0, 23, std::string("QOR ARCHIVE FORMAT 2.0") + '\0'));
  EXPECT_EQ(std::string(9, '\0'), bytes.substr(23, 9)) << "the signature field is padded with zeros";
  size_t at = 32;
  while (at + 146 <= bytes.size()) {
    read_entry entry;
    std::string name_field = bytes.substr(at, 128);
    size_t zero = name_field.find('\0');
    EXPECT_NE(std::string::npos, zero) << "names end inside their field";
    entry.name = name_field.substr(0, zero);
    entry.date = static_cast<uint16_t>(little_endian(bytes, at + 128, 2));
    entry.time = static_cast<uint16_t>(little_endian(bytes, at + 130, 2));
    entry.method = static_cast<uint16_t>(little_endian(bytes, at + 132, 2));
    entry.size = little_endian(bytes, at + 134, 4);
    entry.stored = little_endian(bytes, at + 138, 4);
    entry.attributes = little_endian(bytes, at + 142, 4);
    at += 146;
    EXPECT_LE(at + entry.stored, bytes.size()) << entry.name << ": data must lie inside the file";
    std::string data = bytes.substr(at, entry.stored);
    at += entry.stored;
    if (entry.method == 1) {
      entry.content = inflate_streams(data, &entry.streams);
    } else {
      EXPECT_EQ(2, entry.method) << entry.name;
      EXPECT_EQ(entry.size, entry.stored) << entry.name << ": stored data is the content";
      entry.content = data;
    }
    EXPECT_EQ(entry.size, entry.content.size()) << entry.name;
    entries.push_back(entry);
  }
  EXPECT_EQ(at, bytes.size()) << "no bytes may follow the last entry of a plain archive";
  return entries;
}

inline std::vector<read_entry> read_archive(const std::string& path) { return read_archive_bytes(read_file(path)); }

inline std::vector<std::string> entry_names(const std::vector<read_entry>& entries) {
  std::vector<std::string> names;
  for (const read_entry& entry : entries) names.push_back(entry.name);
  return names;
}

// One qpk command line, as the program would run it.
struct command_result {
  int status = -1;
  std::string out;
  std::string err;
};

inline command_result run_qpk(std::vector<std::string> words) {
  words.insert(words.begin(), "qpk");
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  std::ostringstream out, err;
  command_result result;
  result.status = qpk_run(static_cast<int>(argv.size()), argv.data(), out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

inline void set_modified(const std::string& path, int64_t unix_seconds) {
  utimbuf times{};
  times.actime = static_cast<time_t>(unix_seconds);
  times.modtime = static_cast<time_t>(unix_seconds);
  ASSERT_EQ(0, utime(path.c_str(), &times)) << path;
}

inline void make_read_only(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

// The names in a folder, sorted: what a failed command may have left there.
inline std::vector<std::string> folder_contents(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Text that deflates well, and bytes that do not deflate at all.
inline std::string text_of(size_t size) {
  std::string text;
  for (unsigned line = 0; text.size() < size; ++line) text += "line " + std::to_string(line % 977) + " of the sample text\n";
  return text.substr(0, size);
}

inline std::string noise_of(size_t size, uint32_t seed = 12345) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return bytes;
}
