// Arbitrary page and target URLs: local paths stay below the folder, relative links lead to the
// target's file, and the fast case-insensitive search finds what a plain one finds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "url/UrlLib.h"

namespace {

namespace fs = std::filesystem;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckContained(std::string_view folder, const std::string& local) {
  Check(local.compare(0, folder.size(), folder) == 0);
  const std::string below = local.substr(folder.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t bs = below.find('\\', from);
    const std::string part = below.substr(from, bs == std::string::npos ? bs : bs - from);
    Check(!part.empty() && part != "." && part != "..");
    Check(part.find('/') == std::string::npos && part.find('\0') == std::string::npos);
    Check(part.size() + 4 <= 255);
    if (bs == std::string::npos) break;
    from = bs + 1;
  }
}

std::size_t PlainPosText(std::string_view pattern, std::string_view text) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  if (pattern.empty()) return 0;
  for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() && lower(pattern[k]) == lower(text[i + k])) ++k;
    if (k == pattern.size()) return i + 1;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string_view first = input.substr(0, cut);
  const std::string_view second = cut == std::string_view::npos ? "" : input.substr(cut + 1);

  const std::string folder = "/f/task\\";
  const std::string page = "http://" + std::string(first);
  const std::string target = "http://" + std::string(second);
  const std::string pageLocal = qm::LocalPathOf(folder, page);
  const std::string targetLocal = qm::LocalPathOf(folder, target);
  CheckContained(folder, pageLocal);
  CheckContained(folder, targetLocal);
  CheckContained(folder, qm::LocalPathOf(folder, first));

  const std::string link = qm::RelativeLocalPath(target, page);
  const fs::path reached = (fs::path(qm::NativePath(pageLocal)).parent_path() / link);
  Check(reached.lexically_normal() == fs::path(qm::NativePath(targetLocal)).lexically_normal());

  Check(qm::PosText(second.substr(0, 8), first) == PlainPosText(second.substr(0, 8), first));
  std::string absolute;
  if (qm::MakeAbsoluteUrl(second, page, absolute)) Check(!absolute.empty());
  qm::PercentDecode(first);
  return 0;
}
