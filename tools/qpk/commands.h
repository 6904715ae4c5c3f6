// The qpk commands. Each writes its report to out and its errors, as
// "qpk: ...", to err, and returns the process exit status: 0 success, 1 an
// error, 2 a usage error. The foundation services must be started.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct create_settings {
  int level = 9;       // deflate level 0-9
  bool store = false;  // store every entry without deflating
  unsigned jobs = 0;   // compression threads; 0: one per core
  std::vector<std::string> excludes;  // patterns of what to leave out (tools/qpk/exclude.h)
  bool allow_case_clash = false;      // names that differ only in case: a warning, not a failure
};

// Which builder program sfx copies as the stub.
enum class stub_source {
  beside,   // the builder installed beside qpk (the default)
  windows,  // the 32-bit Windows program of the install layout
  file,     // stub_file
};
struct sfx_settings {
  stub_source source = stub_source::beside;
  std::string stub_file;
  create_settings create;  // for an archive made from files and folders
};

int qpk_create(const std::string& archive, const std::vector<std::string>& paths,
               const create_settings& settings, std::ostream& err);
// Builds a self-extractor as the builder does, through the builder's own
// option parse and build steps. words: the builder's options, then one
// archive or the files and folders to make one from, then the output (taken
// as given: no extension is added). An existing output is replaced.
int qpk_sfx(const sfx_settings& settings, const std::vector<std::string>& words, std::ostream& err);
int qpk_list(const std::string& file, std::ostream& out, std::ostream& err);
int qpk_test(const std::string& file, std::ostream& out, std::ostream& err);
int qpk_info(const std::string& file, std::ostream& out, std::ostream& err);
// Lists the clean-up keys whose process has ended, with their paths; with
// apply deletes those paths newest first, then the keys. 1 when any is left.
int qpk_cleanup(bool apply, std::ostream& out, std::ostream& err);

// The whole command line (argv[0] is the program), parsed and dispatched.
int qpk_run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
