#pragma once
// A fresh directory below the system temp folder, removed with its contents at the end.
#include <filesystem>
#include <string>

namespace qm::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  // The folder in the program's own form: "\" separators, ending in "\".
  std::string TaskFolder() const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, const std::string& bytes);

}  // namespace qm::test
