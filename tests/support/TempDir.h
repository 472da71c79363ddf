// A fresh folder under /tmp for one test, removed with everything in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmira::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the folder, sorted (hidden ones included).
  std::vector<std::string> List() const { return List(path_); }
  static std::vector<std::string> List(const std::string& folder);

 private:
  std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace velmira::testing
