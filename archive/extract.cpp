// Entry extraction: a space check over the matching entries, then a walk that
// writes each matching entry below the destination, asking before it
// overwrites and reporting every file and directory it creates.
#include "archive/extract.h"

#include <cstdio>
#include <cstring>

#include "archive/access.h"
#include "archive/entry_target.h"
#include "archive/entry_walk.h"
#include "archive/layout.h"
#include "archive/pump.h"
#include "foundation/file.h"
#include "foundation/path.h"

namespace {

// The destination's full path, ending in the platform separator.
int destination_base(const char* destination, char* base, size_t size) {
  if (!os_full_path(destination, base, size)) return ERROR_ENTRY_NAME;
  size_t length = strlen(base);
  if (length > 0 && is_separator(base[length - 1])) return 0;
  if (length + 1 >= size) return ERROR_ENTRY_NAME;
  base[length] = PATH_SEPARATOR;
  base[length + 1] = '\0';
  return 0;
}

// Sums content_size over the matching entries (in 64 bits, so that a large
// selection cannot wrap round to a small sum) and compares it with the free
// space. Only an entry that cannot be reached fails here; entries cut short at
// the end of the file are for the walk to report.
int check_space(file_handle archive, const char* pattern, const char* base) {
  entry_walk walk;
  int status = walk_start(&walk, archive);
  if (status != 0) return status;
  uint64_t sum = 0;
  walk_entry entry;
  while ((status = walk_read(&walk, &entry)) == 1) {
    if (wildcard_match(pattern, entry.name)) sum += entry.header.content_size;
    status = walk_skip(&walk, &entry);
    if (status != 0) return status;
  }
  if (status < 0) return status;
  double free_bytes = 0;
  disk_free_space(base, &free_bytes);
  return static_cast<double>(sum) > free_bytes ? ERROR_DISK_SPACE : 0;
}

// Refuses what cannot be extracted before anything is created for it.
int check_entry(const walk_entry& entry) {
  if (!entry.name_terminated || entry_name_check(entry.name) != 0) return ERROR_ENTRY_NAME;
  const entry_header& header = entry.header;
  if (header.method != METHOD_DEFLATED && header.method != METHOD_STORED) return ERROR_ENTRY_DATA;
  // Stored data is the content itself; other sizes would defeat the space check.
  if (header.method == METHOD_STORED && header.stored_size != header.content_size) return ERROR_SIZE_MISMATCH;
  return 0;
}

// Creates or opens the target; a read-only target is made writable for the
// second try and gets its attributes back when that fails too.
int open_target(const char* target, file_handle* file) {
  if (file_open(target, file, FILE_MODE_CREATE) == 0) return 0;
  uint32_t attributes = os_get_attributes(target);
  bool read_only = attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_READONLY) != 0;
  if (read_only) os_set_attributes(target, attributes & ~OS_ATTR_READONLY);
  int status = file_open(target, file, FILE_MODE_CREATE);
  if (status != 0 && read_only) os_set_attributes(target, attributes);
  return status;
}

int write_data(file_handle archive, file_handle file, const entry_header& header) {
  if (header.method == METHOD_STORED) return copy_bytes(archive, file, header.stored_size);
  uint32_t produced = 0;
  int status = inflate_entry(archive, file, header.stored_size, &produced);
  // Damage found by zlib says more than the length it left behind.
  if (status == ERROR_ENTRY_DATA) return status;
  return produced != header.content_size ? ERROR_SIZE_MISMATCH : status;
}

// Writes one matching entry, reading its data from where the walk left the
// archive. 0 also when the user chose to skip it.
int extract_entry(file_handle archive, const walk_entry& entry, const char* base, int use_paths,
                  directory_memo* directories) {
  int status = check_entry(entry);
  if (status != 0) return status;
  char target[PATH_SIZE];
  status = entry_target_path(base, entry.name, use_paths, target, sizeof target);
  if (status != 0) return status;
  // A directory that cannot be made shows as the open failing below.
  if (use_paths) make_directories(target, directories);
  bool existed = file_exists(target) == 0;
  if (existed) {
    int answer = archive_notify(EVENT_OVERWRITE_QUERY, target);
    if (answer < 0) return answer;
    if (answer != 1) return 0;
  }
  int answer = archive_notify(EVENT_EXTRACTING, target);
  if (answer < 0) return answer;
  file_handle file = NO_FILE;
  status = open_target(target, &file);
  if (status != 0) return status;
  status = write_data(archive, file, entry.header);
  // An older, longer file loses its tail; a failed entry keeps what was
  // written. A file this entry created has no tail.
  if (existed) os_file_set_end(file);
  os_file_time time = 0;
  if (status == 0 && os_dos_to_file_time(entry.header.dos_date, entry.header.dos_time, &time))
    os_file_set_times(file, nullptr, nullptr, &time);
  file_close(file);
  if (status != 0) return status;
  os_set_attributes(target, entry_attributes_to_system(entry.header.attributes));
  archive_notify(EVENT_FILE_CREATED, target);
  return 0;
}

}  // namespace

int archive_extract(const char* pattern, const char* destination, int use_paths) {
  file_handle archive = archive_handle();
  if (archive == NO_FILE) return ERROR_FILE_OPEN;
  char base[PATH_SIZE];
  int status = destination_base(destination, base, sizeof base);
  if (status != 0) return status;
  status = check_space(archive, pattern, base);
  if (status != 0) return status;
  entry_walk walk;
  status = walk_start(&walk, archive);
  bool matched = false;
  walk_entry entry;
  directory_memo directories;
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    status = 0;
    if (wildcard_match(pattern, entry.name)) {
      matched = true;
      status = extract_entry(archive, entry, base, use_paths, &directories);
    }
    if (status == 0) status = walk_skip(&walk, &entry);
  }
  if (status < 0) return status;
  return matched ? 0 : ERROR_NO_MATCH;
}
