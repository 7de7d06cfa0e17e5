// Analyses every page of a folder as the analysis thread would after a run had fetched them all,
// in one fixed order on one thread, and leaves the saved pages in an output folder. Two builds
// given the same folder must save the same bytes (bench/fast_runs/compare_copies.sh); a real run
// cannot show that, since what a page's links become depends on how far the run had got.
// usage: analyse_copy SOURCE_DIR OUTPUT_DIR BASE_URL   (BASE_URL ends in "/")
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/JsClass.h"
#include "analysis/ParseThread.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace fs = std::filesystem;
using namespace qm;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: analyse_copy SOURCE_DIR OUTPUT_DIR BASE_URL\n");
    return 2;
  }
  const fs::path source = argv[1];
  std::string folder = fs::absolute(argv[2]).string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  if (folder.back() != '\\') folder += '\\';
  const std::string base = argv[3];

  // Script files first, then pages, each in name order.
  std::vector<std::pair<std::string, bool>> files;
  for (const auto& e : fs::recursive_directory_iterator(source)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = e.path().lexically_relative(source).generic_string();
    const bool script = e.path().extension() == ".js";
    if (script || rel.find(".htm") != std::string::npos) files.emplace_back(rel, script);
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second : a.first < b.first;
  });

  SetPacingFactor(0);
  TTask task;
  task.Folder = folder;
  task.Script = std::make_shared<TJsClass>();
  std::vector<std::int32_t> entries;
  for (const auto& [rel, script] : files) {
    std::ifstream in(source / rel, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(base + rel);
    rec.Status = Downloaded;
    rec.Size = static_cast<std::int32_t>(text.str().size());
    rec.OwnBase = 1;
    rec.ContentKind = script ? KindScript : 0;
    entries.push_back(task.AddUrl(rec));
    const std::string local = LocalPathOf(folder, base + rel);
    ForceDirs(local.substr(0, local.rfind('\\') + 1));
    WriteWholeFile(NativePath(local + ".tmp"), text.str());
  }
  task.SetStartUrl(task.GetUrl(0));
  {
    ParseThread analysis(task);  // stopped task: its own walk ends at once
    analysis.WaitFor();
    for (std::int32_t entry : entries) analysis.Analyse(entry);
  }
  std::printf("%zu pages analysed, %d entries in the table\n", entries.size(), task.GetCount());
  return 0;
}
