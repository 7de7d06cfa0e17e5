#pragma once
// The update settings dialog ("更新设置"): what an update run skips. Edits the program settings in
// memory only.
#include <QDialog>
#include <memory>

namespace Ui {
class TUpdateSetDlg;
}

namespace qm::ui {

class TUpdateSetDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TUpdateSetDlg(QWidget* parent = nullptr);
  ~TUpdateSetDlg() override;

  // Shows the current settings, then the dialog (through the dialog service); its result.
  int Execute();
  void ShowSettings();
  // OK: each setting takes its tick box's state.
  void accept() override;

 private:
  std::unique_ptr<Ui::TUpdateSetDlg> ui_;
};

}  // namespace qm::ui
