#pragma once
// The import dialog ("导入任务文件") and the import flow of the window's "导入任务文件" command: an
// existing task file becomes a task node of the category tree and joins the task list on hold.
#include <QDialog>
#include <functional>
#include <memory>

#include "manager/DirUnit.h"

namespace Ui {
class TImportDlg;
}

namespace qm {
class TTaskManager;
}

namespace qm::ui {

class TImportDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TImportDlg(QWidget* parent = nullptr);
  ~TImportDlg() override;

  void SetProjName(const QString& name);
  QString ProjName() const;
  // OK: StartAtOnce takes the state of "导入任务的同时载入内存".
  void accept() override;

 private:
  std::unique_ptr<Ui::TImportDlg> ui_;
};

// The import flow: the file chooser for "*.web", the dialog with the file's name as the proposed
// task name, then the item added through `addTaskItem` (the window's AddTaskItem), opened on hold
// and the scheduler asked. Returns the new item's index, -1 when nothing was imported.
int ImportTaskFile(QWidget* parent, TImportDlg& dialog, TTaskManager& manager,
                   const std::function<int(const TDirItem&)>& addTaskItem);

}  // namespace qm::ui
