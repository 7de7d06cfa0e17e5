#pragma once
// The update list dialog TConfirmListDlg as the update command sees it.
#include "ui/dialogs/ConfirmListDlg.h"
#include "update/ui/OnlineUpdate.h"

namespace qm::ui {

class TConfirmListAdapter final : public TUpdateListDialog {
 public:
  explicit TConfirmListAdapter(TConfirmListDlg& dialog) : dialog_(dialog) {}
  QDialog& Dialog() override { return dialog_; }
  THttpClient& Client() override { return dialog_.HttpClient(); }
  void ClearRows() override;
  void AddRow(const QStringList& cells) override;
  bool RowTicked(int row) const override;

 private:
  TConfirmListDlg& dialog_;
};

}  // namespace qm::ui
