// The sfx command: a self-extractor from any builder program, built by the
// builder's own code (archive/self_extractor_build.h) with the option block
// its own parser records, so that the output is the builder's, byte for byte.
// Given files or folders, it first makes the archive as create would.
#include "archive/locate.h"
#include "archive/self_extractor_build.h"
#include "foundation/backend.h"
#include "foundation/failure.h"
#include "foundation/path.h"
#include "options/options.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/pending_files.h"
#include "tools/qpk/sfx_stub.h"

namespace {

// The builder's parse of this command's words, its memory freed when it goes.
struct builder_options {
  option_state state;
  int status = options_init(&state);
  ~builder_options() { options_free(&state); }
};

// The archive made from files and folders, removed whatever happens.
struct made_archive {
  std::string path;
  ~made_archive() {
    if (path.empty()) return;
    os_file_delete(path.c_str());
    pending_set(PENDING_SFX_ARCHIVE, nullptr);
  }
};

struct open_inputs {
  se_build_inputs files;
  ~open_inputs() { se_close_inputs(&files); }
};

// A refusal (the builder's messages are worded as the builder words them).
int refuse(std::ostream& err, const char* message) {
  err << "qpk: " << message << '\n';
  return 1;
}

bool named_qpk(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return ext == ".QPK";
}

// One input is the archive itself when it holds one (a self-extractor too,
// which the build then refuses as the builder does) or is named .qpk, so
// that a damaged archive is refused rather than stored in a new one.
bool is_archive(const std::string& path) {
  if (os_path_facts_of(path.c_str()).kind != OS_PATH_FILE) return false;
  if (named_qpk(path)) return true;
  file_handle file = NO_FILE;
  if (file_open(path.c_str(), &file, FILE_MODE_READ) != 0) return false;
  archive_bounds bounds;
  bool found = archive_locate(file, &bounds) == 0;
  file_close(file);
  return found;
}

std::string stub_hint(stub_source source) {
  switch (source) {
    case stub_source::beside: return " (install qpk2exe beside qpk, or name a builder with --stub FILE)";
    case stub_source::windows:
      return " (the Windows program belongs in share/qpk2exe/windows/ beside qpk's bin/ folder;"
             " or name it with --stub FILE)";
    case stub_source::file: break;
  }
  return "";
}

// Makes the archive of the inputs in a temporary file beside the output
// (target: its full path).
bool make_archive(const std::vector<std::string>& inputs, const std::string& output, const char* target,
                  const create_settings& settings, made_archive* made, std::ostream& err) {
  char temporary[PATH_SIZE];
  file_handle file = NO_FILE;
  if (file_create_temporary(target, temporary, sizeof temporary, &file) != 0) {
    err << "qpk: " << output << ": cannot create a file in its folder\n";
    return false;
  }
  file_close(file);
  made->path = temporary;
  pending_set(PENDING_SFX_ARCHIVE, temporary);
  if (qpk_create(temporary, inputs, settings, err) == 0) return true;
  err << "qpk: " << output << ": not written: the archive could not be made\n";
  return false;
}

void note_output(const char* name) { pending_set(PENDING_SFX_OUTPUT, name); }

}  // namespace

int qpk_sfx(const sfx_settings& settings, const std::vector<std::string>& words, std::ostream& err) {
  builder_options options;
  if (options.status < 0) {
    err << "qpk: cannot start the option parse\n";
    return 1;
  }
  // Entry 0 stands for the builder program, as in the builder's own vector.
  std::vector<std::string> vector = {"qpk2exe"};
  vector.insert(vector.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : vector) argv.push_back(word.data());
  failure_clear();
  int status = options_parse(&options.state, static_cast<int>(argv.size()), argv.data());
  if (status < 0) {
    const char* text = options_error_text(status);
    err << "qpk: " << (text != nullptr ? text : "ERROR: Invalid option") << '\n';
    // A word too long names itself.
    char reason[FAILURE_PATH_SIZE + 128];
    if (failure_describe(reason, sizeof reason)) err << "qpk: " << reason << '\n';
    return 2;
  }
  const int count = positional_count(options.state);
  if (count < 2) {
    err << "qpk: sfx needs an archive (or files and folders) and an output\n";
    return 2;
  }
  std::vector<std::string> inputs;
  char word[PATH_SIZE];
  for (int index = 0; index < count; ++index) {
    if (positional_get(options.state, index, word) < 0) return refuse(err, "ERROR: Path too long");
    inputs.emplace_back(word);
  }
  const std::string output = inputs.back();
  inputs.pop_back();

  option_block block;
  if (options_record(options.state, &block) < 0) return refuse(err, "ERROR: Option too long");
  const std::string stub = sfx_stub_path(settings);
  if (stub.empty()) return refuse(err, "cannot tell where qpk itself is, so where its builder is");
  if (os_path_facts_of(stub.c_str()).kind == OS_PATH_MISSING) {
    err << "qpk: " << stub << ": no builder program here" << stub_hint(settings.source) << '\n';
    return 1;
  }
  const std::string problem = sfx_stub_problem(stub);
  if (!problem.empty()) {
    err << "qpk: " << stub << ": " << problem << '\n';
    return 1;
  }
  char target[PATH_SIZE];
  if (!os_full_path(output.c_str(), target, sizeof target)) {
    err << "qpk: " << output << ": the path is too long\n";
    return 1;
  }

  made_archive made;
  std::string archive = inputs.front();
  if (inputs.size() > 1 || !is_archive(archive)) {
    if (!make_archive(inputs, output, target, settings.create, &made, err)) return 1;
    archive = made.path;
  }
  // A message about a made archive names the output it was made for.
  const std::string& named = made.path.empty() ? archive : output;
  open_inputs open;
  se_result result;
  const bool built = se_open_inputs(stub.c_str(), archive.c_str(), named.c_str(), &open.files, &result) &&
                     se_build_output(stub.c_str(), open.files, block, target, note_output, &result);
  return built ? 0 : refuse(err, result.message);
}
