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
  path_facts archive_facts;  // taken once: only a file of its size can be it
  const std::vector<std::string>& excludes;
  std::vector<input_file>* files;
  std::ostream& err;
};

// Win32 gives a name the ANSI code page cannot hold in UTF-8 (platform.h):
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

bool is_folder(path_kind kind) { return kind == path_kind::folder || kind == path_kind::linked_folder; }

bool fail(std::ostream& err, const std::string& path, const std::string& reason) {
  err << "qpk: " << path << ": " << reason << '\n';
  return false;
}

bool add_file(gather_context& context, const std::string& path, const std::string& name,
              const path_facts& facts) {
  // Never store the archive in itself.
  const path_facts& archive = context.archive_facts;
  if (archive.kind == path_kind::file && archive.size == facts.size && same_file(path.c_str(), context.archive.c_str()))
    return true;
  if (const char* problem = entry_name_problem(name)) {
    return fail(context.err, path, std::string("cannot be stored as \"") + name + "\": " + problem);
  }
  if (const char* problem = file_size_problem(facts.size)) return fail(context.err, path, problem);
  context.files->push_back({path, name, facts});
  return true;
}

// A POSIX file name may hold "\", which the archive reads as a separator.
bool component_storable(std::ostream& err, const std::string& path, const std::string& component) {
  if (PATH_SEPARATOR == '\\' || component.find('\\') == std::string::npos) return true;
  return fail(err, path, "the name holds '\\', which an archive reads as a folder separator");
}

bool add_folder(gather_context& context, const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  if (!folder_names(folder.c_str(), &names)) return fail(context.err, folder, "the folder cannot be read");
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = join_path(folder, name);
    std::string stored = join_name(prefix, name);
    path_facts facts = path_facts_of(path.c_str());
    // Left out before any check: an excluded name may be one no archive can hold.
    if (name_excluded(context.excludes, stored, is_folder(facts.kind))) continue;
    if (!component_storable(context.err, path, name)) return false;
    switch (facts.kind) {
      case path_kind::file:
        if (!add_file(context, path, stored, facts)) return false;
        break;
      case path_kind::folder:
        if (!add_folder(context, path, stored)) return false;
        break;
      case path_kind::linked_folder:
        context.err << "qpk: " << path << ": skipped: a link to a folder is not followed\n";
        break;
      case path_kind::missing:
      case path_kind::other:
        context.err << "qpk: " << path << ": skipped: not a regular file\n";
        break;
    }
  }
  return true;
}

std::string folded(const std::string& name) {
  std::string result = name;
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Win32 names are case-insensitive: two entries differing only in case would
// land on one file, the second overwriting the first. Every clash is named,
// so that one run gives all the --exclude patterns a tree needs.
bool names_unique(const std::vector<input_file>& files, std::ostream& err) {
  std::map<std::string, const input_file*> seen;
  bool unique = true;
  for (const input_file& file : files) {
    auto [place, added] = seen.emplace(folded(file.name), &file);
    if (added) continue;
    const input_file& first = *place->second;
    // The very same name from two inputs is beyond any pattern's reach.
    std::string reason = file.name == first.name
                             ? "\"" + file.name + "\" is also stored from " + first.path +
                                   ", and an archive holds each name once"
                             : "\"" + file.name + "\" clashes with \"" + first.name + "\" from " + first.path +
                                   ": names that differ only in case are one file on Windows; leave one out with "
                                   "--exclude \"" + literal_pattern(file.name) + "\"";
    unique = fail(err, file.path, reason);
  }
  return unique;
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
                   const std::vector<std::string>& excludes, std::vector<input_file>* files, std::ostream& err) {
  gather_context context{archive, path_facts_of(archive.c_str()), excludes, files, err};
  for (const std::string& path : paths) {
    path_facts facts = path_facts_of(path.c_str());
    std::string base = stored_base_name(path);
    // A missing path is a mistake even when a pattern would have left it out.
    if (facts.kind != path_kind::missing && !base.empty() && name_excluded(excludes, base, is_folder(facts.kind)))
      continue;
    if (!component_storable(err, path, base)) return false;
    switch (facts.kind) {
      case path_kind::file:
        if (!add_file(context, path, base, facts)) return false;
        break;
      case path_kind::folder:
      case path_kind::linked_folder:  // named by the user, so followed
        if (!add_folder(context, path, base)) return false;
        break;
      case path_kind::missing:
        return fail(err, path, "no such file or folder");
      case path_kind::other:
        return fail(err, path, "not a regular file or folder");
    }
  }
  return names_unique(*files, err);
}
