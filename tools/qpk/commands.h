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
};

int qpk_create(const std::string& archive, const std::vector<std::string>& paths,
               const create_settings& settings, std::ostream& err);
int qpk_list(const std::string& file, std::ostream& out, std::ostream& err);
int qpk_test(const std::string& file, std::ostream& out, std::ostream& err);
int qpk_info(const std::string& file, std::ostream& out, std::ostream& err);
// Lists the clean-up keys whose process has ended, with their paths; with
// apply deletes those paths newest first, then the keys. 1 when any is left.
int qpk_cleanup(bool apply, std::ostream& out, std::ostream& err);

// The whole command line (argv[0] is the program), parsed and dispatched.
int qpk_run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
