#pragma once
// The files of the Apache HTTP Server manual that the analysis benchmarks read: Debian's
// apache2-doc, under /usr/share/doc/apache2-doc/manual, or the folder QM_BENCH_PAGES names.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qm::bench {

struct TManualFile {
  std::filesystem::path Native;
  std::string Path;  // below the manual's folder, "/"-separated
  std::string Text;
};

// Every regular file for which wanted(path) holds, read whole; none when the manual is missing.
template <class Wanted>
std::vector<TManualFile> ManualFiles(Wanted wanted) {
  namespace fs = std::filesystem;
  const char* env = std::getenv("QM_BENCH_PAGES");
  const fs::path root = env ? env : "/usr/share/doc/apache2-doc/manual";
  std::vector<TManualFile> files;
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return files;
  for (auto it = fs::recursive_directory_iterator(
           root, fs::directory_options::follow_directory_symlink, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (!it->is_regular_file(ec) || !wanted(it->path())) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    files.push_back({it->path(), it->path().lexically_relative(root).generic_string(), text.str()});
  }
  return files;
}

}  // namespace qm::bench
