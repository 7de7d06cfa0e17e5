// The task commands of the main window: new task and presets, load, save, run, pause, stop,
// repair, update, restart, and the same from the tree's pop-up menu.
#include <QDir>
#include <QFileInfo>

#include "config/Setting.h"
#include "engine/RunSupervisor.h"
#include "manager/TaskManager.h"
#include "platform/Files.h"
#include "task/Task.h"
#include "task/TaskFile.h"
#include "ui/MainWindow.h"
#include "ui/dialogs/DialogCommands.h"
#include "ui/dialogs/DialogService.h"
#include "ui_MainWindow.h"
#include "url/UrlLib.h"

namespace qm::ui {
namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// "\"-separated program form of a native directory, ending in "\".
std::string ProgramDir(const QString& native) {
  std::string dir = QDir::cleanPath(QDir(native).absolutePath()).toStdString();
  for (char& c : dir)
    if (c == '/') c = '\\';
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

std::string RestartQuestion(const std::string& url) {
  return "将重新开始下载以" + url + "为起始网址的任务,以前的任务数据将丢失,要开始吗?";
}

}  // namespace

std::string TForm1::WebsitesFolder() const {
  std::string parent = options_.WebsitesParent;
  if (parent.empty()) {
    const QString exeDir = QCoreApplication::applicationDirPath();
    parent = ProgramDir(QFileInfo(exeDir).isWritable() ? exeDir : QDir::homePath());
  }
  return parent + "Websites\\";
}

TTask* TForm1::CommandTask() const {
  if (TTask* row = SelectedRowTask()) return row;
  return manager_->CurrentTask();
}

// ---- new tasks ------------------------------------------------------------------------------

void TForm1::ProposeNewTask(TNewTaskFields& fields) const {
  fields.Url = ui_->EditUrl->currentText();
  const std::string name = SplitUrl(fields.Url.toStdString()).Host;
  fields.Name = Text(name);
  fields.File = Text(WebsitesFolder() + name + ".web");
}

bool TForm1::AskNewTaskItem(TDirItem& item) {
  TNewTaskFields fields;
  ProposeNewTask(fields);
  if (!dialogs_->NewTask(this, fields)) return false;
  const std::string file = fields.File.toStdString();
  const std::size_t slash = file.find_last_of("\\/");
  item = TDirItem();
  item.Name = fields.Name.toStdString();
  item.Type = ItemTask;
  item.Path = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  for (char& c : item.Path)
    if (c == '/') c = '\\';
  item.FileName = slash == std::string::npos ? file : file.substr(slash + 1);
  item.StartURL = fields.Url.toStdString();
  return true;
}

void TForm1::NewTask() {
  TDirItem item;
  if (!AskNewTaskItem(item)) return;
  if (!dialogs_->MainSettings(this)) return;  // no item is added
  const std::int32_t index = AddTaskItem(item);
  manager_->NewTask(index);
  StartNext();
}

void TForm1::NewTaskWithScheme(TScheme scheme) {
  TDirItem item;
  if (!AskNewTaskItem(item)) return;
  TaskSettings settings;
  settings.Content = DefaultContent.load();
  settings.ForeignImages = DefaultForeignImages.load();
  switch (scheme) {
    case TScheme::SinglePage:
      settings.Depth = 0;
      settings.Scope = ScopeHost;
      settings.Content = ContentPagesAndImages;
      break;
    case TScheme::ThisDirectory:
      settings.Depth = -1;
      settings.Scope = ScopeDirectory;
      break;
    case TScheme::OneLevel:
      settings.Depth = 1;
      settings.Scope = ScopeSite;
      break;
    case TScheme::WholeSite:
      settings.Depth = -1;
      settings.Scope = ScopeSite;
      break;
  }
  const std::int32_t index = AddTaskItem(item);
  manager_->NewTaskWithSettings(index, settings);
  StartNext();
}

// ---- the toolbar's task commands --------------------------------------------------------------

void TForm1::LoadTask() {
  const std::int32_t item = TreeTaskItem();
  if (item < 0) return;
  manager_->OpenTask(item, RunHold);
  StartNext();
}

void TForm1::SaveTask() {
  if (!manager_->CurrentTask()) return Dialogs().Info(this, QStringLiteral("还没有建立任务"));
  TTask* task = CommandTask();
  const TTaskFileResult saved = SaveTaskFile(*task);
  if (!saved) throw std::runtime_error(saved.Message);
  ShowStatistics();
}

void TForm1::RunTask() {
  if (!manager_->CurrentTask())
    return Dialogs().Info(this, QStringLiteral("还没有新建或者载入任务"));
  TTask* task = CommandTask();
  if (task->State == Paused) {
    ResumeRun(*task);
  } else if (task->RunMode == RunHold) {
    task->RunMode = RunNormal;
  }
  StartNext();
}

void TForm1::PauseTask() {
  TTask* task = manager_->CurrentTask();
  if (!task) return Dialogs().Info(this, QStringLiteral("还没有载入任务"));
  PauseRun(*task);
  ui_->ToolButtonRun->setEnabled(true);
  ShowStatistics();
}

void TForm1::StopTask() {
  if (TTask* task = manager_->CurrentTask()) StopRun(*task);
}

void TForm1::RepairTask() {
  if (!manager_->CurrentTask()) return Dialogs().Info(this, QStringLiteral("还没有载入任务"));
  CommandTask()->RunMode = RunRepair;
  StartNext();
}

void TForm1::UpdateTask() {
  if (!manager_->CurrentTask()) return Dialogs().Info(this, QStringLiteral("还没有载入任务"));
  if (!dialogCommands_->UpdateSettings()) return;
  CommandTask()->RunMode = RunUpdate;
  StartNext();
}

void TForm1::RestartTask() {
  if (!manager_->CurrentTask()) return Dialogs().Info(this, QStringLiteral("还没有载入任务"));
  TTask* task = CommandTask();
  if (!Dialogs().OkCancel(this, Text(RestartQuestion(task->StartUrl())),
                          QStringLiteral("重新开始")))
    return;
  task->RunMode = RunRestart;
  StartNext();
}

// ---- the tree's task commands -----------------------------------------------------------------

std::int32_t TForm1::TreeTaskItem() {
  if (!ui_->TreeView1->currentItem()) {
    Dialogs().Info(this, QStringLiteral("请先选择一个任务"));
    return -1;
  }
  const std::int32_t item = SelectedItem();
  if (item < 0 || dir_->Items[static_cast<std::size_t>(item)].Type != ItemTask) return -1;
  return item;
}

void TForm1::RunFromTree(std::int32_t runMode) {
  const std::int32_t item = TreeTaskItem();
  if (item < 0) return;
  manager_->OpenTask(item, runMode);
  StartNext();
}

void TForm1::RestartFromTree() {
  const std::int32_t item = TreeTaskItem();
  if (item < 0) return;
  const std::string url = dir_->Items[static_cast<std::size_t>(item)].StartURL;
  if (!Dialogs().OkCancel(this, Text(RestartQuestion(url)), QStringLiteral("重新开始"))) return;
  manager_->OpenTask(item, RunRestart);
  StartNext();
}

void TForm1::TaskSettingsFromTree() {
  const std::int32_t item = TreeTaskItem();
  if (item < 0) return;
  const TDirItem& it = dir_->Items[static_cast<std::size_t>(item)];
  if (FileExists(NativePath(it.Path + it.FileName))) {
    dialogCommands_->TaskSettings(item);
    return;
  }
  if (!Dialogs().OkCancel(this, Text("任务文件丢失,要重建以" + it.StartURL + "为起始网址的任务吗?"),
                          QStringLiteral("重建任务")))
    return;
  if (!dialogs_->MainSettings(this)) return;
  manager_->NewTask(item);
  StartNext();
}

// ---- browsing -------------------------------------------------------------------------------

std::string TForm1::BrowseUrl(std::int32_t item) {
  TDirItem& it = dir_->Items[static_cast<std::size_t>(item)];
  const std::int32_t index = manager_->IndexOfItem(item);
  if (index >= 0 && manager_->Task(index).Loaded) it.StartURL = manager_->Task(index).GetUrl(0);
  return it.StartURL;
}

void TForm1::OfflineBrowse() {
  const std::int32_t item = SelectedItem();
  if (item <= 0 || dir_->Items[static_cast<std::size_t>(item)].Type != ItemTask) return;
  const std::string url = BrowseUrl(item);
  if (url.empty()) return;
  const TSplitUrl parts = SplitUrl(url);
  const std::string local =
      dir_->Items[static_cast<std::size_t>(item)].Path + parts.Host + "\\" + parts.Dir + parts.File;
  OpenUrl(QUrl::fromLocalFile(Text(NativePath(local))));
}

void TForm1::OnlineBrowse() {
  const std::int32_t item = SelectedItem();
  if (item <= 0 || dir_->Items[static_cast<std::size_t>(item)].Type != ItemTask) return;
  const std::string url = BrowseUrl(item);
  if (!url.empty()) OpenUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

}  // namespace qm::ui
