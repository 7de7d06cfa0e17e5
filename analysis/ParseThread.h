#pragma once
// The analysis thread of a running task. It walks the URL table in index order behind the
// download workers, analyses every fetched page (links recorded, links rewritten to local paths,
// the page saved under its final name) and declares the table finished (AnalysisDone) once it has
// walked past the last entry.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/LinkScanner.h"
#include "platform/Files.h"
#include "platform/Thread.h"
#include "task/UrlRecord.h"
#include "url/Scope.h"
#include "url/UrlLib.h"

namespace qm {

class TTask;

class ParseThread : public TThread {
 public:
  // Clears the task's AnalysisDone flag and starts the walk at once. In an update run the walk
  // also waits at entries the workers' update pass has still to take up or finish.
  explicit ParseThread(TTask& task, bool updateRun = false);
  ~ParseThread() override;

  std::int64_t Position() const { return position_; }

  // The analysis of one page entry (public so that tests can drive single pages).
  void Analyse(std::int32_t index);

 protected:
  void Execute() override;
  // An uncaught error stops the run as a failure (the master then reports and saves).
  void OnUncaughtError(const std::string& message) override;

 private:
  // Steps of Analyse.
  void AnalysePage(std::int32_t index, const TExtendUrlRec& rec, const std::string& pageUrl,
                   const TSplitUrl& parts, const std::string& baseUrl, const std::string& localFile,
                   std::int32_t& added);
  void RecordLinks(TLinkGroup group, const TExtendUrlRec& page, std::int32_t index,
                   std::int32_t& added);
  void RecordFollowedLinks(const TExtendUrlRec& page, std::int32_t index, std::int32_t& added);
  // The walk's waits end early on these: stop, pause, termination, a page queued.
  bool WalkInterrupted();
  // The page's script file (scriptEntry_) is still to be fetched.
  bool ScriptComing();
  bool AddLink(const TExtendUrlRec& rec, std::int32_t& added);
  void Fail(std::int32_t index, const char* prefix, const std::string& message,
            const char* urlLabel, const std::string& rawUrl, std::int32_t status);
  void LogPlain(const std::string& line);
  void LogRed(const std::string& line);

  TTask& task_;
  const bool updateRun_;
  const std::string saveRoot_;  // the task's Folder, or ".\" when empty
  std::atomic<std::int64_t> position_{0};
  TRewritableFile fetched_;  // the page's temporary file, open while the page is analysed
  std::string fileText_;     // the temporary file as loaded
  std::string docText_;      // the page text being scanned and rewritten, then saved
  TLinkList links_;          // links returned by one group of scanners
  TScanScratch scratch_;
  std::string scriptFileUrl_;      // the page's script file, remembered by the script group
  std::int32_t scriptEntry_ = -1;  // its entry, -1 when it is not in the table
  bool markSaved_ = true;
};

}  // namespace qm
