// The command line of qpk: the command word, its options and its paths.
#include <charconv>
#include <cstring>
#include <string_view>

#include "generated/version.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/usage.h"

namespace {

constexpr unsigned MAX_JOBS = 256;

int usage_error(std::ostream& err, const std::string& message) {
  err << "qpk: " << message << "\n" << qpk_usage();
  return 2;
}

bool parse_number(std::string_view text, unsigned low, unsigned high, unsigned* value) {
  unsigned parsed = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

// The value of an option given as "--level N", "--level=N" or "-jN".
bool option_value(const char* const* argv, int argc, int* index, std::string_view word, std::string_view name,
                  std::string_view* value) {
  if (word == name) {
    if (*index + 1 >= argc) return false;
    *value = argv[++*index];
    return true;
  }
  if (name.starts_with("--") && word.starts_with(name) && word.size() > name.size() && word[name.size()] == '=') {
    *value = word.substr(name.size() + 1);
    return true;
  }
  if (!name.starts_with("--") && word.starts_with(name) && word.size() > name.size()) {
    *value = word.substr(name.size());
    return true;
  }
  return false;
}

// Takes --store, --allow-case-clash, --level N, --exclude P or -j N at argv[*index] into settings: 1 when
// taken, 0 when the word is none of them, 2 (a usage error, written) when
// its value is wrong.
int create_option(int argc, const char* const* argv, int* index, create_settings* settings, std::ostream& err) {
  std::string_view word = argv[*index];
  std::string_view value;
  if (word == "--store") {
    settings->store = true;
  } else if (word == "--allow-case-clash") {
    settings->allow_case_clash = true;
  } else if (word.starts_with("--level")) {
    unsigned level = 0;
    if (!option_value(argv, argc, index, word, "--level", &value) || !parse_number(value, 0, 9, &level)) {
      return usage_error(err, "--level takes a number from 0 to 9");
    }
    settings->level = static_cast<int>(level);
  } else if (word.starts_with("--exclude")) {
    if (!option_value(argv, argc, index, word, "--exclude", &value) || value.empty()) {
      return usage_error(err, "--exclude takes a pattern");
    }
    settings->excludes.emplace_back(value);
  } else if (word.starts_with("-j") || word.starts_with("--jobs")) {
    std::string_view name = word.starts_with("-j") ? "-j" : "--jobs";
    if (!option_value(argv, argc, index, word, name, &value) || !parse_number(value, 1, MAX_JOBS, &settings->jobs)) {
      return usage_error(err, "-j takes a number from 1 to " + std::to_string(MAX_JOBS));
    }
  } else {
    return 0;
  }
  return 1;
}

int run_create(int argc, const char* const* argv, std::ostream& err) {
  create_settings settings;
  std::vector<std::string> words;
  bool options_end = false;
  for (int i = 2; i < argc; ++i) {
    std::string_view word = argv[i];
    if (options_end || word.empty() || word[0] != '-' || word == "-") {
      words.emplace_back(word);
    } else if (word == "--") {
      options_end = true;
    } else if (int taken = create_option(argc, argv, &i, &settings, err); taken != 1) {
      return taken == 0 ? usage_error(err, "unknown option " + std::string(word)) : taken;
    }
  }
  if (words.size() < 2) return usage_error(err, "create needs an archive and at least one file or folder");
  std::string archive = words.front();
  words.erase(words.begin());
  return qpk_create(archive, words, settings, err);
}

// qpk's own options ("--" words and -j) are taken here; every other word goes
// to the builder's parser, which knows its options by their / or - prefix.
int run_sfx(int argc, const char* const* argv, std::ostream& err) {
  sfx_settings settings;
  bool windows = false;
  std::vector<std::string> words;
  for (int i = 2; i < argc; ++i) {
    std::string_view word = argv[i];
    std::string_view value;
    if (word == "--stub" || word.starts_with("--stub=")) {
      if (!option_value(argv, argc, &i, word, "--stub", &value) || value.empty()) {
        return usage_error(err, "--stub takes the builder program to copy");
      }
      if (settings.source == stub_source::file) return usage_error(err, "--stub is given twice");
      settings.source = stub_source::file;
      settings.stub_file = value;
    } else if (word == "--windows") {
      windows = true;
    } else if (!word.starts_with("--") && !word.starts_with("-j")) {
      words.emplace_back(word);
    } else if (int taken = create_option(argc, argv, &i, &settings.create, err); taken != 1) {
      return taken == 0 ? usage_error(err, "unknown option " + std::string(word)) : taken;
    }
  }
  if (windows && settings.source == stub_source::file) return usage_error(err, "--stub and --windows exclude each other");
  if (windows) settings.source = stub_source::windows;
  return qpk_sfx(settings, words, err);
}

}  // namespace

int qpk_run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc < 2) return usage_error(err, "no command given");
  std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    out << qpk_usage();
    return 0;
  }
  if (command == "--version" && argc == 2) {
    out << "qpk " QPK_VERSION "\n";
    return 0;
  }
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      out << qpk_usage();
      return 0;
    }
  }
  if (command == "create") return run_create(argc, argv, err);
  if (command == "sfx") return run_sfx(argc, argv, err);
  if (command == "cleanup") {
    bool apply = argc == 3 && std::strcmp(argv[2], "--apply") == 0;
    if (argc > 3 || (argc == 3 && !apply)) return usage_error(err, "cleanup takes only --apply");
    return qpk_cleanup(apply, out, err);
  }
  using reader_command = int (*)(const std::string&, std::ostream&, std::ostream&);
  reader_command run = command == "list" ? qpk_list
                       : command == "test" ? qpk_test
                       : command == "info" ? qpk_info
                                           : nullptr;
  if (run == nullptr) return usage_error(err, "unknown command " + std::string(command));
  if (argc != 3) return usage_error(err, std::string(command) + " takes exactly one file");
  return run(argv[2], out, err);
}
