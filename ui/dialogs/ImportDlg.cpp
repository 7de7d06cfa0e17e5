#include "ui/dialogs/ImportDlg.h"

#include <QDir>
#include <QFileInfo>

#include "manager/TaskManager.h"
#include "task/UrlRecord.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui_ImportDlg.h"

namespace qm::ui {

TImportDlg::TImportDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TImportDlg) {
  ui_->setupUi(this);
}

TImportDlg::~TImportDlg() = default;

void TImportDlg::SetProjName(const QString& name) {
  ui_->EditProjName->setText(name);
}
QString TImportDlg::ProjName() const {
  return ui_->EditProjName->text();
}

void TImportDlg::accept() {
  StartAtOnce = ui_->CheckBoxLoad->isChecked();
  QDialog::accept();
}

int ImportTaskFile(QWidget* parent, TImportDlg& dialog, TTaskManager& manager,
                   const std::function<int(const TDirItem&)>& addTaskItem) {
  const QString ext = QStringLiteral(".web");
  const QString filter = QStringLiteral("Quillmoss任务文件(*%1)").arg(ext);
  const QString chosen = Dialogs().OpenFileName(
      parent, QString(), QDir::current().filePath(QStringLiteral("*") + ext), filter);
  if (chosen.isEmpty()) return -1;

  const QFileInfo file(chosen);
  dialog.SetProjName(file.completeBaseName());
  if (Dialogs().Exec(dialog) != QDialog::Accepted) return -1;

  TDirItem item;
  item.Name = dialog.ProjName().toStdString();
  item.Type = ItemTask;
  QString folder = QDir::cleanPath(file.absolutePath());
  if (!folder.endsWith(u'/')) folder += u'/';
  item.Path = ToProgramPath(folder).toStdString();
  item.FileName = file.fileName().toStdString();
  const int index = addTaskItem(item);
  if (index < 0) return -1;
  manager.OpenTask(index, RunHold);
  manager.StartNext();
  return index;
}

}  // namespace qm::ui
