// The few file-system services the qpk tool needs beyond the foundation's
// back-end: folder listings, file facts, file identity and replacing a file.
// Defined once for POSIX and once for Win32; nothing here uses status codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class path_kind { missing, file, folder, linked_folder, other };

struct path_facts {
  path_kind kind = path_kind::missing;
  uint64_t size = 0;
  int64_t modified = 0;  // seconds since 1970-01-01 UTC
  bool read_only = false;
  bool hidden = false;
  bool system = false;
  bool archive = false;
  bool executable = false;  // the owner may execute it (POSIX only)
  // Group or others may not read it, or not list or enter it when a folder
  // (POSIX only).
  bool private_to_owner = false;
};

// Facts of whatever is at the path; a symbolic link to a file counts as the
// file, one to a folder as linked_folder (never descended, so no loops).
path_facts path_facts_of(const char* path);
// The names in a folder, without "." and "..", in no particular order. Win32
// gives a name in the ANSI code page when that holds it exactly, else in
// UTF-8 (read through the wide functions, as paths holding it are).
bool folder_names(const char* folder, std::vector<std::string>* names);
// True when both paths name the same existing file.
bool same_file(const char* a, const char* b);
// Moves from over to, replacing to; gives the result the permissions a newly
// created file would have. False when it cannot.
bool replace_file(const char* from, const char* to);
// An entry name as the terminal shows it. POSIX: UTF-8 as it is, an ANSI name
// (from Windows) converted from Windows-1252. Win32: an ANSI name as it is, a
// UTF-8 one converted to the console's code page.
std::string shown_name(const std::string& name);
