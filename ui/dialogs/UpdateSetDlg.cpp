#include "ui/dialogs/UpdateSetDlg.h"

#include "config/Setting.h"
#include "ui/dialogs/DialogService.h"
#include "ui_UpdateSetDlg.h"

namespace qm::ui {

TUpdateSetDlg::TUpdateSetDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TUpdateSetDlg) {
  ui_->setupUi(this);
}

TUpdateSetDlg::~TUpdateSetDlg() = default;

int TUpdateSetDlg::Execute() {
  ShowSettings();
  return Dialogs().Exec(*this);
}

void TUpdateSetDlg::ShowSettings() {
  ui_->CheckBoxNoUpdateStatic->setChecked(NoUpdateStatic);
  ui_->CheckBoxNoUpdateErrors->setChecked(NoUpdateErrors);
  ui_->CheckBoxUpdatePagesOnly->setChecked(UpdatePagesOnly);
}

void TUpdateSetDlg::accept() {
  NoUpdateStatic = ui_->CheckBoxNoUpdateStatic->isChecked();
  NoUpdateErrors = ui_->CheckBoxNoUpdateErrors->isChecked();
  UpdatePagesOnly = ui_->CheckBoxUpdatePagesOnly->isChecked();
  QDialog::accept();
}

}  // namespace qm::ui
