#pragma once
// The directory confirmation dialog ("ConfirmFilterDlg"): the user ticks which other directories
// a Directory-scope task may also download. While it is open, the task's analysis thread waits;
// the dialog works on a copy of the task's ExtraDirs and touches the task only under its lock.
#include <QDialog>
#include <memory>
#include <vector>

#include "task/UrlRecord.h"

namespace Ui {
class TConfirmFilterDlg;
}

namespace qm {
class TTask;
}

namespace qm::ui {

class TDirInputDlg;

class TConfirmFilterDlg : public QDialog {
  Q_OBJECT
 public:
  // `input` is the directory input dialog of "手动添加"; it must outlive this dialog.
  explicit TConfirmFilterDlg(TDirInputDlg& input, QWidget* parent = nullptr);
  ~TConfirmFilterDlg() override;

  // Fills the list from a copy of the task's ExtraDirs (caption Dir, tick Selected). With no task
  // the list is empty and "手动添加" does nothing.
  void SetTask(TTask* task);
  TTask* Task() const { return task_; }
  // The directories as the list shows them, with the user's ticks.
  std::vector<ExtraDirRec> Dirs() const;

  // "手动添加": asks for a directory and adds it to the task, ticked, unless the task refuses it.
  void AddDirectory();
  // OK: copies each entry's tick into the Selected flag of the task's ExtraDirs element at the
  // same position.
  void accept() override;

 private:
  void AddEntry(const ExtraDirRec& dir);

  std::unique_ptr<Ui::TConfirmFilterDlg> ui_;
  TDirInputDlg& input_;
  TTask* task_ = nullptr;
  std::vector<ExtraDirRec> dirs_;
};

}  // namespace qm::ui
