// The cleanup command: clean-up keys whose process has ended (killed, or
// crashed, before its own clean-up), with their recorded paths; with --apply
// their paths are deleted through the program's own clean-up walk, then the
// keys. A key whose process still runs is never touched.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cleanup/cleanup_key.h"
#include "foundation/backend.h"
#include "foundation/path.h"
#include "tools/qpk/commands.h"

namespace {

// The temporary folder of an extraction that deletes afterwards is named by
// the platform's temporary-name service with this prefix.
constexpr char TEMPORARY_PREFIX[] = "QOR";
constexpr size_t PROCESS_NAME_WIDTH = 8;

struct leftover_key {
  std::string name;                // the full key path
  uint32_t process_id;
  std::vector<std::string> paths;  // by value number; empty when unreadable
  bool readable = true;
};

void collect_name(const char* name, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(name); }

// "%8lx": right-aligned lowercase hexadecimal, padded with spaces. Other
// subkeys are not clean-up keys.
bool parse_process_id(const std::string& name, uint32_t* out) {
  if (name.size() != PROCESS_NAME_WIDTH) return false;
  size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  uint32_t value = 0;
  for (size_t i = first; i < name.size(); ++i) {
    char c = name[i];
    if (c >= '0' && c <= '9') {
      value = value * 16 + static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value = value * 16 + static_cast<uint32_t>(c - 'a' + 10);
    } else {
      return false;
    }
  }
  *out = value;
  return true;
}

void read_paths(leftover_key* key) {
  os_key handle = nullptr;
  uint32_t count = 0;
  if (!os_key_open(key->name.c_str(), &handle)) {
    key->readable = false;
    return;
  }
  if (!os_key_value_count(handle, &count)) key->readable = false;
  for (uint32_t index = 0; key->readable && index < count; ++index) {
    char path[CLEANUP_VALUE_SIZE + 1] = {};
    char value_name[CLEANUP_VALUE_NAME_SIZE];
    cleanup_value_name(index, value_name, sizeof value_name);
    if (!os_key_get_value(handle, value_name, path, CLEANUP_VALUE_SIZE)) path[0] = '\0';
    key->paths.emplace_back(path);
  }
  os_key_close(handle);
}

std::vector<leftover_key> find_leftover_keys() {
  std::vector<std::string> names;
  std::vector<leftover_key> keys;
  if (!os_key_list(CLEANUP_KEY_ROOT, collect_name, &names)) return keys;
  for (const std::string& name : names) {
    uint32_t process_id = 0;
    if (!parse_process_id(name, &process_id) || os_process_alive(process_id)) continue;
    leftover_key key;
    char key_name[CLEANUP_KEY_NAME_SIZE];
    cleanup_key_name_of(process_id, key_name, sizeof key_name);
    key.name = key_name;
    key.process_id = process_id;
    read_paths(&key);
    keys.push_back(std::move(key));
  }
  return keys;
}

// The folder the run extracted into: the one holding its first recorded
// path, which the run created directly inside its fresh temporary folder.
// Empty when that folder is not a self-extractor's temporary folder.
std::string extraction_folder(const leftover_key& key) {
  if (key.paths.empty() || key.paths[0].empty()) return "";
  const std::string& first = key.paths[0];
  size_t end = first.size();
  while (end > 0 && !is_separator(first[end - 1])) --end;
  if (end < 2) return "";
  std::string folder = first.substr(0, end - 1);
  size_t start = folder.size();
  while (start > 0 && !is_separator(folder[start - 1])) --start;
  if (start == 0 || folder.compare(start, sizeof TEMPORARY_PREFIX - 1, TEMPORARY_PREFIX) != 0) return "";
  return folder;
}

void show_key(const leftover_key& key, std::ostream& out) {
  out << key.name << "  (process " << key.process_id << " has ended";
  if (!key.readable) {
    out << "; its values cannot be read)\n";
    return;
  }
  out << ", " << key.paths.size() << (key.paths.size() == 1 ? " path)\n" : " paths)\n");
  for (size_t index = 0; index < key.paths.size(); ++index) {
    out << "  " << index << "  " << (key.paths[index].empty() ? "(unreadable)" : key.paths[index]) << '\n';
  }
}

// Deletes what the key recorded, as the run's own clean-up would have. False
// when the key is left, or any of its paths is still there.
bool apply_key(const leftover_key& key, std::ostream& out, std::ostream& err) {
  std::string folder = extraction_folder(key);
  if (!key.paths.empty() && folder.empty()) {
    err << "qpk: " << key.name << ": left alone: its first path is not inside a self-extractor's temporary folder\n";
    return false;
  }
  // The process may have been a different one by now under the same number.
  if (os_process_alive(key.process_id)) {
    err << "qpk: " << key.name << ": left alone: process " << key.process_id << " is running again\n";
    return false;
  }
  cleanup_walk(key.name.c_str(), folder.c_str());
  if (!folder.empty()) os_dir_remove(folder.c_str());
  bool whole = true;
  for (const std::string& path : key.paths) {
    if (path.empty() || os_get_attributes(path.c_str()) == OS_ATTR_INVALID) continue;
    err << "qpk: " << key.name << ": left " << path
        << (path.compare(0, folder.size(), folder) == 0 ? ": could not delete it\n" : ": outside its folder\n");
    whole = false;
  }
  os_key left = nullptr;
  if (os_key_open(key.name.c_str(), &left)) {
    os_key_close(left);
    err << "qpk: " << key.name << ": could not delete the key\n";
    return false;
  }
  out << "Removed " << key.name << '\n';
  return whole;
}

}  // namespace

int qpk_cleanup(bool apply, std::ostream& out, std::ostream& err) {
  std::vector<leftover_key> keys = find_leftover_keys();
  if (keys.empty()) {
    out << "No leftover clean-up keys.\n";
    return 0;
  }
  bool all_removed = true;
  for (const leftover_key& key : keys) {
    show_key(key, out);
    if (apply && !apply_key(key, out, err)) all_removed = false;
  }
  if (!apply) out << "Run \"qpk cleanup --apply\" to delete these paths and keys.\n";
  return all_removed ? 0 : 1;
}
