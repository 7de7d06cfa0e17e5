#include "ui/dialogs/TaskSettingDlg.h"

#include <QDir>

#include "manager/DirUnit.h"
#include "manager/TaskManager.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/PagesSetDlg.h"
#include "ui_TaskSettingDlg.h"

namespace qm::ui {

TTaskSettingDlg::TTaskSettingDlg(TTaskManager& manager, TDir& dir, QWidget* parent)
    : QDialog(parent), ui_(new Ui::TTaskSettingDlg), manager_(manager), dir_(dir) {
  ui_->setupUi(this);
  setFixedSize(521, 370);
  content_ = TRadioGroup(ui_->RadioGroupContent, kContentValues);
  scope_ = TRadioGroup(ui_->RadioGroupScope, kScopeValues);
  images_ = TRadioGroup(ui_->RadioGroupImages, kImagesValues);
  connect(ui_->EditProjName, &QLineEdit::textChanged, this, [this](const QString& name) {
    ui_->EditFilename->setText(FileFieldForName(name, ui_->EditFilename->text()));
  });
  connect(ui_->ButtonGetTitle, &QPushButton::clicked, this, &TTaskSettingDlg::FetchTitle);
  connect(ui_->ButtonBrowse, &QPushButton::clicked, this, &TTaskSettingDlg::ChooseFile);
}

TTaskSettingDlg::~TTaskSettingDlg() = default;

void TTaskSettingDlg::showEvent(QShowEvent* event) {
  CentreOnScreen(*this);
  QDialog::showEvent(event);
}

int TTaskSettingDlg::Execute() {
  if (!ShowItem()) return QDialog::Rejected;
  return Dialogs().Exec(*this);
}

bool TTaskSettingDlg::ShowItem() {
  if (!dir_.Valid(item_)) return false;
  TaskSettings settings = DefaultTaskSettings();
  try {
    manager_.ReadTaskSettings(item_, settings);
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
    return false;
  }
  shown_ = settings;
  ui_->EditLevel->setText(QString::number(settings.Depth));
  content_.Show(settings.Content);
  scope_.Show(settings.Scope);
  images_.Show(settings.ForeignImages ? 1 : 0);

  const TDirItem& item = dir_.Items[static_cast<std::size_t>(item_)];
  ui_->EditUrl->setText(QString::fromStdString(item.StartURL));
  ui_->EditFilename->setText(QString::fromStdString(item.Path + item.FileName));
  // Last, so that the name rule finds the file field already filled (it changes nothing here).
  ui_->EditProjName->setText(QString::fromStdString(item.Name));
  ui_->PageControl1->setCurrentIndex(0);
  return true;
}

void TTaskSettingDlg::FetchTitle() {
  ui_->ButtonGetTitle->setEnabled(false);
  fetcher_.FetchInto(this, *ui_->EditUrl, *ui_->EditProjName);
  ui_->ButtonGetTitle->setEnabled(true);
}

void TTaskSettingDlg::ChooseFile() {
  // Only the (disabled) file field changes; it is not read back.
  const QString proposed = ToNativePath(ui_->EditFilename->text());
  const QString chosen =
      Dialogs().SaveFileName(this, QString(), QDir::current().filePath(proposed), QString());
  if (!chosen.isEmpty()) ui_->EditFilename->setText(ToProgramPath(chosen));
}

void TTaskSettingDlg::accept() {
  fetcher_.Cancel();
  if (!dir_.Valid(item_)) return QDialog::reject();
  const std::optional<int> depth = ParseDecimal(ui_->EditLevel->text());
  if (!depth) {
    Dialogs().Error(
        this, QStringLiteral("'%1' is not a valid integer value").arg(ui_->EditLevel->text()));
    return;
  }
  TaskSettings settings;
  settings.Depth = *depth;
  settings.Content = content_.ValueOr(shown_.Content);
  settings.Scope = scope_.ValueOr(shown_.Scope);
  settings.ForeignImages = images_.ValueOr(shown_.ForeignImages ? 1 : 0) != 0;
  try {
    if (!manager_.WriteTaskSettings(item_, settings)) {
      const TDirItem& item = dir_.Items[static_cast<std::size_t>(item_)];
      Dialogs().Error(this, QStringLiteral("任务文件不存在：") +
                                QString::fromStdString(item.Path + item.FileName));
      return;
    }
  } catch (const std::exception& e) {
    Dialogs().Error(this, QString::fromStdString(e.what()));
    return;
  }
  const std::string name = ui_->EditProjName->text().toStdString();
  TDirItem& item = dir_.Items[static_cast<std::size_t>(item_)];
  if (name != item.Name) {
    item.Name = name;
    dir_.FillView();
  }
  QDialog::accept();
}

void TTaskSettingDlg::reject() {
  fetcher_.Cancel();
  QDialog::reject();
}

}  // namespace qm::ui
