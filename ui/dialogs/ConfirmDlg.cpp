#include "ui/dialogs/ConfirmDlg.h"

#include <QDir>

#include "manager/TaskManager.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui_ConfirmDlg.h"

namespace qm::ui {

TConfirmDlg::TConfirmDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TConfirmDlg) {
  ui_->setupUi(this);
  connect(ui_->EditProjName, &QLineEdit::textChanged, this, &TConfirmDlg::OnNameChanged);
  connect(ui_->ButtonGetTitle, &QPushButton::clicked, this, &TConfirmDlg::FetchTitle);
  connect(ui_->ButtonBrowse, &QPushButton::clicked, this, &TConfirmDlg::ChooseFile);
  connect(ui_->ButtonNewAndRun, &QPushButton::clicked, this, [this] {
    startAtOnce_ = true;
    accept();
  });
  connect(ui_->ButtonNew, &QPushButton::clicked, this, [this] {
    startAtOnce_ = false;
    accept();
  });
  connect(ui_->ButtonCancel, &QPushButton::clicked, this, &TConfirmDlg::reject);
}

TConfirmDlg::~TConfirmDlg() = default;

void TConfirmDlg::SetUrl(const QString& url) {
  ui_->EditUrl->setText(url);
}
void TConfirmDlg::SetProjName(const QString& name) {
  ui_->EditProjName->setText(name);
}
void TConfirmDlg::SetFilename(const QString& fileName) {
  ui_->EditFilename->setText(fileName);
}
QString TConfirmDlg::Url() const {
  return ui_->EditUrl->text();
}
QString TConfirmDlg::ProjName() const {
  return ui_->EditProjName->text();
}
QString TConfirmDlg::Filename() const {
  return ui_->EditFilename->text();
}

void TConfirmDlg::OnNameChanged(const QString& name) {
  ui_->EditFilename->setText(FileFieldForName(name, ui_->EditFilename->text()));
}

void TConfirmDlg::FetchTitle() {
  ui_->ButtonGetTitle->setEnabled(false);
  fetcher_.FetchInto(this, *ui_->EditUrl, *ui_->EditProjName);
  ui_->ButtonGetTitle->setEnabled(true);
}

void TConfirmDlg::ChooseFile() {
  const QString proposed = ToNativePath(ui_->EditFilename->text());
  const QString chosen =
      Dialogs().SaveFileName(this, QString(), QDir::current().filePath(proposed), QString());
  if (!chosen.isEmpty()) ui_->EditFilename->setText(ToProgramPath(chosen));
}

void TConfirmDlg::accept() {
  fetcher_.Cancel();
  StartAtOnce = startAtOnce_;
  startAtOnce_ = true;  // the next Enter means the default button again
  QDialog::accept();
}

void TConfirmDlg::reject() {
  fetcher_.Cancel();
  startAtOnce_ = true;
  QDialog::reject();
}

}  // namespace qm::ui
