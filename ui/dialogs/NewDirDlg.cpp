#include "ui/dialogs/NewDirDlg.h"

#include "ui_NewDirDlg.h"

namespace qm::ui {

TNewDirDlg::TNewDirDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TNewDirDlg) {
  ui_->setupUi(this);
  // Only a close box in the title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
}

TNewDirDlg::~TNewDirDlg() = default;

QString TNewDirDlg::Name() const {
  return ui_->Edit1->text();
}
void TNewDirDlg::SetName(const QString& name) {
  ui_->Edit1->setText(name);
}

}  // namespace qm::ui
