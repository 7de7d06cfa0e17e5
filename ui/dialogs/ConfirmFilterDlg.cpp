#include "ui/dialogs/ConfirmFilterDlg.h"

#include "task/Task.h"
#include "ui/dialogs/DialogService.h"
#include "ui/dialogs/DirInputDlg.h"
#include "ui_ConfirmFilterDlg.h"
#include "url/Scope.h"

namespace qm::ui {

TConfirmFilterDlg::TConfirmFilterDlg(TDirInputDlg& input, QWidget* parent)
    : QDialog(parent), ui_(new Ui::TConfirmFilterDlg), input_(input) {
  ui_->setupUi(this);
  connect(ui_->ButtonAddDir, &QPushButton::clicked, this, &TConfirmFilterDlg::AddDirectory);
}

TConfirmFilterDlg::~TConfirmFilterDlg() = default;

void TConfirmFilterDlg::SetTask(TTask* task) {
  task_ = task;
  ui_->CheckListBox1->clear();
  dirs_.clear();
  if (!task_) return;
  std::vector<ExtraDirRec> copy;
  {
    TLockGuard guard(task_->TableLock);
    copy = task_->ExtraDirs;
  }
  for (const ExtraDirRec& dir : copy) AddEntry(dir);
}

void TConfirmFilterDlg::AddEntry(const ExtraDirRec& dir) {
  dirs_.push_back(dir);
  auto* item = new QListWidgetItem(QString::fromStdString(std::string(dir.Dir.View())));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(dir.Selected ? Qt::Checked : Qt::Unchecked);
  ui_->CheckListBox1->addItem(item);
}

std::vector<ExtraDirRec> TConfirmFilterDlg::Dirs() const {
  std::vector<ExtraDirRec> dirs = dirs_;
  for (std::size_t i = 0; i < dirs.size(); ++i)
    dirs[i].Selected =
        ui_->CheckListBox1->item(static_cast<int>(i))->checkState() == Qt::Checked ? 1 : 0;
  return dirs;
}

void TConfirmFilterDlg::AddDirectory() {
  if (!task_) return;
  if (Dialogs().Exec(input_) != QDialog::Accepted) return;
  const std::string dir = input_.Dir().toStdString();
  if (dir.empty()) return;
  const std::string base = task_->GetRawUrl(0);
  // AddExtraDir takes the task's lock itself; the copy of the new element is taken under it too.
  if (!AddExtraDir(*task_, dir, base, false)) return;
  ExtraDirRec added;
  {
    TLockGuard guard(task_->TableLock);
    task_->ExtraDirs.back().Selected = 1;
    added = task_->ExtraDirs.back();
  }
  AddEntry(added);
}

void TConfirmFilterDlg::accept() {
  if (task_) {
    const std::vector<ExtraDirRec> ticked = Dirs();
    TLockGuard guard(task_->TableLock);
    const std::size_t n = std::min(ticked.size(), task_->ExtraDirs.size());
    for (std::size_t i = 0; i < n; ++i) task_->ExtraDirs[i].Selected = ticked[i].Selected;
  }
  QDialog::accept();
}

}  // namespace qm::ui
