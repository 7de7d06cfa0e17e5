// The main window's side that faces a running task: the timers, the statistics lines, the dump
// of the URL table and the directory question of the analysis thread.
#include <QPlainTextEdit>
#include <cinttypes>
#include <cstdio>

#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "platform/DateTime.h"
#include "task/HttpWork.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "task/UrlRecord.h"
#include "ui/MainWindow.h"
#include "ui/QtWindowPort.h"
#include "ui/dialogs/DialogService.h"
#include "ui_MainWindow.h"

namespace qm::ui {
namespace {

constexpr std::int64_t LowDiskBytes = 104857600;  // 100 MB
constexpr int LogClearLines = 1000;

}  // namespace

void TForm1::TimerStatisticTimer() {
  const std::int64_t speed = manager_->TotalSpeed();
  ui_->RichEditStatistic->setText(
      QString::fromStdString("下载速度=" + FormatSize(static_cast<std::int32_t>(speed)) + "/s"));
}

void TForm1::TimerProgressTimer() {
  if (TTask* task = manager_->CurrentTask()) SetProgress(task->Recount());
}

void TForm1::TimerSaveTimer() {
  TTask* task = manager_->CurrentTask();
  if (!task) return;
  const TTaskFileResult saved = SaveTaskFile(*task);
  if (!saved) Window().AddRedLog(saved.Message);
  if (!ui_->ToolButtonStop->isEnabled()) return;  // no task is running
  if (LogLineCount() > LogClearLines) ui_->Memo1->clear();
  const std::int64_t free = FreeBytes(task->Folder);
  if (free >= 0 && free < LowDiskBytes) {
    Dialogs().Info(this,
                   QStringLiteral("硬盘空间不足<") + QStringLiteral("100") + QStringLiteral("MB"));
    StopTask();
  }
}

void TForm1::ShowStatistics() {
  TTask* task = manager_->CurrentTask();
  if (!task) return;
  SetProgress(task->Recount());
  std::int32_t total, notDownloaded, saved, errors, analysisErrors, downloaded, depth;
  std::int64_t savedBytes;
  {
    TLockGuard guard(task->TableLock);
    total = task->Total;
    notDownloaded = task->NotDownloadedCount;
    saved = task->SavedCount;
    errors = task->ErrorCount;
    analysisErrors = task->AnalysisErrorCount;
    downloaded = task->DownloadedCount;
    savedBytes = task->SavedBytes;
    depth = task->Settings().Depth;
  }
  MainWindowPort& log = *port_;
  log.AddLog("下载网站的首页为：" + task->GetRawUrl(0));
  char line[256];
  if (depth == -1) {
    log.AddLog("下载层数为：所有层");
  } else {
    std::snprintf(line, sizeof line, "层数为：%d", depth);
    log.AddLog(line);
  }
  std::snprintf(line, sizeof line, "共需下载%d个文件,其中已成功下载%d个,共下载%" PRIu64 "字节。",
                total, downloaded + saved, static_cast<std::uint64_t>(savedBytes));
  log.AddLog(line);
  std::snprintf(line, sizeof line, "其中%d个未解析,已经解析的有%d个,还有%d个未下载。", downloaded,
                saved, notDownloaded);
  log.AddLog(line);
  std::snprintf(line, sizeof line, "下载错误文件%d个,解析错误文件%d个。", errors, analysisErrors);
  log.AddLog(line);
  manager_->RefreshList();
}

void TForm1::DumpUrlTable() {
  TTask* task = manager_->CurrentTask();
  if (!task) return;
  const std::int32_t count = task->GetCount();
  for (std::int32_t i = 0; i < count; ++i) {
    const TExtendUrlRec rec = task->CopyRecord(i);
    char head[64];
    std::snprintf(head, sizeof head, "%d,", i);
    char tail[64];
    std::snprintf(tail, sizeof tail, ",%d,", static_cast<int>(rec.Status));
    port_->AddLog(head + rec.Url.Get() + "," + std::string(StatusWord(rec.Status)) + tail +
                  FormatDateTimeIso(rec.FileTime) + ",ReferId=" + std::to_string(rec.ReferId));
  }
}

void TForm1::ConfirmDirectories(TTask& task) {
  // The dialog works on a copy; the answer goes back under the task's lock.
  std::vector<TDirChoice> dirs;
  {
    TLockGuard guard(task.TableLock);
    for (const ExtraDirRec& rec : task.ExtraDirs)
      dirs.emplace_back(rec.Dir.Get(), rec.Selected != 0);
  }
  if (dialogs_->ConfirmDirectories(this, task, dirs)) {
    TLockGuard guard(task.TableLock);
    for (std::size_t i = 0; i < dirs.size() && i < task.ExtraDirs.size(); ++i)
      task.ExtraDirs[i].Selected = dirs[i].second ? 1 : 0;
  }
}

}  // namespace qm::ui
