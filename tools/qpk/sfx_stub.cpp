// Finding and checking the builder program sfx copies.
#include "tools/qpk/sfx_stub.h"

#include "archive/executable_image.h"
#include "archive/locate.h"
#include "foundation/file.h"
#include "foundation/path.h"

namespace {

#ifdef _WIN32
constexpr char BUILDER_NAME[] = "QPK2EXE.exe";
#else
constexpr char BUILDER_NAME[] = "qpk2exe";
#endif
constexpr char WINDOWS_BUILDER[] = "QPK2EXE.exe";

// qpk's own folder, ending in the separator; "" when it cannot be told.
std::string own_folder() {
  char path[PATH_SIZE];
  if (!os_module_path(path, sizeof path)) return "";
  std::string folder = path;
  while (!folder.empty() && !is_separator(folder.back())) folder.pop_back();
  return folder;
}

// A file that closes when it goes.
struct open_file {
  file_handle handle = NO_FILE;
  ~open_file() {
    if (handle != NO_FILE) file_close(handle);
  }
};

}  // namespace

std::string sfx_stub_path(const sfx_settings& settings) {
  if (settings.source == stub_source::file) return settings.stub_file;
  std::string folder = own_folder();
  if (folder.empty()) return "";
  if (settings.source == stub_source::beside) return folder + BUILDER_NAME;
  const std::string up = std::string("..") + PATH_SEPARATOR;
  return folder + up + "share" + PATH_SEPARATOR + "qpk2exe" + PATH_SEPARATOR + "windows" + PATH_SEPARATOR +
         WINDOWS_BUILDER;
}

std::string sfx_stub_problem(const std::string& path) {
  open_file file;
  if (file_open(path.c_str(), &file.handle, FILE_MODE_READ) != 0) {
    file.handle = NO_FILE;
    return "cannot be opened";
  }
  archive_bounds bounds;
  if (archive_locate(file.handle, &bounds) == 0) {
    return bounds.start == 0 ? "an archive, not a builder program"
                             : "a self-extractor, not a builder program: the stub must be the builder itself";
  }
  uint32_t appended = 0;
  if (executable_bytes_past_image(file.handle, &appended) != 0) {
    return "not a builder program (neither a Windows nor a Linux executable)";
  }
  if (appended > 0) {
    return "carries bytes past its program image (a damaged self-extractor?), not a builder program";
  }
  return "";
}
