#include "ui/dialogs/DialogCommands.h"

#include "manager/TaskManager.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/DelDirForm.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/ImportDlg.h"
#include "ui/dialogs/PagesSetDlg.h"
#include "ui/dialogs/TaskSettingDlg.h"
#include "ui/dialogs/UpdateSetDlg.h"

namespace qm::ui {

TDialogCommands::TDialogCommands(TTaskManager& manager, TDir& dir, QWidget* window)
    : manager_(manager),
      window_(window),
      updateSet_(std::make_unique<TUpdateSetDlg>(window)),
      delDir_(std::make_unique<TDelDirForm>(window)),
      pagesSet_(std::make_unique<TPagesSetDlg>(window)),
      about_(std::make_unique<TAboutDialog>(window)),
      import_(std::make_unique<TImportDlg>(window)),
      taskSetting_(std::make_unique<TTaskSettingDlg>(manager, dir, window)) {}

TDialogCommands::~TDialogCommands() = default;

bool TDialogCommands::TaskSettings(std::int32_t item) {
  taskSetting_->SetItemIndex(item);
  return taskSetting_->Execute() == QDialog::Accepted;
}

bool TDialogCommands::UpdateSettings() {
  return updateSet_->Execute() == QDialog::Accepted;
}

bool TDialogCommands::OtherSettings() {
  return pagesSet_->Execute() == QDialog::Accepted;
}

void TDialogCommands::DeleteDirectory() {
  delDir_->ShowFor(manager_.CurrentTask());
}

std::int32_t TDialogCommands::Import(
    const std::function<std::int32_t(const TDirItem&)>& addTaskItem) {
  return ImportTaskFile(window_, *import_, manager_, addTaskItem);
}

void TDialogCommands::About() {
  Dialogs().Exec(*about_);
}

}  // namespace qm::ui
