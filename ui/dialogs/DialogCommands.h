#pragma once
// The window's commands that open the settings, tool and file dialogs: one object, created with
// the window, that owns those dialogs (created once, reused) and runs each command's flow. The
// window connects its menu items to these and keeps none of their logic.
#include <functional>
#include <memory>

#include "manager/DirUnit.h"

class QWidget;

namespace qm {
class TTaskManager;
}

namespace qm::ui {

class TAboutDialog;
class TDelDirForm;
class TImportDlg;
class TPagesSetDlg;
class TTaskSettingDlg;
class TUpdateSetDlg;

class TDialogCommands {
 public:
  // `manager`, `dir` and `window` must outlive this object; the dialogs are children of `window`.
  TDialogCommands(TTaskManager& manager, TDir& dir, QWidget* window);
  ~TDialogCommands();

  // "局部设置" for a task item whose task file exists: the per-task settings dialog. True on OK.
  bool TaskSettings(std::int32_t item);
  // "更新设置", and the toolbar's Update command before it goes on: true on OK.
  bool UpdateSettings();
  // "其他设置": true on OK.
  bool OtherSettings();
  // "删除目录": shows the delete-directory window (not modal) rooted at the current task's folder.
  void DeleteDirectory();
  // "导入任务文件": the import flow; `addTaskItem` is the window's AddTaskItem. The new item's
  // index, -1 when nothing was imported.
  std::int32_t Import(const std::function<std::int32_t(const TDirItem&)>& addTaskItem);
  // "关于": the about dialog, modal.
  void About();

  TTaskSettingDlg& TaskSettingDlg() { return *taskSetting_; }
  TUpdateSetDlg& UpdateSetDlg() { return *updateSet_; }
  TPagesSetDlg& PagesSetDlg() { return *pagesSet_; }
  TDelDirForm& DelDirForm() { return *delDir_; }
  TImportDlg& ImportDlg() { return *import_; }
  TAboutDialog& AboutDialog() { return *about_; }

 private:
  TTaskManager& manager_;
  QWidget* window_;
  // In the order the program creates its dialogs.
  std::unique_ptr<TUpdateSetDlg> updateSet_;
  std::unique_ptr<TDelDirForm> delDir_;
  std::unique_ptr<TPagesSetDlg> pagesSet_;
  std::unique_ptr<TAboutDialog> about_;
  std::unique_ptr<TImportDlg> import_;
  std::unique_ptr<TTaskSettingDlg> taskSetting_;
};

}  // namespace qm::ui
