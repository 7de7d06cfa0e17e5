#pragma once
// The per-task settings dialog ("局部设置"): the four settings of one task, kept in the loaded
// task or else in its task file's header, and the name of its tree item.
#include <QDialog>
#include <memory>

#include "task/TaskFile.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TitleFetch.h"

namespace Ui {
class TTaskSettingDlg;
}

namespace qm {
class TDir;
class TTaskManager;
}  // namespace qm

namespace qm::ui {

class TTaskSettingDlg : public QDialog {
  Q_OBJECT
 public:
  // `manager` and `dir` must outlive the dialog.
  TTaskSettingDlg(TTaskManager& manager, TDir& dir, QWidget* parent = nullptr);
  ~TTaskSettingDlg() override;

  // The tree item of the task; set before Execute.
  void SetItemIndex(int item) { item_ = item; }
  int ItemIndex() const { return item_; }

  // Shows the item's settings and names, then the dialog (through the dialog service); its
  // result. A task file that cannot be read is reported and the dialog is not shown (Rejected).
  int Execute();
  // Reads the item's settings and fills the fields; false (reported) when reading failed.
  bool ShowItem();

  void FetchTitle();
  void ChooseFile();
  TTitleFetcher& TitleFetcher() { return fetcher_; }

  // OK: writes the settings into the loaded task or the task file's header; renames the item and
  // refills the tree only when the name changed. A depth that is not an integer, or a failed
  // write, is reported; nothing is changed and the dialog stays open.
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TTaskSettingDlg> ui_;
  TTaskManager& manager_;
  TDir& dir_;
  int item_ = -1;
  TaskSettings shown_;
  TRadioGroup content_, scope_, images_;
  TTitleFetcher fetcher_;
};

}  // namespace qm::ui
