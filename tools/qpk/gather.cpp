// Walks the given files and folders in a reproducible order.
#include "tools/qpk/gather.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "archive/entry_target.h"
#include "foundation/backend.h"
#include "foundation/path.h"
#include "foundation/text_encoding.h"
#include "tools/qpk/exclude.h"

namespace {

struct gather_context {
  const std::string& archive;
  os_path_facts archive_facts;  // taken once: only a file of its size can be it
  const std::vector<std::string>& excludes;
  std::vector<input_file>* files;
  std::ostream& err;
  bool good = true;  // false once any problem was reported
};

// Win32 gives a name the ANSI code page cannot hold in UTF-8 (os_folder_names):
// joined with such a name, an ANSI text is made UTF-8 too, so that a path or
// a stored name is in one encoding. POSIX names are bytes and stay so.
std::string in_one_encoding(const std::string& text, const std::string& other) {
  if (PATH_NAMES_UTF8 || text_is_utf8(text) || !text_is_wide_utf8(other)) return text;
  std::vector<char> converted(3 * text.size() + 1);
  if (!os_ansi_to_utf8(text.c_str(), converted.data(), converted.size())) return text;
  return converted.data();
}

std::string join_path(const std::string& folder, const std::string& name) {
  const std::string base = in_one_encoding(folder, name);
  const std::string own_name = in_one_encoding(name, folder);
  if (!base.empty() && is_separator(base.back())) return base + own_name;
  return base + PATH_SEPARATOR + own_name;
}

std::string join_name(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? name : in_one_encoding(prefix, name) + '\\' + in_one_encoding(name, prefix);
}

bool is_folder(os_path_kind kind) { return kind == OS_PATH_FOLDER || kind == OS_PATH_LINKED_FOLDER; }

bool is_private(const os_path_facts& facts) { return (facts.attributes & OS_ATTR_PRIVATE) != 0; }

// Problems are reported as they are found and the walk goes on, so that one
// run names everything a tree needs left out.
void fail(gather_context& context, const std::string& path, const std::string& reason) {
  context.err << "qpk: " << path << ": " << reason << '\n';
  context.good = false;
}

std::string exclude_hint(const std::string& stored) {
  return "; leave it out with --exclude \"" + literal_pattern(stored) + "\"";
}

// Why a file or folder cannot be stored under this name, or nullptr. A POSIX
// file name may hold "\", which the archive reads as a separator.
const char* name_problem(const std::string& component, const std::string& stored) {
  if (PATH_SEPARATOR != '\\' && component.find('\\') != std::string::npos)
    return "the name holds '\\', which an archive reads as a folder separator";
  return entry_name_problem(stored);
}

bool storable(gather_context& context, const std::string& path, const std::string& component,
              const std::string& stored) {
  const char* problem = name_problem(component, stored);
  if (problem == nullptr) return true;
  fail(context, path, "cannot be stored as \"" + stored + "\": " + problem + exclude_hint(stored));
  return false;
}

void add_file(gather_context& context, const std::string& path, const std::string& name, const os_path_facts& facts) {
  // Never store the archive in itself.
  const os_path_facts& archive = context.archive_facts;
  if (archive.kind == OS_PATH_FILE && archive.size == facts.size && os_same_file(path.c_str(), context.archive.c_str()))
    return;
  if (const char* problem = file_size_problem(facts.size)) return fail(context, path, problem + exclude_hint(name));
  context.files->push_back({path, name, facts});
}

void add_name(const char* name, void* names) { static_cast<std::vector<std::string>*>(names)->push_back(name); }

// Files in a private folder are private too: on extraction no folder keeps
// them from others.
void add_folder(gather_context& context, const std::string& folder, const std::string& prefix, bool in_private) {
  std::vector<std::string> names;
  if (!os_folder_names(folder.c_str(), add_name, &names)) return fail(context, folder, "the folder cannot be read");
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = join_path(folder, name);
    std::string stored = join_name(prefix, name);
    os_path_facts facts = os_path_facts_of(path.c_str());
    // Left out before any check: an excluded name may be one no archive can hold.
    if (name_excluded(context.excludes, stored, is_folder(facts.kind))) continue;
    if (in_private) facts.attributes |= OS_ATTR_PRIVATE;
    switch (facts.kind) {
      case OS_PATH_FILE:
        if (storable(context, path, name, stored)) add_file(context, path, stored, facts);
        break;
      case OS_PATH_FOLDER:
        if (storable(context, path, name, stored)) add_folder(context, path, stored, is_private(facts));
        break;
      case OS_PATH_LINKED_FOLDER:
        context.err << "qpk: " << path << ": skipped: a link to a folder is not followed\n";
        break;
      case OS_PATH_MISSING:
      case OS_PATH_OTHER:
        context.err << "qpk: " << path << ": skipped: not a regular file\n";
        break;
    }
  }
}

std::string folded(const std::string& name) {
  std::string result = name;
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Win32 names are case-insensitive: two entries differing only in case would
// land on one file, the second overwriting the first. Every clash is named,
// so that one run gives all the --exclude patterns a tree needs; allowed, a
// clash is a warning.
void check_names_unique(gather_context& context, bool allow_case_clash) {
  std::map<std::string, const input_file*> seen;
  for (const input_file& file : *context.files) {
    auto [place, added] = seen.emplace(folded(file.name), &file);
    if (added) continue;
    const input_file& first = *place->second;
    if (file.name == first.name) {
      // The very same name from two inputs is beyond any pattern's reach.
      fail(context, file.path,
           "\"" + file.name + "\" is also stored from " + first.path + ", and an archive holds each name once");
    } else if (allow_case_clash) {
      context.err << "qpk: warning: \"" << file.name << "\" and \"" << first.name
                  << "\" differ only in case: extracted on Windows, only one of them is kept\n";
    } else {
      fail(context, file.path,
           "\"" + file.name + "\" clashes with \"" + first.name + "\" from " + first.path +
               ": names that differ only in case are one file on Windows (--allow-case-clash keeps both, for "
               "Linux); leave one out with --exclude \"" + literal_pattern(file.name) + "\"");
    }
  }
}

}  // namespace

const char* file_size_problem(uint64_t size) {
  return size > ARCHIVE_LIMIT ? "the file is 2 GiB or larger, more than an archive can hold" : nullptr;
}

std::string stored_base_name(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && is_separator(path[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !is_separator(path[start - 1])) --start;
#ifdef _WIN32
  // "C:name" is name in the drive's current folder; "C:" alone is a root.
  if (start == 0 && end >= 2 && path[1] == ':') start = 2;
#endif
  std::string name = path.substr(start, end - start);
  if (name == "." || name == "..") return "";
  return name;
}

bool gather_inputs(const std::vector<std::string>& paths, const std::string& archive,
                   const create_settings& settings, std::vector<input_file>* files, std::ostream& err) {
  gather_context context{archive, os_path_facts_of(archive.c_str()), settings.excludes, files, err};
  for (const std::string& path : paths) {
    os_path_facts facts = os_path_facts_of(path.c_str());
    std::string base = stored_base_name(path);
    // A missing path is a mistake even when a pattern would have left it out.
    if (facts.kind != OS_PATH_MISSING && !base.empty() &&
        name_excluded(settings.excludes, base, is_folder(facts.kind)))
      continue;
    switch (facts.kind) {
      case OS_PATH_FILE:
        if (storable(context, path, base, base)) add_file(context, path, base, facts);
        break;
      case OS_PATH_FOLDER:
      case OS_PATH_LINKED_FOLDER:  // named by the user, so followed
        // "." and roots go to the top of the archive, with no name to check.
        if (base.empty() || storable(context, path, base, base))
          add_folder(context, path, base, is_private(facts));
        break;
      case OS_PATH_MISSING:
        fail(context, path, "no such file or folder");
        break;
      case OS_PATH_OTHER:
        fail(context, path, "not a regular file or folder");
        break;
    }
  }
  check_names_unique(context, settings.allow_case_clash);
  return context.good;
}
