// The main window's category tree: placing new nodes, deleting, the recycle bin, drag and drop,
// and the pop-up menu a click chooses.
#include <QMenu>

#include "manager/TaskManager.h"
#include "task/Task.h"
#include "ui/DirTreeWidget.h"
#include "ui/MainWindow.h"
#include "ui/dialogs/DialogService.h"
#include "ui_MainWindow.h"

namespace qm::ui {

std::int32_t TForm1::SelectedItem() const {
  QTreeWidgetItem* node = ui_->TreeView1->currentItem();
  return node ? dir_->IndexOfNode(TTreeViewBinding::Node(node)) : -1;
}

bool TForm1::SelectItem(std::int32_t item) {
  if (!dir_->Valid(item) || !dir_->Items[static_cast<std::size_t>(item)].Node) return false;
  ui_->TreeView1->setCurrentItem(
      TTreeViewBinding::Item(dir_->Items[static_cast<std::size_t>(item)].Node));
  return true;
}

std::int32_t TForm1::TargetCategory() const {
  std::int32_t index = SelectedItem();
  if (index < 0) index = RootItem;
  if (dir_->Items[static_cast<std::size_t>(index)].Type == ItemTask)
    index = dir_->Items[static_cast<std::size_t>(index)].Parent;
  // The root and the recycle bin hold no new node of their own: it goes below the root.
  return index <= RecycleBinItem ? RootItem : index;
}

std::int32_t TForm1::AddTaskItem(const TDirItem& item) {
  const std::int32_t index = dir_->AddItem(TargetCategory(), item);
  dir_->FillView();
  return index;
}

void TForm1::NewCategory() {
  QString name;
  if (!dialogs_->NewCategory(this, name) || name.isEmpty()) return;
  TDirItem item;
  item.Name = name.toStdString();
  item.Type = ItemCategory;
  dir_->AddItem(TargetCategory(), item);
  dir_->FillView();
}

void TForm1::DeleteNode() {
  const std::int32_t index = SelectedItem();
  if (index < 1) return;
  switch (dir_->Items[static_cast<std::size_t>(index)].Type) {
    case ItemTask:
      if (!Dialogs().OkCancel(this, QStringLiteral("要删除任务，你确定吗？"),
                              QStringLiteral("删除")))
        return;
      dir_->DeleteTask(index);
      break;
    case ItemCategory: {
      const auto answer = Dialogs().YesNoCancel(
          this, QStringLiteral("删除目录时将目录下的任务一起删除"), QStringLiteral("删除目录"));
      if (answer == QMessageBox::Yes) {
        dir_->DeleteCategory(index, true);
      } else if (answer == QMessageBox::No) {
        dir_->DeleteCategory(index, false);
      } else {
        return;
      }
      break;
    }
    default:  // the recycle bin stays as it is
      break;
  }
  dir_->FillView();
}

void TForm1::EmptyRecycleBin() {
  if (!Dialogs().OkCancel(this, QStringLiteral("要清空回收站吗？"), QStringLiteral("清空"))) return;
  dir_->EmptyRecycleBin();
  dir_->FillView();
}

bool TForm1::TreeAcceptsDrop(QTreeWidgetItem* target, QTreeWidgetItem* dragged) const {
  if (!target || !dragged) return false;
  if (TTreeViewBinding::ImageOf(target) == ItemTask) return false;
  if (TTreeViewBinding::ImageOf(dragged) == ItemRecycleBin) return false;
  for (QTreeWidgetItem* up = target; up; up = up->parent())
    if (up == dragged) return false;  // onto itself or one of its descendants
  return true;
}

void TForm1::TreeDrop(QTreeWidgetItem* target, QTreeWidgetItem* dragged) {
  if (!TreeAcceptsDrop(target, dragged)) return;
  if (TTreeViewBinding::ImageOf(target) == ItemRecycleBin) {
    ui_->TreeView1->setCurrentItem(dragged);
    DeleteNode();
    return;
  }
  dir_->MoveItem(TTreeViewBinding::Node(target), TTreeViewBinding::Node(dragged));
}

void TForm1::TreeClicked() {
  treePopup_ = nullptr;
  const std::int32_t index = SelectedItem();
  if (index < 0) return;
  const TDirItem& item = dir_->Items[static_cast<std::size_t>(index)];
  if (item.Type == ItemRecycleBin) {
    treePopup_ = popupRecycled_;
  } else if (item.Type == ItemTask) {
    treePopup_ = popupTree_;
    ui_->EditUrl->setEditText(QString::fromStdString(item.StartURL));
  }
}

void TForm1::PopupMenuTreePopup() {
  const QList<QAction*> first = {ui_->NProjLoad, ui_->NProjDownLoad, ui_->NProjRepair,
                                 ui_->NProjUpdate, ui_->NProjReStart};
  for (QAction* action : popupTree_->actions()) action->setEnabled(true);
  const std::int32_t task = manager_->IndexOfItem(SelectedItem());
  if (task < 0) return;
  const std::int32_t state = manager_->Task(task).State.load();
  // A task whose run is alive is not loaded or started again from the tree.
  if (state != Stopped && state != Complete)
    for (QAction* action : first) action->setEnabled(false);
}

}  // namespace qm::ui
