// The platform back-end: one small function per system call, defined once in
// foundation/win32/ and once in foundation/posix/. Nothing outside those two
// folders includes <windows.h> or POSIX headers; the portable fronts call only
// these. This header must not include any status header: <windows.h> defines
// macros (ERROR_FILE_NOT_FOUND, ERROR_CANCELLED, ...) that collide with ours.
//
// Unless said otherwise a function returns true on success. Paths are
// zero-terminated byte strings in the platform's own form; on Win32 a path
// that is valid UTF-8 and not ASCII is UTF-8 (the wide functions take it),
// any other is in the ANSI code page.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// A HANDLE on Win32, a file descriptor on POSIX; -1 is no file. The file
// layer hands it out as its os_file (foundation/file.h).
using os_file = intptr_t;
constexpr os_file OS_NO_FILE = -1;

// ---- errors ----
// The system's error code the last failed call left (errno, GetLastError),
// and its text, cut to size bytes with its zero.
int os_last_error();
void os_error_text(int error, char* out, size_t size);
// Whether the error is one another process's passing hold on a file gives
// (Win32: a sharing or lock violation, or access denied, as a scanner's open
// handle or an ended process's current directory cause). POSIX has none.
bool os_error_is_held(int error);

// ---- files (the file access layer's back-end) ----
// OS_OPEN_ALWAYS opens for reading and writing and creates an empty file when
// none exists; an existing file keeps its contents. OS_OPEN_NEW creates a new
// file for reading and writing and fails when anything is at the path, a
// symbolic link included (whose target is never created or opened).
// OS_OPEN_NEW_PRIVATE is OS_OPEN_NEW whose file, on POSIX, only its owner may
// open (mode 0600) from the moment it exists.
enum os_open_mode { OS_OPEN_READ, OS_OPEN_WRITE, OS_OPEN_READ_WRITE, OS_OPEN_ALWAYS, OS_OPEN_NEW, OS_OPEN_NEW_PRIVATE };
enum os_seek_origin { OS_SEEK_SET = 0, OS_SEEK_CUR = 1, OS_SEEK_END = 2 };

// Opens a file (an existing one unless the mode is OS_OPEN_ALWAYS); others may
// read it while it is open.
bool os_file_open(const char* name, os_open_mode mode, os_file* out);
bool os_file_read(os_file file, void* buffer, uint32_t count, uint32_t* done);
bool os_file_write(os_file file, const void* buffer, uint32_t count, uint32_t* done);
// Moves the position; reports the new position (low 32 bits). False when the
// position cannot be set (before the start, or a bad handle).
bool os_file_seek(os_file file, int32_t offset, os_seek_origin origin, uint32_t* position);
void os_file_close(os_file file);
// Cuts the file at its current position.
bool os_file_set_end(os_file file);
// Copies count bytes from one file's position to the other's inside the
// system, moving both positions, when the system can and the source holds
// that many bytes; done tells how many were copied. False leaves the rest
// (all of it where there is no such copy, as on Win32) to the caller.
bool os_file_copy(os_file from, os_file to, uint32_t count, uint32_t* done);

// Creates a new file for writing as OS_OPEN_NEW does (refused when anything,
// a symbolic link too, is at the path). On POSIX the file has from its
// creation the permissions os_set_attributes would give it afterwards
// (OS_ATTR_* bits), so nothing is left to set by path; Win32 sets them by
// path once the file is written (OS_CREATE_SETS_ATTRIBUTES false).
bool os_file_create(const char* name, uint32_t attributes, os_file* out);
#ifdef _WIN32
constexpr bool OS_CREATE_SETS_ATTRIBUTES = false;
#else
constexpr bool OS_CREATE_SETS_ATTRIBUTES = true;
#endif

// Read and write at an offset. POSIX leaves the file's position alone, so
// that threads may share a file; Win32 moves it.
bool os_file_read_at(os_file file, uint32_t offset, void* buffer, uint32_t count, uint32_t* done);
bool os_file_write_at(os_file file, uint32_t offset, const void* buffer, uint32_t count, uint32_t* done);
// Sets the file's size, a longer file reading zeros past its old end.
bool os_file_set_size(os_file file, uint32_t size);
// os_file_copy between given offsets, leaving both positions alone.
bool os_file_copy_at(os_file from, uint32_t from_offset, os_file to, uint32_t to_offset, uint32_t count,
                     uint32_t* done);

// File times are 100-nanosecond ticks since 1601-01-01 UTC on both platforms.
using os_file_time = uint64_t;
os_file_time os_time_now();
// Null pointers leave that time unchanged.
bool os_file_set_times(os_file file, const os_file_time* creation,
                       const os_file_time* last_access, const os_file_time* last_write);
// The platform's DOS date/time conversion, fields taken as UTC. False for a
// date or time the conversion refuses.
bool os_dos_to_file_time(uint16_t dos_date, uint16_t dos_time, os_file_time* out);

// ---- file-system names ----
// System file attribute bits. OS_ATTR_EXECUTE has no Win32 meaning: on POSIX it
// gives the owner (and, as the umask allows, group and others) execute rights.
// OS_ATTR_PRIVATE has none either: on POSIX it takes every right from group
// and others. Setting attributes on POSIX never leaves setuid or setgid.
constexpr uint32_t OS_ATTR_READONLY = 0x01;
constexpr uint32_t OS_ATTR_HIDDEN = 0x02;
constexpr uint32_t OS_ATTR_SYSTEM = 0x04;
constexpr uint32_t OS_ATTR_DIRECTORY = 0x10;
constexpr uint32_t OS_ATTR_ARCHIVE = 0x20;
constexpr uint32_t OS_ATTR_NORMAL = 0x80;
constexpr uint32_t OS_ATTR_EXECUTE = 0x10000;
constexpr uint32_t OS_ATTR_PRIVATE = 0x20000;
// A link to elsewhere: a symbolic link on POSIX (reported as no directory);
// on Win32 a symbolic link, junction or mount point, but no other reparse
// point (a cloud placeholder or a deduplicated file is itself). A bit the
// system's own attributes never use; setting attributes ignores it.
constexpr uint32_t OS_ATTR_LINK = 0x40000000;
constexpr uint32_t OS_ATTR_INVALID = 0xFFFFFFFF;

// Whether attributes from os_get_attributes name a real directory, one that
// may be written into or deleted below: a cloud-synced or deduplicated folder
// is one; a link, junction or mount point leads elsewhere and is not.
constexpr bool os_is_real_directory(uint32_t attributes) {
  return attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_DIRECTORY) != 0 && (attributes & OS_ATTR_LINK) == 0;
}

// Attributes of whatever is at the path, without following a final symbolic
// link; OS_ATTR_INVALID when nothing is there.
uint32_t os_get_attributes(const char* path);
bool os_set_attributes(const char* path, uint32_t attributes);
bool os_dir_create(const char* path);
// A directory only its owner may enter (POSIX 0700); on Win32 it takes the
// rights of the folder it is made in, as os_dir_create.
bool os_dir_create_private(const char* path);
// Removes an empty directory; on POSIX a symbolic link is removed as a link.
bool os_dir_remove(const char* path);
bool os_file_delete(const char* path);
// Moves a file over another in the same folder, replacing it (a symbolic link
// at to is replaced itself, never followed).
bool os_file_replace(const char* from, const char* to);
bool os_dir_change(const char* path);
// Full path of a name (relative to the current directory), into a buffer of
// size bytes; false when it does not fit or cannot be formed. On POSIX a
// result that does not fit its buffer (here and in the three below) leaves
// the system error ENAMETOOLONG.
bool os_full_path(const char* name, char* out, size_t size);
// The running program's own file. POSIX: /proc/self/exe, else (no /proc) the
// name the program was started by, taken against the current folder; on
// failure the system error says why.
bool os_module_path(char* out, size_t size);
// The temporary folder, ending in the separator.
bool os_temp_folder(char* out, size_t size);
// Creates a new, empty, uniquely named file in the folder with the prefix
// (the platform's temporary-name service) and gives its full name.
bool os_temp_file_name(const char* folder, const char* prefix, char* out, size_t size);
// Free bytes available to the caller on the volume of the path (Win32: asked
// of its root, "X:\" or "\\server\share\" (volume_root), with the run-time
// lookup of the extended query).
bool os_disk_free_space(const char* path, double* bytes);

// ---- the archive tool's view of its inputs (qpk only; own source files) ----
enum os_path_kind { OS_PATH_MISSING, OS_PATH_FILE, OS_PATH_FOLDER, OS_PATH_LINKED_FOLDER, OS_PATH_OTHER };
struct os_path_facts {
  os_path_kind kind = OS_PATH_MISSING;
  uint64_t size = 0;
  int64_t modified = 0;  // seconds since 1970-01-01 UTC
  // OS_ATTR_READONLY, _HIDDEN, _SYSTEM, _ARCHIVE; on POSIX OS_ATTR_EXECUTE when
  // the owner may execute it, and OS_ATTR_PRIVATE when group or others may not
  // read it (nor list or enter it, for a folder).
  uint32_t attributes = 0;
};
// Facts of whatever is at the path; a symbolic link to a file counts as the
// file, one to a folder as OS_PATH_LINKED_FOLDER (never descended, so no loops).
os_path_facts os_path_facts_of(const char* path);
// Calls visit once for each name in a folder, without "." and "..", in no
// particular order; false when the folder cannot be read whole. Win32 gives a
// name in the ANSI code page when that holds it exactly, else in UTF-8 (read
// through the wide functions, as paths holding it are).
bool os_folder_names(const char* folder, void (*visit)(const char* name, void* context), void* context);
// True when both paths name the same existing file.
bool os_same_file(const char* a, const char* b);
// An entry name as the terminal shows it, cut to size bytes with its zero
// (4 bytes per byte of the name and one more hold any). POSIX: UTF-8 as it
// is, an ANSI name (from Windows) converted from Windows-1252. Win32: an ANSI
// name as it is, a UTF-8 one converted to the console's code page.
void os_shown_name(const char* name, char* out, size_t size);

// ---- names in the ANSI code page ----
// A name that is not UTF-8 is an ANSI name, as archives made on Windows hold:
// Win32 reads it in the ANSI code page, POSIX as Windows-1252.
// Bytes of the character at text: 2 for a lead byte of a double-byte code
// page followed by its second byte, else 1 (always 1 on POSIX).
size_t os_ansi_char_size(const char* text);
// The ANSI text as UTF-8 with its zero, into size bytes; false when it does
// not fit or cannot be converted.
bool os_ansi_to_utf8(const char* text, char* out, size_t size);

// ---- the splash bitmap's sources (the bitmap loader's back-end) ----
// 1: found, *data and *size set; 0: no such resource (always on POSIX, which
// has none); -1: it exists but cannot be loaded.
int os_bitmap_resource_find(void* module, const char* name, const void** data, uint32_t* size);
// A bitmap file opened for reading with writing denied to others (Win32);
// OS_NO_FILE when it cannot be opened.
os_file os_bitmap_file_open(const char* name);
// Reads up to count bytes; gives how many arrived (0 at the end or on error).
uint32_t os_bitmap_file_read(os_file file, void* buffer, uint32_t count);
// How many bytes are left to read from the position; 0 when unknown.
uint32_t os_bitmap_file_left(os_file file);
void os_bitmap_file_close(os_file file);
// A zero-filled block for a bitmap file's contents that stays put (Win32:
// locked global memory); none when there is no memory.
void* os_bitmap_block_alloc(uint32_t size);
void os_bitmap_block_free(void* block);

// ---- memory (the pool's back-end) ----
// Zero-filled, aligned to at least 4 bytes. Return 0 or ERROR_SYSTEM_MEMORY.
int os_mem_alloc(uint32_t size, void** out);
int os_mem_free(void* memory);

// ---- threads (the work crew's back-end) ----
// A lock with one condition. wait leaves the lock while it sleeps and enters
// it again before it returns, and may return without a wake: callers wait in
// a loop on what they wait for. Win32 starts no threads (os_thread_start
// fails: its program extracts on its window thread), so its waits only poll.
struct os_monitor;
// Null when the system gives none.
os_monitor* os_monitor_create();
void os_monitor_destroy(os_monitor* monitor);
void os_monitor_enter(os_monitor* monitor);
void os_monitor_leave(os_monitor* monitor);
void os_monitor_wait(os_monitor* monitor);
void os_monitor_wake_all(os_monitor* monitor);
// Wakes at least one waiter (when only one kind of thread waits).
void os_monitor_wake_one(os_monitor* monitor);
// Storage of its own for every thread, where the back-end starts threads.
// Win32 starts none, and its per-thread storage would bring a threads library
// into the program.
#ifdef _WIN32
#define OS_PER_THREAD
#else
#define OS_PER_THREAD thread_local
#endif
// A started thread, to be joined once (none = nullptr).
using os_thread = void*;
bool os_thread_start(void (*run)(void* context), void* context, os_thread* out);
void os_thread_join(os_thread thread);
// How many processors this process may run on; at least 1.
unsigned os_processor_count();

// ---- diagnostics ----
// Formats with the Win32 wvsprintfA rules into at most size-1 characters and a
// zero (size at most 1024); gives the number of characters written.
int os_vformat(char* out, size_t size, const char* format, va_list args);
void debug_output(const char* text);

// ---- run-time library loading (the optional log library) ----
// The log library's entry: level, module name, call-site word, text. Win32
// uses __stdcall, the convention of the platform's own exported functions.
#ifdef _WIN32
#define QORLOG_CALL __stdcall
#else
#define QORLOG_CALL
#endif
typedef int(QORLOG_CALL* os_log_entry)(int level, const char* module, uint32_t* site, const char* text);
#ifndef _WIN32
// POSIX logs without a library (the shipped program is static): an entry
// that appends "time level module text" lines to the file QORLOG32_FILE
// names, or null when that variable is unset or empty.
os_log_entry os_log_file_entry();
#endif
void* os_library_load(const char* name);
// Takes the program's folder and the current folder out of the system's
// search for libraries loaded from now on (Win32, where the system allows;
// POSIX never searches them).
void os_library_search_restrict();
void* os_library_symbol(void* library, const char* name);
void os_library_free(void* library);

// ---- processes ----
uint32_t os_process_id();
bool os_process_alive(uint32_t pid);
// A launched program; the handle is opaque (none = nullptr).
struct os_process {
  void* process;
  void* thread;
  // Set when a wait saw the process end: its exit status (on POSIX 128 plus
  // the signal's number for a process a signal ended).
  uint32_t exit_code;
};
// Starts a command line (Win32: CreateProcessA as the extraction run describes;
// POSIX: /bin/sh -c in the current directory).
bool os_process_create(const char* command_line, os_process* out);
// Opens a file through its association (Win32: ShellExecuteExA, verb "open";
// POSIX: xdg-open, waited for, and no process given back). The process may be
// none when the platform gives none.
bool os_shell_open(const char* file, os_process* out);
// What opens files by association, as an error about it names it.
const char* os_shell_opener();
enum os_wait_result { OS_WAIT_PROCESS_ENDED, OS_WAIT_INPUT, OS_WAIT_FAILED };
// Waits for the process to end or for input to this thread's queue.
os_wait_result os_wait_process_or_input(os_process* process);
void os_process_close(os_process* process);
void os_sleep(uint32_t milliseconds);

// ---- the clean-up key store (Win32 registry; POSIX a private file store) ----
// A key path uses "\" between components, such as "Software\QOR\QPK2EXE\   1a4".
// Win32 creates it under HKEY_LOCAL_MACHINE, falling back to HKEY_CURRENT_USER
// when that is refused; opening looks in both, HKLM first.
using os_key = void*;
bool os_key_create(const char* path, os_key* out);
bool os_key_open(const char* path, os_key* out);
bool os_key_value_count(os_key key, uint32_t* count);
// Value data is at most 255 bytes on Win32, PATH_SIZE on POSIX.
bool os_key_set_value(os_key key, const char* name, const char* data, uint32_t size);
bool os_key_get_value(os_key key, const char* name, char* data, uint32_t size);
bool os_key_delete_value(os_key key, const char* name);
void os_key_close(os_key key);
bool os_key_delete(const char* path);
// Names of the subkeys of a key path, for finding leftover clean-up keys.
// Calls visit once per subkey name; false when the key cannot be read.
bool os_key_list(const char* path, void (*visit)(const char* name, void* context), void* context);
