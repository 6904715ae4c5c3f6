// Small helpers shared by the unit tests: scratch folders and whole files.
#pragma once

#include <string>

// A fresh, empty folder for one test, removed when the object goes.
class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  // The folder's path, or a path below it, in the platform's own form.
  std::string path(const std::string& name = "") const;

 private:
  std::string root_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool path_exists(const std::string& path);
