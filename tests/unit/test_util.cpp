#include "test_util.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <process.h>
static int getpid_for_tests() { return _getpid(); }
#else
#include <unistd.h>
static int getpid_for_tests() { return static_cast<int>(getpid()); }
#endif

namespace fs = std::filesystem;

scratch_dir::scratch_dir() {
  static std::atomic<int> counter{0};
  fs::path base = fs::temp_directory_path() / "qpk-tests";
  fs::create_directories(base);
  for (;;) {
    // Appended piece by piece: GCC 12 gives a false -Wrestrict on the
    // equivalent chain of operator+ in optimised mingw builds.
    std::string name = "t";
    name += std::to_string(getpid_for_tests());
    name += '-';
    name += std::to_string(counter++);
    fs::path candidate = base / name;
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      root_ = candidate.make_preferred().string();
      return;
    }
  }
}

scratch_dir::~scratch_dir() {
  std::error_code error;
  // Read-only files must be made writable before a Win32 delete succeeds.
  for (auto it = fs::recursive_directory_iterator(root_, error); !error && it != fs::recursive_directory_iterator(); it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(root_, error);
}

std::string scratch_dir::path(const std::string& name) const {
  if (name.empty()) return root_;
  return (fs::path(root_) / fs::path(name).make_preferred()).string();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool path_exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}
