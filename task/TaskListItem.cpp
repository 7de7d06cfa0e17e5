// The texts of a task's row in the window's task list.
#include <cstdio>
#include <string>

#include "task/HttpWork.h"
#include "task/MainWindowPort.h"
#include "task/Task.h"

namespace qm {
namespace {

std::string StateWord(std::int32_t state, std::int32_t runMode, bool loaded) {
  switch (state) {
    case Running:
      return "运行";
    case Paused:
      return "暂停";
    case Stopped:
      if (runMode == RunHold) return "待令";
      return loaded ? "停止" : "等待";
    case Complete:
      return "完成";
    default:
      return "未知状态";
  }
}

}  // namespace

void TTask::ShowInListItem(int row, TDateTime now) {
  ListItem = row;
  const std::int32_t state = State.load();
  std::string progress, count, size, time, startUrl;
  {
    TLockGuard guard(TableLock);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d", SavedCount + DownloadedCount, Total);
    progress = buf;
    count = std::to_string(DownloadedCount);
    // The size column shows the low 32 bits of the byte count, as a signed number.
    size = FormatSize(static_cast<std::int32_t>(static_cast<std::uint32_t>(SavedBytes)));
    TDateTime span = RunTime;
    if (state == Running) span += now - RunStart;
    time = FormatTimeOfDay(span);
    startUrl = StartUrl();
  }
  if (!Loaded) {
    progress = "?/?";
    size = "?";
    count = "?";
  }
  TListRowTexts texts;
  texts.Caption = Name;
  texts.ImageIndex = 0;
  texts.SubItems = {StateWord(state, RunMode, Loaded), startUrl, time, progress, size, count};
  Window().SetListRow(row, texts);
}

void TTask::RefreshListItem(TDateTime now) {
  if (ListItem < 0) return;
  ShowInListItem(ListItem, now);
}

}  // namespace qm
