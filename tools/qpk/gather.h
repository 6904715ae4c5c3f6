// Collects the files a create command stores: each given file under its own
// name, each given folder's files (recursively, sorted by name) under the
// folder's name, every name and size checked before anything is written.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "foundation/backend.h"
#include "tools/qpk/commands.h"

struct input_file {
  std::string path;  // where to read it
  std::string name;  // the stored entry name, "\"-separated
  os_path_facts facts;
};

// The largest file and archive the format can hold: positions are seeked with
// a signed 32-bit distance.
constexpr uint64_t ARCHIVE_LIMIT = 0x7FFFFFFF;

// Why a file of this size cannot be stored, or nullptr when it can.
const char* file_size_problem(uint64_t size);

// Fills files in archive order. Skips the archive itself, what the exclude
// patterns match (tools/qpk/exclude.h) and, with a warning, links to folders
// and things that are not files. Every problem (a name no archive holds,
// with the --exclude pattern that leaves it out, a file too large, names
// that differ only in case unless allowed, when they are a warning) is
// written as "qpk: PATH: REASON" to err; false when there was any.
bool gather_inputs(const std::vector<std::string>& paths, const std::string& archive,
                   const create_settings& settings, std::vector<input_file>* files, std::ostream& err);

// The name a given path is stored under: its last component, or "" for ".",
// ".." and roots, whose contents go to the top of the archive.
std::string stored_base_name(const std::string& path);
