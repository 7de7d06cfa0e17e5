#include "ui/dialogs/SimpleSetDlg.h"

#include <algorithm>

#include "config/Setting.h"
#include "ui/dialogs/DialogService.h"
#include "ui_SimpleSetDlg.h"

namespace qm::ui {
namespace {

void ReportNotInteger(QWidget* parent, const QString& text) {
  Dialogs().Error(parent, QStringLiteral("'%1' is not a valid integer value").arg(text));
}

}  // namespace

TSimpleSetDlg::TSimpleSetDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TSimpleSetDlg) {
  ui_->setupUi(this);
  content_ = TRadioGroup(ui_->RadioGroupContent, kContentValues);
  scope_ = TRadioGroup(ui_->RadioGroupScope, kScopeValues);
  images_ = TRadioGroup(ui_->RadioGroupImages, kImagesValues);
}

TSimpleSetDlg::~TSimpleSetDlg() = default;

int TSimpleSetDlg::Execute() {
  ShowSettings();
  return Dialogs().Exec(*this);
}

void TSimpleSetDlg::ShowSettings() {
  ui_->EditLevel->setText(QString::number(DefaultDepth.load()));
  ui_->EditNumOfThread->setText(QString::number(ThreadCount.load()));
  ui_->CheckBoxAutoUpdate->setChecked(AutoUpdateNonPages);
  content_.Show(DefaultContent);
  scope_.Show(DefaultScope);
  images_.Show(DefaultForeignImages ? 1 : 0);
}

void TSimpleSetDlg::accept() {
  const std::optional<int> depth = ParseDecimal(ui_->EditLevel->text());
  if (!depth) return ReportNotInteger(this, ui_->EditLevel->text());
  DefaultDepth = *depth;

  const std::optional<int> threads = ParseDecimal(ui_->EditNumOfThread->text());
  if (!threads) return ReportNotInteger(this, ui_->EditNumOfThread->text());
  ThreadCount = std::clamp(*threads, kMinThreads, kMaxThreads);

  AutoUpdateNonPages = ui_->CheckBoxAutoUpdate->isChecked();
  DefaultContent = content_.ValueOr(DefaultContent);
  DefaultScope = scope_.ValueOr(DefaultScope);
  DefaultForeignImages = images_.ValueOr(DefaultForeignImages ? 1 : 0) != 0;
  QDialog::accept();
}

}  // namespace qm::ui
