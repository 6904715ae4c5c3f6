// Entry extraction: a space check over the matching entries, then a walk that
// writes each matching entry below the destination, asking before it
// overwrites and reporting every file and directory it creates.
#include "archive/extract.h"

#include <cstdio>
#include <cstring>

#include "archive/entry_target.h"
#include "archive/entry_walk.h"
#include "archive/layout.h"
#include "archive/progress.h"
#include "archive/pump.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/path.h"
#include "foundation/retry.h"

namespace {

// The destination's full path, ending in the platform separator.
int destination_base(const char* destination, char* base, size_t size) {
  if (!os_full_path(destination, base, size)) {
    failure_note_system();
    failure_note_path(destination);
    return ERROR_ENTRY_NAME;
  }
  size_t length = strlen(base);
  if (length > 0 && is_separator(base[length - 1])) return 0;
  if (length + 1 >= size) {
    failure_note_too_long(base);
    return ERROR_ENTRY_NAME;
  }
  base[length] = PATH_SEPARATOR;
  base[length + 1] = '\0';
  return 0;
}

// Walks the whole archive before anything is written: every header and its
// data must lie before the archive's end, every matching entry must be one
// that can be extracted, and the matching entries' content (summed in 64
// bits, so that a large selection cannot wrap round to a small sum) must fit
// the free space. The matching entries' count and content go to progress.
int check_archive(const archive_file* archive, const char* pattern, const char* base, extract_progress* progress) {
  entry_walk walk;
  int status = walk_start(&walk, archive);
  if (status != 0) return status;
  uint64_t sum = 0;
  walk_entry entry;
  while ((status = walk_read(&walk, &entry)) == 1) {
    if (wildcard_match(pattern, entry.name)) {
      status = entry_check(entry);
      if (status != 0) return status;
      sum += entry.header.content_size;
      ++progress->files_total;
    }
    status = walk_skip(&walk, &entry);
    if (status != 0) return status;
  }
  if (status < 0) return status;
  progress->bytes_total = sum;
  double free_bytes = 0;
  const bool known = disk_free_space(base, &free_bytes) == 0;
  if (static_cast<double>(sum) <= free_bytes) return 0;
  note_space_shortage(base, sum, free_bytes, known);
  return ERROR_DISK_SPACE;
}

int write_data(file_handle archive, file_handle file, const entry_header& header) {
  if (header.method == METHOD_STORED) return copy_bytes(archive, file, header.stored_size);
  uint32_t produced = 0;
  int status = inflate_entry(archive, file, header.stored_size, &produced);
  // Damage found by zlib says more than the length it left behind.
  if (status == ERROR_ENTRY_DATA) return status;
  return produced != header.content_size ? ERROR_SIZE_MISMATCH : status;
}

// The mode of a new file for the entry: a private entry's file is created
// private, so that nobody else can open it while its data goes in.
uint32_t new_file_mode(const walk_entry& entry) {
  const bool private_entry = (entry_attributes_to_system(entry.header.attributes) & OS_ATTR_PRIVATE) != 0;
  return FILE_MODE_NEW | (private_entry ? FILE_MODE_PRIVATE : 0);
}

// Writes the entry's data and time into a new file at path, which is removed
// again when the data fails: no half-written file stays.
int write_new_file(file_handle archive, const walk_entry& entry, const char* path, file_handle file) {
  int status = write_data(archive, file, entry.header);
  os_file_time time = 0;
  if (status == 0 && os_dos_to_file_time(entry.header.dos_date, entry.header.dos_time, &time))
    os_file_set_times(file, nullptr, nullptr, &time);
  file_close(file);
  if (status != 0) os_file_delete(path);
  return status;
}

// An existing target is replaced only once its new data is whole: written
// beside it under a temporary name, then moved over it (a link there is
// replaced itself), waiting a moment while a scanner holds it. A read-only
// target refuses the move: it is made writable first, and gets its
// attributes back when the move fails.
int replace_target(file_handle archive, const walk_entry& entry, const char* target) {
  char temporary[PATH_SIZE];
  file_handle file = NO_FILE;
  if (file_create_temporary(target, temporary, sizeof temporary, &file, new_file_mode(entry)) != 0)
    return ERROR_FILE_OPEN;
  int status = write_new_file(archive, entry, temporary, file);
  if (status != 0) return status;
  const uint32_t attributes = os_get_attributes(target);
  const bool read_only = attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_READONLY) != 0;
  const bool cleared = read_only && os_set_attributes(target, attributes & ~OS_ATTR_READONLY);
  if (file_replace_when_free(temporary, target)) return 0;
  failure_note_system();
  if (cleared) os_set_attributes(target, attributes);
  os_file_delete(temporary);
  return ERROR_FILE_OPEN;
}

// Notes the file a failed entry concerned, below the destination as the entry
// names it, and the engine's words for data that failed its checks.
void note_entry_failure(int status, const char* target, const char* base) {
  if (status == ERROR_ENTRY_DATA) failure_note_reason("the deflated data is damaged");
  if (status == ERROR_SIZE_MISMATCH) failure_note_reason("the data's length differs from its header's");
  const size_t base_length = strlen(base);
  failure_note_path(strncmp(target, base, base_length) == 0 ? target + base_length : target);
}

// A target that outgrows PATH_SIZE is named whole: the destination and the
// entry's name always fit the larger room of a noted path.
void note_target_too_long(const char* base, const walk_entry& entry, int use_paths) {
  char whole[FAILURE_PATH_SIZE];
  if (entry_target_path(base, entry.name, use_paths, whole, sizeof whole) == 0) failure_note_too_long(whole);
}

// Writes one matching entry, reading its data from where the walk left the
// archive. 0 also when the user chose to skip it; *written says which.
int extract_entry(archive_file* archive, directory_memo* memo, const walk_entry& entry, const char* base,
                  int use_paths, bool* written) {
  *written = false;
  char target[PATH_SIZE];
  int status = entry_target_path(base, entry.name, use_paths, target, sizeof target);
  if (status != 0) {
    note_target_too_long(base, entry, use_paths);
    return status;
  }
  if (use_paths) status = make_directories(archive, memo, target, strlen(base));
  if (status != 0) {
    note_entry_failure(status, target, base);
    return status;
  }
  // Whatever is at the target, a link that leads nowhere included, exists.
  const bool existed = os_get_attributes(target) != OS_ATTR_INVALID;
  if (existed) {
    int answer = archive_file_notify(archive, EVENT_OVERWRITE_QUERY, target);
    if (answer < 0) return answer;
    if (answer != 1) return 0;
  }
  int answer = archive_file_notify(archive, EVENT_EXTRACTING, target);
  if (answer < 0) return answer;
  if (existed) {
    status = replace_target(archive->file, entry, target);
  } else {
    file_handle file = NO_FILE;
    status = file_open(target, &file, new_file_mode(entry));
    if (status == 0) status = write_new_file(archive->file, entry, target, file);
  }
  if (status != 0) {
    note_entry_failure(status, target, base);
    return status;
  }
  *written = true;
  os_set_attributes(target, entry_attributes_to_system(entry.header.attributes));
  archive_file_notify(archive, EVENT_FILE_CREATED, target);
  return 0;
}

// Tells the callback how far the extraction is; a negative answer cancels.
int report_progress(const archive_file* archive, const extract_progress& progress) {
  char text[PROGRESS_TEXT_SIZE];
  progress_to_text(progress, text);
  const int answer = archive_file_notify(archive, EVENT_PROGRESS, text);
  return answer < 0 ? answer : 0;
}

}  // namespace

int archive_file_extract(archive_file* archive, const char* pattern, const char* destination, int use_paths) {
  if (archive->file == NO_FILE) return ERROR_FILE_OPEN;
  failure_clear();
  char base[PATH_SIZE];
  int status = destination_base(destination, base, sizeof base);
  extract_progress progress;
  if (status == 0) status = check_archive(archive, pattern, base, &progress);
  if (status == 0) status = report_progress(archive, progress);
  if (status != 0) return status;
  directory_memo directories;
  entry_walk walk;
  status = walk_start(&walk, archive);
  bool matched = false;
  walk_entry entry;
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    status = 0;
    if (wildcard_match(pattern, entry.name)) {
      matched = true;
      bool written = false;
      status = extract_entry(archive, &directories, entry, base, use_paths, &written);
      progress.files_done += 1;
      progress.files_written += written ? 1 : 0;
      progress.bytes_done += entry.header.content_size;
      if (status == 0) status = report_progress(archive, progress);
    }
    if (status == 0) status = walk_skip(&walk, &entry);
  }
  if (status < 0) return status;
  return matched ? 0 : ERROR_NO_MATCH;
}
