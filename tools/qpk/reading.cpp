// The reading commands, list, test and info: the archive opened and closed
// here, each report written by the engine.
#include <ostream>
#include <string>

#include "archive/archive_report.h"
#include "archive/layout.h"
#include "foundation/backend.h"
#include "tools/qpk/commands.h"

namespace {

const char* open_problem(int status) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_FILE_OPEN: return "cannot open the file";
    case ERROR_ARCHIVE_SIGNATURE: return "not an archive or self-extractor";
    case ERROR_FILE_END: return "not an archive or self-extractor (the archive it points at is cut short)";
    default: return "cannot read the file";
  }
}

struct streams {
  std::ostream& out;
  std::ostream& err;
};

void write_stream(void* context, int stream, const char* text) {
  streams* both = static_cast<streams*>(context);
  (stream == REPORT_OUT ? both->out : both->err) << text;
}

// Opens the file and runs the report on it, its text to out and its problems
// to err as "qpk: FILE: PROBLEM"; the command's exit status (0 or 1).
int run_report(const std::string& file, int (*report)(const archive_file*, const report_output&), std::ostream& out,
               std::ostream& err) {
  archive_file archive;
  int status = archive_file_open(&archive, file.c_str());
  if (status != 0) {
    err << "qpk: " << file << ": " << open_problem(status) << '\n';
    return 1;
  }
  streams both{out, err};
  const std::string subject = "qpk: " + file;
  status = report(&archive, {write_stream, &both, subject.c_str(), os_shown_name});
  archive_file_close(&archive);
  return status;
}

}  // namespace

int qpk_list(const std::string& file, std::ostream& out, std::ostream& err) {
  return run_report(file, report_list, out, err);
}
int qpk_test(const std::string& file, std::ostream& out, std::ostream& err) {
  return run_report(file, report_check, out, err);
}
int qpk_info(const std::string& file, std::ostream& out, std::ostream& err) {
  return run_report(file, report_info, out, err);
}
