#pragma once
// The main settings dialog ("主要设置"): the defaults of new tasks, the number of download threads
// and the automatic update of non-page files. It edits the program settings in memory only.
#include <QDialog>
#include <memory>

#include "ui/dialogs/DialogSupport.h"

namespace Ui {
class TSimpleSetDlg;
}

namespace qm::ui {

class TSimpleSetDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMinThreads = 1;
  static constexpr int kMaxThreads = 10;

  explicit TSimpleSetDlg(QWidget* parent = nullptr);
  ~TSimpleSetDlg() override;

  // Shows the current settings, then the dialog (through the dialog service); its result.
  int Execute();
  // Puts the current settings into the fields.
  void ShowSettings();
  // OK, in this order: depth, thread count (1 to 10), the automatic update switch, then content,
  // scope and foreign images (a group without selection keeps its setting). A field that is not
  // an integer is reported; it and every later step keep their values and the dialog stays open.
  void accept() override;

 private:
  std::unique_ptr<Ui::TSimpleSetDlg> ui_;
  TRadioGroup content_, scope_, images_;
};

}  // namespace qm::ui
