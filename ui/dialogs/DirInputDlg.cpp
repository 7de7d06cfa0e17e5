#include "ui/dialogs/DirInputDlg.h"

#include "ui_DirInputDlg.h"

namespace qm::ui {

TDirInputDlg::TDirInputDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TDirInputDlg) {
  ui_->setupUi(this);
}

TDirInputDlg::~TDirInputDlg() = default;

void TDirInputDlg::SetDir(const QString& dir) {
  ui_->EditDir->setText(dir);
}
QString TDirInputDlg::Dir() const {
  return ui_->EditDir->text();
}

}  // namespace qm::ui
