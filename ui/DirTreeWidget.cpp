#include "ui/DirTreeWidget.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeyEvent>

namespace qm::ui {
namespace {
constexpr int ImageRole = Qt::UserRole + 1;

QIcon TreeImage(int image) {
  static const QIcon images[3] = {QIcon(QStringLiteral(":/icons/category.svg")),
                                  QIcon(QStringLiteral(":/icons/task.svg")),
                                  QIcon(QStringLiteral(":/icons/recycle-bin.svg"))};
  return image >= 0 && image < 3 ? images[image] : QIcon();
}
}  // namespace

TDirTreeWidget::TDirTreeWidget(QWidget* parent) : QTreeWidget(parent) {}

void TDirTreeWidget::dragEnterEvent(QDragEnterEvent* event) {
  // Only drags that start in this tree are considered at all.
  if (event->source() == this) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TDirTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  const bool ok = event->source() == this && AcceptsDrop && AcceptsDrop(target, currentItem());
  if (ok) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void TDirTreeWidget::dropEvent(QDropEvent* event) {
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  QTreeWidgetItem* dragged = currentItem();
  // The widget must not move its items: the tree is refilled from the category tree.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  if (event->source() == this && AcceptsDrop && AcceptsDrop(target, dragged) && Dropped)
    Dropped(target, dragged);
}

void TDirTreeWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
    emit DeletePressed();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

TTreeViewBinding::TTreeViewBinding(QTreeWidget& tree) : tree_(tree) {}

void TTreeViewBinding::BeginUpdate() {
  ++filling_;
  tree_.setUpdatesEnabled(false);
}
void TTreeViewBinding::EndUpdate() {
  tree_.setUpdatesEnabled(true);
  --filling_;
}
void TTreeViewBinding::Clear() {
  ++filling_;
  tree_.clear();
  --filling_;
}

TDirNode TTreeViewBinding::AddNode(TDirNode parent, const std::string& text, int image,
                                   int /*selectedImage*/) {
  ++filling_;
  auto* item = parent ? new QTreeWidgetItem(Item(parent)) : new QTreeWidgetItem(&tree_);
  item->setText(0, QString::fromStdString(text));
  item->setIcon(0, TreeImage(image));
  item->setData(0, ImageRole, image);
  Qt::ItemFlags flags =
      Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
  if (image != ItemRecycleBin && parent) flags |= Qt::ItemIsDragEnabled;
  item->setFlags(flags);
  --filling_;
  return Node(item);
}

void TTreeViewBinding::Expand(TDirNode node) {
  ++filling_;
  if (node) Item(node)->setExpanded(true);
  --filling_;
}

int TTreeViewBinding::ImageOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, ImageRole).toInt() : -1;
}

}  // namespace qm::ui
