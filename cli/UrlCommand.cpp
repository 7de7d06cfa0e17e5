// quillmoss-cli url: the URL functions of the engine, one call per run, bytes in and bytes out.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "url/UrlLib.h"

namespace qm::cli {
namespace {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

int RunUrl(const std::vector<std::string>& args) {
  const ArgList list(args, {});
  const auto& a = list.Positional();
  if (a.empty()) throw UsageError("missing subcommand");
  const std::string& what = a[0];
  auto need = [&](std::size_t count) {
    if (a.size() != count + 1)
      throw UsageError("url " + what + " takes " + std::to_string(count) + " argument(s)");
  };
  if (what == "resolve") {
    need(2);
    std::string absolute;
    if (!MakeAbsoluteUrl(a[1], a[2], absolute)) return 1;
    PrintLine(absolute);
    return 0;
  }
  if (what == "split") {
    need(1);
    const TSplitUrl s = SplitUrl(a[1]);
    PrintLine(s.Host);
    PrintLine(s.Port);
    PrintLine(s.Dir);
    PrintLine(s.File);
    return 0;
  }
  if (what == "relative") {
    need(2);
    PrintLine(RelativeLocalPath(a[1], a[2]));
    return 0;
  }
  throw UsageError("unknown subcommand '" + what + "'");
}

QM_CLI_COMMAND("url", "url resolve LINK BASE | url split URL | url relative TARGET PAGE", RunUrl);

}  // namespace
}  // namespace qm::cli
