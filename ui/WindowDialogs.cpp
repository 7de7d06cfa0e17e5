#include "ui/WindowDialogs.h"

#include "task/Task.h"
#include "ui/dialogs/ConfirmDlg.h"
#include "ui/dialogs/ConfirmFilterDlg.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/DirInputDlg.h"
#include "ui/dialogs/NewDirDlg.h"
#include "ui/dialogs/SimpleSetDlg.h"

namespace qm::ui {

void NotAvailableYet(QWidget* parent, const QString& what) {
  Dialogs().Info(parent, QStringLiteral("“%1”尚未提供。").arg(what), what);
}

namespace {

// The dialogs of the window's own flows, created once with the window (in the program's order:
// main settings, directory confirmation, directory input, new task; the new category last) and
// reused.
class TDialogClasses final : public TWindowDialogs {
 public:
  explicit TDialogClasses(QWidget* window)
      : simpleSet_(window),
        dirInput_(window),
        confirmFilter_(dirInput_, window),
        confirm_(window),
        newDir_(window) {}

  bool NewTask(QWidget*, TNewTaskFields& fields) override {
    confirm_.SetUrl(fields.Url);
    confirm_.SetProjName(fields.Name);
    confirm_.SetFilename(fields.File);
    if (Dialogs().Exec(confirm_) != QDialog::Accepted) return false;
    fields.Url = confirm_.Url();
    fields.Name = confirm_.ProjName();
    fields.File = confirm_.Filename();
    return true;
  }
  bool MainSettings(QWidget*) override { return simpleSet_.Execute() == QDialog::Accepted; }
  bool NewCategory(QWidget*, QString& name) override {
    if (Dialogs().Exec(newDir_) != QDialog::Accepted) return false;
    name = newDir_.Name();
    return true;
  }
  bool ConfirmDirectories(QWidget*, TTask& task, std::vector<TDirChoice>& dirs) override {
    confirmFilter_.SetTask(&task);
    const bool ok = Dialogs().Exec(confirmFilter_) == QDialog::Accepted;
    if (ok) {
      // The dialog has written its ticks back; the window's copy says the same.
      dirs.clear();
      for (const ExtraDirRec& rec : confirmFilter_.Dirs())
        dirs.emplace_back(rec.Dir.Get(), rec.Selected != 0);
    }
    confirmFilter_.SetTask(nullptr);
    return ok;
  }

 private:
  TSimpleSetDlg simpleSet_;
  TDirInputDlg dirInput_;
  TConfirmFilterDlg confirmFilter_;
  TConfirmDlg confirm_;
  TNewDirDlg newDir_;
};

}  // namespace

std::unique_ptr<TWindowDialogs> MakeProgramDialogs(QWidget* window) {
  return std::make_unique<TDialogClasses>(window);
}

}  // namespace qm::ui
